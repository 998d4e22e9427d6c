// bmenulayout.cpp: sliding each block of the menu's lettering to the first
// clear place.
#include "baker/bmenulayout.h"

#include <cmath>   // Required for: std::fabs, std::floor
#include <cstdio>  // Required for: fprintf

BMenuLayout::BMenuLayout(const BMenuCoverage& coverage) : coverage(coverage), good(true) {}

void BMenuLayout::reserve(const BRect& r) { reserved.push_back(r); }

bool BMenuLayout::free(const BRect& r) const {
    const BRect inside = VISIBLE_4_3.grown(-MARGIN);
    if (r.x0 < inside.x0 || r.x1 > inside.x1 || r.y0 < inside.y0 || r.y1 > inside.y1) return false;
    const BRect around = r.grown(MARGIN);
    if (coverage.meets(around)) return false;
    for (const BRect& taken : reserved)
        if (around.overlaps(taken)) return false;
    for (const BMenuBlock& block : placed)
        if (around.overlaps(block.rect)) return false;
    return true;
}

bool BMenuLayout::place(const std::string& name, float x0, float width, float height, float topFrom,
                        float topTo) {
    const float direction = topTo < topFrom ? -1.0f : 1.0f;
    const int steps = static_cast<int>(std::floor(std::fabs(topTo - topFrom) / STEP));
    for (int i = 0; i <= steps; ++i) {
        const float top = topFrom + direction * STEP * static_cast<float>(i);
        const BRect r{x0, top - height, x0 + width, top};
        if (free(r)) {
            placed.push_back({name, r});
            return true;
        }
    }
    fprintf(stderr, "No room on the menu for %s\n", name.c_str());
    good = false;
    return false;
}

BRect BMenuLayout::rect(const std::string& name) const {
    for (const BMenuBlock& block : placed)
        if (block.name == name) return block.rect;
    return {0.0f, 0.0f, 0.0f, 0.0f};
}
