// bspace.h: deep space behind everything: a dark gradient, nebula gas,
// dust lanes, stars and an optional planet, all from a seed.
//
// Input: a canvas and a BSpaceStyle. Output: the canvas painted over.
// Randomness comes only from BRandom and the lattice hash below, never from
// rand() or the clock, so a seed always gives the same sky on any run.
#pragma once

#include <cstdint>

#include "baker/bcanvas.h"

// A small deterministic generator (xorshift64*). Not for anything but art.
class BRandom {
public:
    explicit BRandom(uint64_t seed);
    uint32_t next();
    // Uniform in [0, 1).
    float uniform();
    // Uniform in [low, high).
    float range(float low, float high) { return low + (high - low) * uniform(); }

private:
    uint64_t state;
};

// Smooth value noise in [0, 1] on a unit lattice, and its fractal sum of
// octaves (each twice the frequency and half the weight of the last).
float valueNoise(float x, float y, uint32_t seed);
float fractalNoise(float x, float y, uint32_t seed, int octaves);

struct BSpaceStyle {
    uint32_t seed;
    BColour top, bottom;  // the empty sky, top row and bottom row
    BColour gasA, gasB;   // nebula colours, mixed by a slow noise
    float gasStrength;    // brightness of the densest gas, about 0.2 to 0.6
    float gasScale;       // nebula features per picture height, about 2 to 4
    // The nebula lies along a band from bandFrom to bandTo, in fractions
    // of the picture (0, 0 top left; 1, 1 bottom right), bandWidth wide
    // (fraction of the height).
    BPoint bandFrom, bandTo;
    float bandWidth;
    float starsPerMegapixel;  // faint stars; a few bright ones come on top
    // Radius of a faint star in pixels. Stars must span about two texels to
    // survive the halving of each mipmap level and the window's shrinking.
    float starSize;
    int brightStars;          // stars with a halo and four spikes
    // The canvas as a window onto a sky skyWidth by skyHeight pixels, the
    // sky's top left corner at (originX, originY) of the canvas: gradient,
    // band and gas follow the sky, so a wider canvas round a picture
    // carries its nebula on without a seam. The sky's stars are the
    // picture's, and the canvas adds its own, as dense, outside it.
    // A zero size is the canvas itself.
    float originX = 0.0f, originY = 0.0f;
    int skyWidth = 0, skyHeight = 0;
};

void paintSpace(BCanvas& canvas, const BSpaceStyle& style);

// A soft round star: peak intensity at the centre, radius in pixels.
void addStar(BCanvas& canvas, float x, float y, float radius, BColour colour, float intensity);

// A lit planet of radius r centred on (cx, cy), in pixels; light comes from
// the direction (lx, ly) on the picture (y down), rim is its atmosphere.
void paintPlanet(BCanvas& canvas, float cx, float cy, float r, BColour surface, BColour rim, float lx, float ly,
                 uint32_t seed);
