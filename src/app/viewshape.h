// viewshape.h: how much of the scene a window of each shape shows.
//
// Every screen is laid out for the 45 degree view of a 4:3 window. A wider
// window keeps that height and shows more at the sides; a narrower one,
// such as 5:4, keeps the 4:3 width and shows more above and below, so
// that nothing laid out for 4:3 is cut off at the sides. The shell sets
// the projection by this rule; the baker lays the menu out by it. A match
// alone widens it further where the field does not fit (narrower than
// about 17:12, screens/gview.h), keeping the backdrop and the health bars
// where this rule puts them.
#pragma once

#include <cmath>  // Required for: std::tan, std::atan

constexpr double VIEW_FOVY_4_3 = 45.0;
constexpr double VIEW_ASPECT_4_3 = 4.0 / 3.0;

// Half the view's height one unit in front of the eye, for a window
// `aspect` times as wide as high; its half-width is aspect times that.
inline double viewHalfHeight(double aspect) {
    const double atFourThree = std::tan(VIEW_FOVY_4_3 * 0.5 * M_PI / 180.0);
    return aspect > 0.0 && aspect < VIEW_ASPECT_4_3 ? atFourThree * VIEW_ASPECT_4_3 / aspect : atFourThree;
}

// The vertical angle for gluPerspective, in degrees: exactly 45 from 4:3
// on, so that those windows keep the very projection they always had.
inline double viewFovY(double aspect) {
    if (!(aspect > 0.0) || aspect >= VIEW_ASPECT_4_3) return VIEW_FOVY_4_3;
    return 2.0 * std::atan(viewHalfHeight(aspect)) * 180.0 / M_PI;
}
