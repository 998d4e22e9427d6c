// bspace.cpp: nebula, stars and planets from noise and a seeded generator.
#include "baker/bspace.h"

#include <algorithm>  // Required for: std::clamp, std::max, std::min
#include <cmath>      // Required for: std::floor, std::exp, std::sqrt, std::pow, std::fabs

BRandom::BRandom(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {
    if (state == 0) state = 1;
}

uint32_t BRandom::next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
}

float BRandom::uniform() { return static_cast<float>(next() >> 8) / 16777216.0f; }

namespace {

uint32_t latticeHash(int x, int y, uint32_t seed) {
    uint32_t h = seed ^ (static_cast<uint32_t>(x) * 0x27D4EB2Du) ^ (static_cast<uint32_t>(y) * 0x165667B1u);
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

float latticeValue(int x, int y, uint32_t seed) {
    return static_cast<float>(latticeHash(x, y, seed) >> 8) / 16777215.0f;
}

float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

float smoothstep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

}  // namespace

float valueNoise(float x, float y, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = fade(x - fx), ty = fade(y - fy);
    const float a = latticeValue(ix, iy, seed), b = latticeValue(ix + 1, iy, seed);
    const float c = latticeValue(ix, iy + 1, seed), d = latticeValue(ix + 1, iy + 1, seed);
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

float fractalNoise(float x, float y, uint32_t seed, int octaves) {
    float sum = 0.0f, weight = 0.5f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        // Each octave gets its own lattice and an odd offset, so that lattice
        // points of different octaves do not line up into a visible grid.
        sum += valueNoise(x + 17.31f * static_cast<float>(i), y - 9.77f * static_cast<float>(i),
                          seed + 0x9E37u * static_cast<uint32_t>(i)) *
               weight;
        total += weight;
        x = x * 2.03f + 0.71f;
        y = y * 2.03f - 0.37f;
        weight *= 0.5f;
    }
    return sum / total;
}

void addStar(BCanvas& canvas, float x, float y, float radius, BColour colour, float intensity) {
    const float reach = radius * 3.0f;
    const int x0 = static_cast<int>(std::floor(x - reach)), x1 = static_cast<int>(std::floor(x + reach));
    const int y0 = static_cast<int>(std::floor(y - reach)), y1 = static_cast<int>(std::floor(y + reach));
    const float inverse = 1.0f / (radius * radius);
    for (int py = y0; py <= y1; ++py)
        for (int px = x0; px <= x1; ++px) {
            const float dx = static_cast<float>(px) + 0.5f - x, dy = static_cast<float>(py) + 0.5f - y;
            const float amount = intensity * std::exp(-(dx * dx + dy * dy) * inverse);
            if (amount > 0.002f) canvas.addLight(px, py, colour, amount);
        }
}

namespace {

// Star colours run from blue-white through white to pale yellow and orange.
BColour starColour(float t) {
    if (t < 0.5f) return mix({0.70f, 0.80f, 1.00f}, {1.00f, 1.00f, 1.00f}, t * 2.0f);
    return mix({1.00f, 1.00f, 1.00f}, {1.00f, 0.82f, 0.62f}, (t - 0.5f) * 2.0f);
}

void addBrightStar(BCanvas& canvas, float x, float y, float size, BColour colour) {
    addStar(canvas, x, y, size * 6.0f, colour, 0.10f);  // halo
    addStar(canvas, x, y, size * 2.0f, colour, 0.45f);
    addStar(canvas, x, y, size * 0.9f, {1.0f, 1.0f, 1.0f}, 1.0f);  // core
    // Four diffraction spikes, fading with distance from the core.
    const int length = static_cast<int>(size * 14.0f);
    for (int i = 1; i <= length; ++i) {
        const float fall = 0.55f * std::pow(1.0f - static_cast<float>(i) / static_cast<float>(length + 1), 2.0f);
        const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
        canvas.addLight(ix + i, iy, colour, fall);
        canvas.addLight(ix - i, iy, colour, fall);
        canvas.addLight(ix, iy + i, colour, fall);
        canvas.addLight(ix, iy - i, colour, fall);
    }
}

}  // namespace

void paintSpace(BCanvas& canvas, const BSpaceStyle& style) {
    const int w = canvas.width(), h = canvas.height();
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const bool ownSky = style.skyWidth <= 0 || style.skyHeight <= 0;
    const float sw = ownSky ? fw : static_cast<float>(style.skyWidth);
    const float sh = ownSky ? fh : static_cast<float>(style.skyHeight);
    if (ownSky) {
        canvas.verticalGradient(style.top, style.bottom);
    } else {
        for (int y = 0; y < h; ++y) {
            const float t = std::clamp((static_cast<float>(y) - style.originY) / (sh - 1.0f), 0.0f, 1.0f);
            const BColour c = mix(style.top, style.bottom, t);
            for (int x = 0; x < w; ++x) canvas.set(x, y, c);
        }
    }

    // The band's axis in pixels, for the distance of each pixel from it.
    const float ax = style.bandFrom.x * sw, ay = style.bandFrom.y * sh;
    const float bx = style.bandTo.x * sw, by = style.bandTo.y * sh;
    const float ex = bx - ax, ey = by - ay;
    const float axisLength = std::sqrt(ex * ex + ey * ey);
    const float nx = -ey / axisLength, ny = ex / axisLength;  // unit normal of the band
    const float halfWidth = style.bandWidth * sh;
    const uint32_t s = style.seed;

    // The gas is smooth: work it out on a grid of every second pixel and
    // interpolate, a quarter of the noise for no visible change. Each grid
    // point holds the light the gas adds, how much its dust darkens, and
    // the band's weight.
    struct Gas {
        BColour light;
        float dust, band;
    };
    const int step = 2;
    const int gw = w / step + 2, gh = h / step + 2;
    std::vector<Gas> grid(static_cast<size_t>(gw) * gh);
    for (int gy = 0; gy < gh; ++gy)
        for (int gx = 0; gx < gw; ++gx) {
            const float px = static_cast<float>(gx * step) + 0.5f - style.originX;
            const float py = static_cast<float>(gy * step) + 0.5f - style.originY;
            // Noise coordinates: picture heights, so features stay round.
            const float u = px / sh * style.gasScale, v = py / sh * style.gasScale;
            // The band wanders a little, so that its edge is not a straight line.
            const float wander = (fractalNoise(u * 0.5f, v * 0.5f, s + 11u, 3) - 0.5f) * halfWidth * 1.6f;
            const float across = ((px - ax) * nx + (py - ay) * ny + wander) / halfWidth;
            const float band = std::exp(-across * across);
            Gas& g = grid[static_cast<size_t>(gy) * gw + gx];
            g = {{0.0f, 0.0f, 0.0f}, 0.0f, band};
            // Far from the band the gas adds less than half a level: skip
            // its noise, the bulk of the baker's time.
            if (band * style.gasStrength * 1.2f < 0.5f / 255.0f) continue;

            // Domain warping gives the gas its wisps.
            const float qx = fractalNoise(u, v, s + 1u, 4), qy = fractalNoise(u + 5.2f, v + 1.3f, s + 2u, 4);
            const float n = fractalNoise(u + qx * 1.7f, v + qy * 1.7f, s + 3u, 6);
            const float density = smoothstep(0.38f, 0.82f, n) * band;
            const float hue = smoothstep(0.3f, 0.7f, fractalNoise(u * 0.7f + 3.1f, v * 0.7f, s + 4u, 3));
            // A faint glow over the whole band, then the bright wisps.
            g.light = scale(mix(style.gasA, style.gasB, hue), style.gasStrength * (density + 0.18f * band));
            // Dust lanes darken the gas where a finer noise is high.
            g.dust = smoothstep(0.55f, 0.78f, fractalNoise(u * 2.2f, v * 2.2f, s + 5u, 5)) * band;
        }
    std::vector<float> bandWeight(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int gx = x / step, gy = y / step;
            const float tx = static_cast<float>(x % step) / step, ty = static_cast<float>(y % step) / step;
            const Gas& a = grid[static_cast<size_t>(gy) * gw + gx];
            const Gas& b = grid[static_cast<size_t>(gy) * gw + gx + 1];
            const Gas& c = grid[static_cast<size_t>(gy + 1) * gw + gx];
            const Gas& d = grid[static_cast<size_t>(gy + 1) * gw + gx + 1];
            const auto lerp2 = [&](float va, float vb, float vc, float vd) {
                return (va + (vb - va) * tx) * (1.0f - ty) + (vc + (vd - vc) * tx) * ty;
            };
            const BColour light{lerp2(a.light.r, b.light.r, c.light.r, d.light.r),
                                lerp2(a.light.g, b.light.g, c.light.g, d.light.g),
                                lerp2(a.light.b, b.light.b, c.light.b, d.light.b)};
            const float dust = lerp2(a.dust, b.dust, c.dust, d.dust);
            bandWeight[static_cast<size_t>(y) * w + x] = lerp2(a.band, b.band, c.band, d.band);
            const BColour sky = canvas.get(x, y);
            canvas.set(x, y,
                       scale({sky.r + light.r, sky.g + light.g, sky.b + light.b}, 1.0f - 0.55f * dust));
        }

    // Faint stars: more of them inside the band, as along a galaxy's plane.
    // A canvas round a picture first scatters the picture's own stars, in
    // its coordinates, so that a star cut by the picture's edge goes on
    // beyond it; then its own, at the same density, where the picture is not.
    const auto bandAt = [&](float x, float y) {
        const int ix = std::clamp(static_cast<int>(x), 0, w - 1), iy = std::clamp(static_cast<int>(y), 0, h - 1);
        return bandWeight[static_cast<size_t>(iy) * w + ix];
    };
    const auto scatter = [&](uint32_t seed, float x0, float y0, float areaW, float areaH, int bright, bool outside) {
        const auto covered = [&](float x, float y) {
            return outside && x >= style.originX && x < style.originX + sw && y >= style.originY &&
                   y < style.originY + sh;
        };
        BRandom random(seed * 2654435761u + 7u);
        const int faint = static_cast<int>(style.starsPerMegapixel * areaW * areaH / 1.0e6f);
        for (int i = 0; i < faint; ++i) {
            const float x = x0 + random.range(0.0f, areaW), y = y0 + random.range(0.0f, areaH);
            const float brightness = std::pow(random.uniform(), 3.0f);
            const float tint = random.uniform();
            const float keep = random.uniform();
            if (keep > 0.35f + 0.65f * bandAt(x, y) || covered(x, y)) continue;
            addStar(canvas, x, y, style.starSize * (0.75f + 1.0f * brightness), starColour(tint),
                    0.3f + 0.8f * brightness);
        }
        for (int i = 0; i < bright; ++i) {
            const float x = x0 + random.range(0.03f * areaW, 0.97f * areaW);
            const float y = y0 + random.range(0.03f * areaH, 0.97f * areaH);
            // The colour is drawn before the size: the order these skies were first baked in.
            const BColour colour = starColour(random.uniform());
            const float size = random.range(0.8f, 1.5f) * sh / 1024.0f;
            if (!covered(x, y)) addBrightStar(canvas, x, y, size, colour);
        }
    };
    if (ownSky) {
        scatter(s, 0.0f, 0.0f, fw, fh, style.brightStars, false);
    } else {
        scatter(s, style.originX, style.originY, sw, sh, style.brightStars, false);
        const int bright = static_cast<int>(std::lround(style.brightStars * (fw * fh / (sw * sh) - 1.0f)));
        scatter(s + 1000u, 0.0f, 0.0f, fw, fh, bright, true);
    }
}

void paintPlanet(BCanvas& canvas, float cx, float cy, float r, BColour surface, BColour rim, float lx, float ly,
                 uint32_t seed) {
    const float lightLength = std::sqrt(lx * lx + ly * ly + 0.25f);
    const float Lx = lx / lightLength, Ly = ly / lightLength, Lz = 0.5f / lightLength;
    const float haze = r * 0.06f;  // width of the atmosphere's glow outside the disc
    const int x0 = std::max(0, static_cast<int>(cx - r - haze * 4.0f));
    const int x1 = std::min(canvas.width() - 1, static_cast<int>(cx + r + haze * 4.0f));
    const int y0 = std::max(0, static_cast<int>(cy - r - haze * 4.0f));
    const int y1 = std::min(canvas.height() - 1, static_cast<int>(cy + r + haze * 4.0f));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float dx = (static_cast<float>(x) + 0.5f - cx) / r, dy = (static_cast<float>(y) + 0.5f - cy) / r;
            const float d = std::sqrt(dx * dx + dy * dy);
            // How much the light falls on this side of the planet, 0 to 1.
            const float facing = std::clamp((dx * Lx + dy * Ly) / std::max(d, 1e-6f) * 0.5f + 0.5f, 0.0f, 1.0f);
            if (d >= 1.0f) {
                const float glow = std::exp(-(d - 1.0f) * r / haze) * facing * facing;
                canvas.addLight(x, y, rim, 0.8f * glow);
                continue;
            }
            const float nz = std::sqrt(1.0f - d * d);
            const float diffuse = std::max(0.0f, dx * Lx + dy * Ly + nz * Lz);
            // Cloud bands: noise stretched along the planet's latitude.
            const float bands = fractalNoise(dx * 3.0f, dy * 14.0f + dx * 2.0f, seed, 5);
            BColour c = scale(surface, (0.55f + 0.9f * bands) * (0.02f + 0.98f * diffuse));
            // The atmosphere brightens the limb on the lit side.
            const float limb = std::pow(1.0f - nz, 3.0f) * facing;
            c = mix(c, rim, std::clamp(limb * 1.4f, 0.0f, 1.0f) * 0.85f);
            // Anti-alias the edge of the disc.
            const float edge = std::clamp((1.0f - d) * r, 0.0f, 1.0f);
            canvas.set(x, y, mix(canvas.get(x, y), c, edge));
        }
}
