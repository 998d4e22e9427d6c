// bcanvas.cpp: shapes as signed distances, masks, blending and resampling.
#include "baker/bcanvas.h"

#include <algorithm>  // Required for: std::min, std::max, std::clamp
#include <cmath>      // Required for: std::sqrt, std::fabs, std::floor, std::ceil, std::lround

BColour mix(BColour a, BColour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

BColour scale(BColour c, float k) { return {c.r * k, c.g * k, c.b * k}; }

namespace {

float coverageOf(float distance) { return std::clamp(0.5f - distance, 0.0f, 1.0f); }

float length(float x, float y) { return std::sqrt(x * x + y * y); }

// Distance from p to the segment a-b.
float segmentDistance(BPoint p, BPoint a, BPoint b) {
    const float ex = b.x - a.x, ey = b.y - a.y;
    const float px = p.x - a.x, py = p.y - a.y;
    const float lengthSquared = ex * ex + ey * ey;
    float t = lengthSquared > 0.0f ? (px * ex + py * ey) / lengthSquared : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    return length(px - ex * t, py - ey * t);
}

float roundRectDistance(float x, float y, float x0, float y0, float x1, float y1, float radius) {
    const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    const float halfW = (x1 - x0) * 0.5f, halfH = (y1 - y0) * 0.5f;
    radius = std::min(radius, std::min(halfW, halfH));
    const float qx = std::fabs(x - cx) - (halfW - radius);
    const float qy = std::fabs(y - cy) - (halfH - radius);
    return length(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - radius;
}

// One box blur pass of the given radius along count lines of length
// samples: line i starts at first + i * stride, its samples lie step apart.
// Outside the line counts as 0.
void boxPass(std::vector<float>& data, size_t first, int count, int length, size_t step, size_t stride,
             int radius) {
    std::vector<float> line(length);
    const float norm = 1.0f / static_cast<float>(2 * radius + 1);
    for (int i = 0; i < count; ++i) {
        float* base = data.data() + first + static_cast<size_t>(i) * stride;
        for (int k = 0; k < length; ++k) line[k] = base[static_cast<size_t>(k) * step];
        // Running sum over the window [k - radius, k + radius].
        float sum = 0.0f;
        for (int k = 0; k <= radius && k < length; ++k) sum += line[k];
        for (int k = 0; k < length; ++k) {
            base[static_cast<size_t>(k) * step] = sum * norm;
            const int enter = k + radius + 1, leave = k - radius;
            if (enter < length) sum += line[enter];
            if (leave >= 0) sum -= line[leave];
        }
    }
}

}  // namespace

// --- BMask ---------------------------------------------------------------------

BMask::BMask(int width, int height) : w(width), h(height), cover(static_cast<size_t>(width) * height, 0.0f) {}

void BMask::raise(int x, int y, float value) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    float& c = cover[static_cast<size_t>(y) * w + x];
    c = std::max(c, std::min(value, 1.0f));
}

void BMask::clear() { std::fill(cover.begin(), cover.end(), 0.0f); }

template <typename Sdf>
void BMask::raiseBySdf(float x0, float y0, float x1, float y1, Sdf sdf) {
    const int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
    const int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
    const int ix1 = std::min(w - 1, static_cast<int>(std::ceil(x1)) + 1);
    const int iy1 = std::min(h - 1, static_cast<int>(std::ceil(y1)) + 1);
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x) {
            const float c = coverageOf(sdf(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f));
            if (c > 0.0f) raise(x, y, c);
        }
}

void BMask::fillCircle(float cx, float cy, float radius) {
    raiseBySdf(cx - radius, cy - radius, cx + radius, cy + radius,
               [&](float x, float y) { return length(x - cx, y - cy) - radius; });
}

void BMask::strokeCircle(float cx, float cy, float radius, float width) {
    const float reach = radius + width;
    raiseBySdf(cx - reach, cy - reach, cx + reach, cy + reach,
               [&](float x, float y) { return std::fabs(length(x - cx, y - cy) - radius) - width * 0.5f; });
}

void BMask::fillRoundRect(float x0, float y0, float x1, float y1, float radius) {
    raiseBySdf(x0, y0, x1, y1,
               [&](float x, float y) { return roundRectDistance(x, y, x0, y0, x1, y1, radius); });
}

void BMask::strokeRoundRect(float x0, float y0, float x1, float y1, float radius, float width) {
    raiseBySdf(x0 - width, y0 - width, x1 + width, y1 + width, [&](float x, float y) {
        return std::fabs(roundRectDistance(x, y, x0, y0, x1, y1, radius)) - width * 0.5f;
    });
}

void BMask::strokeLine(BPoint a, BPoint b, float width) {
    const float r = width * 0.5f;
    raiseBySdf(std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r, std::max(a.y, b.y) + r,
               [&](float x, float y) { return segmentDistance({x, y}, a, b) - r; });
}

void BMask::fillPolygon(const std::vector<BPoint>& points) {
    if (points.size() < 3) return;
    float x0 = points[0].x, y0 = points[0].y, x1 = x0, y1 = y0;
    for (const BPoint& p : points) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    const size_t n = points.size();
    raiseBySdf(x0, y0, x1, y1, [&](float x, float y) {
        float best = 1e30f;
        bool inside = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const BPoint a = points[j], b = points[i];
            best = std::min(best, segmentDistance({x, y}, a, b));
            // Even-odd crossing test of a ray towards +x.
            if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
        }
        return inside ? -best : best;
    });
}

