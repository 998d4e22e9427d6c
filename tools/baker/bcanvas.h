// bcanvas.h: the baker's drawing surface: a floating-point RGB picture and
// the coverage masks that shapes and text are drawn into.
//
// Input: shapes in pixel coordinates (x right, y down, pixel centres at
// +0.5), masks, colours. Output: 8-bit RGB rows, top row first, for the
// picture writers (bimagefile.h).
//
// Everything is drawn at the picture's logical resolution with square
// pixels; resampled() then scales to the power-of-two size that OpenGL 1.1
// needs, so that a picture stretched over a quad of another aspect still
// shows round circles and upright letters. Anti-aliasing comes from signed
// distances: a pixel whose centre lies d pixels outside an edge is covered
// 0.5 - d, clamped to 0..1.
//
// Nothing here is random and nothing depends on the clock: the same calls
// give the same bytes, which the build relies on (the baked files are
// compared between two runs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct BColour {
    float r, g, b;
};

BColour mix(BColour a, BColour b, float t);
BColour scale(BColour c, float k);

struct BPoint {
    float x, y;
};

// Coverage, 0 (empty) to 1 (covered), one float per pixel. Shapes combine
// with the coverage already there by taking the larger value, so that
// overlapping strokes do not darken or brighten at their joints.
class BMask {
public:
    BMask(int width, int height);

    int width() const { return w; }
    int height() const { return h; }
    float at(int x, int y) const { return cover[static_cast<size_t>(y) * w + x]; }
    // Raises the coverage of one pixel to at least value; outside pixels are
    // ignored.
    void raise(int x, int y, float value);
    void clear();

    void fillCircle(float cx, float cy, float radius);
    void strokeCircle(float cx, float cy, float radius, float width);
    // Rectangle from (x0, y0) to (x1, y1) with corners rounded by radius.
    void fillRoundRect(float x0, float y0, float x1, float y1, float radius);
    void strokeRoundRect(float x0, float y0, float x1, float y1, float radius, float width);
    // A straight stroke with round ends.
    void strokeLine(BPoint a, BPoint b, float width);
    // Any simple polygon, either winding.
    void fillPolygon(const std::vector<BPoint>& points);

    // Approximate Gaussian blur: three box passes each way. radius in pixels.
    BMask blurred(int radius) const;
    // Coverage times k, clamped to 1.
    void multiply(float k);

private:
    // Applies coverage(x, y) = clamp(0.5 - sdf(x, y)) over the box.
    template <typename Sdf>
    void raiseBySdf(float x0, float y0, float x1, float y1, Sdf sdf);

    int w, h;
    std::vector<float> cover;
};

class BCanvas {
public:
    BCanvas(int width, int height);

    int width() const { return w; }
    int height() const { return h; }
    BColour get(int x, int y) const { return pixels[static_cast<size_t>(y) * w + x]; }
    void set(int x, int y, BColour c);

    void fill(BColour c);
    // Top colour at row 0, bottom colour at the last row.
    void verticalGradient(BColour top, BColour bottom);
    // Blends colour over the picture where the mask covers it:
    // result = lerp(picture, colour, coverage * opacity). Mask pixel (0, 0)
    // lands on picture pixel (dx, dy).
    void paint(const BMask& mask, BColour colour, float opacity = 1.0f, int dx = 0, int dy = 0);
    // Adds light: result = picture + colour * coverage * strength. Used for
    // glows, stars and nebula gas, which brighten what is behind them.
    void glow(const BMask& mask, BColour colour, float strength = 1.0f, int dx = 0, int dy = 0);
    void addLight(int x, int y, BColour colour, float amount);
    // Fills with a colour that varies over the mask: shader(x, y) gives it.
    template <typename Shader>
    void paintShaded(const BMask& mask, Shader shader, float opacity = 1.0f) {
        for (int y = 0; y < h && y < mask.height(); ++y)
            for (int x = 0; x < w && x < mask.width(); ++x) {
                const float a = mask.at(x, y) * opacity;
                if (a > 0.0f) set(x, y, mix(get(x, y), shader(x, y), a));
            }
    }

    // A copy scaled to width by height with a separable tent filter that
    // widens when shrinking, so that no detail aliases.
    BCanvas resampled(int width, int height) const;

    // 8-bit RGB, top row first, each channel clamped to 0..1 and rounded.
    std::vector<uint8_t> rgb8() const;

private:
    int w, h;
    std::vector<BColour> pixels;
};
