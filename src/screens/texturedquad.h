// texturedquad.h: the one picture primitive of the front-end screens.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

// A GL_QUADS quad in the plane z, corners top-left, top-right, bottom-right,
// bottom-left, with the whole texture on it: t = 1 at the top, which after
// the texture store's row flip is the picture's top row.
inline void drawTexturedQuad(float left, float top, float right, float bottom, float z) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(left, top, z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(right, top, z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(right, bottom, z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(left, bottom, z);
    glEnd();
}

// A rectangle's four corners in the plane z = 0, counter-clockwise from
// the bottom left, for a GL_QUADS begun by the caller: fills, bands and
// marks in window pixels, drawn in whatever colour is current, several
// within one glBegin.
inline void rectangleVertices(float left, float bottom, float right, float top) {
    glVertex2f(left, bottom);
    glVertex2f(right, bottom);
    glVertex2f(right, top);
    glVertex2f(left, top);
}

// The same quad's picture only where it lies outside the rectangle
// `inner` (within it, in the same plane): up to four strips, each with its
// share of the texture. For a sky that a picture drawn over it hides in the
// middle: the hidden part would be filled, pixel by pixel, for nothing.
inline void drawTexturedSurround(float left, float top, float right, float bottom, float innerLeft, float innerTop,
                                 float innerRight, float innerBottom, float z) {
    const auto strip = [&](float l, float t, float r, float b) {
        if (!(l < r && b < t)) return;
        const float s0 = (l - left) / (right - left), s1 = (r - left) / (right - left);
        const float t0 = (b - bottom) / (top - bottom), t1 = (t - bottom) / (top - bottom);
        glBegin(GL_QUADS);
        glTexCoord2f(s0, t1);
        glVertex3f(l, t, z);
        glTexCoord2f(s1, t1);
        glVertex3f(r, t, z);
        glTexCoord2f(s1, t0);
        glVertex3f(r, b, z);
        glTexCoord2f(s0, t0);
        glVertex3f(l, b, z);
        glEnd();
    };
    strip(left, top, innerLeft, bottom);                  // left, whole height
    strip(innerRight, top, right, bottom);                // right, whole height
    strip(innerLeft, top, innerRight, innerTop);          // above the middle
    strip(innerLeft, innerBottom, innerRight, bottom);    // below it
}

// Whether the quad, under the current matrices, leaves any of the viewport
// uncovered.
inline bool quadLeavesViewUncovered(float left, float top, float right, float bottom, float z) {
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble x0 = 0, y0 = 0, x1 = 0, y1 = 0, depth = 0;
    gluProject(left, top, z, model, projection, viewport, &x0, &y0, &depth);
    gluProject(right, bottom, z, model, projection, viewport, &x1, &y1, &depth);
    return x0 > viewport[0] || x1 < viewport[0] + viewport[2] || y1 > viewport[1] || y0 < viewport[1] + viewport[3];
}

// For the texture bound to GL_TEXTURE_2D: filtering takes its border texels
// alone at its edges instead of wrapping round to the opposite side, which
// would draw a hairline of the other edge's colours wherever a picture meets
// the sky beside it. A driver without edge clamping refuses the value and
// keeps repeating, as before.
inline void clampTextureEdges() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}