BMask BMask::blurred(int radius) const {
    BMask out = *this;
    if (radius <= 0) return out;
    // Only the covered box, grown by how far three passes spread, can
    // change: blur that window alone.
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (cover[static_cast<size_t>(y) * w + x] > 0.0f) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    if (x1 < 0) return out;
    const int spread = 3 * radius + 1;
    x0 = std::max(0, x0 - spread);
    y0 = std::max(0, y0 - spread);
    x1 = std::min(w - 1, x1 + spread);
    y1 = std::min(h - 1, y1 + spread);
    const int width = x1 - x0 + 1, height = y1 - y0 + 1;
    const size_t origin = static_cast<size_t>(y0) * w + x0;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(out.cover, origin, height, width, 1, static_cast<size_t>(w), radius);
        boxPass(out.cover, origin, width, height, static_cast<size_t>(w), 1, radius);
    }
    return out;
}

void BMask::multiply(float k) {
    for (float& c : cover) c = std::min(c * k, 1.0f);
}

// --- BCanvas ---------------------------------------------------------------------

BCanvas::BCanvas(int width, int height)
    : w(width), h(height), pixels(static_cast<size_t>(width) * height, BColour{0.0f, 0.0f, 0.0f}) {}

void BCanvas::set(int x, int y, BColour c) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    pixels[static_cast<size_t>(y) * w + x] = c;
}

void BCanvas::fill(BColour c) { std::fill(pixels.begin(), pixels.end(), c); }

void BCanvas::verticalGradient(BColour top, BColour bottom) {
    for (int y = 0; y < h; ++y) {
        const BColour c = mix(top, bottom, h > 1 ? static_cast<float>(y) / static_cast<float>(h - 1) : 0.0f);
        for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = c;
    }
}

void BCanvas::paint(const BMask& mask, BColour colour, float opacity, int dx, int dy) {
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
            const float a = mask.at(x, y) * opacity;
            const int px = x + dx, py = y + dy;
            if (a <= 0.0f || px < 0 || py < 0 || px >= w || py >= h) continue;
            set(px, py, mix(get(px, py), colour, a));
        }
}

void BCanvas::glow(const BMask& mask, BColour colour, float strength, int dx, int dy) {
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
            const float a = mask.at(x, y) * strength;
            if (a > 0.0f) addLight(x + dx, y + dy, colour, a);
        }
}

void BCanvas::addLight(int x, int y, BColour colour, float amount) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    BColour& p = pixels[static_cast<size_t>(y) * w + x];
    p.r += colour.r * amount;
    p.g += colour.g * amount;
    p.b += colour.b * amount;
}

namespace {

struct Tap {
    int index;
    float weight;
};

// Filter taps for each of outSize samples taken from inSize: a tent whose
// half-width is one source pixel when enlarging and one output pixel
// (in source pixels) when shrinking.
std::vector<std::vector<Tap>> tentTaps(int inSize, int outSize) {
    std::vector<std::vector<Tap>> taps(outSize);
    const float ratio = static_cast<float>(inSize) / static_cast<float>(outSize);
    const float support = std::max(1.0f, ratio);
    for (int i = 0; i < outSize; ++i) {
        const float centre = (static_cast<float>(i) + 0.5f) * ratio - 0.5f;
        const int first = static_cast<int>(std::floor(centre - support));
        const int last = static_cast<int>(std::ceil(centre + support));
        float total = 0.0f;
        for (int k = first; k <= last; ++k) {
            const float weight = 1.0f - std::fabs(static_cast<float>(k) - centre) / support;
            if (weight <= 0.0f) continue;
            taps[i].push_back({std::clamp(k, 0, inSize - 1), weight});
            total += weight;
        }
        for (Tap& t : taps[i]) t.weight /= total;
    }
    return taps;
}

}  // namespace

BCanvas BCanvas::resampled(int width, int height) const {
    const std::vector<std::vector<Tap>> across = tentTaps(w, width);
    const std::vector<std::vector<Tap>> down = tentTaps(h, height);
    BCanvas rows(width, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < width; ++x) {
            BColour sum{0.0f, 0.0f, 0.0f};
            for (const Tap& t : across[x]) {
                const BColour c = get(t.index, y);
                sum.r += c.r * t.weight;
                sum.g += c.g * t.weight;
                sum.b += c.b * t.weight;
            }
            rows.set(x, y, sum);
        }
    BCanvas out(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BColour sum{0.0f, 0.0f, 0.0f};
            for (const Tap& t : down[y]) {
                const BColour c = rows.get(x, t.index);
                sum.r += c.r * t.weight;
                sum.g += c.g * t.weight;
                sum.b += c.b * t.weight;
            }
            out.set(x, y, sum);
        }
    return out;
}

std::vector<uint8_t> BCanvas::rgb8() const {
    std::vector<uint8_t> out(pixels.size() * 3);
    auto byte = [](float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    for (size_t i = 0; i < pixels.size(); ++i) {
        out[i * 3 + 0] = byte(pixels[i].r);
        out[i * 3 + 1] = byte(pixels[i].g);
        out[i * 3 + 2] = byte(pixels[i].b);
    }
    return out;
}
