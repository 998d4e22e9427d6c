// bmenulayout.h: the rule that places the main menu's lettering where its
// turning models never pass.
//
// Input: the models' coverage over a whole turn (bmenucoverage.h) and, one
// block at a time, the size of each piece of lettering with the line along
// which it may slide. Output: a rectangle in picture units for each block.
//
// The rule: a block keeps its horizontal place and slides vertically, in
// steps of STEP from where it would best sit towards a limit, and takes
// the first place where it stays MARGIN clear of every covered point, of
// the places reserved for what the game draws in front of the picture (the
// controller pictures), and of the blocks placed before it, and inside
// what a 4:3 window shows. A model that grows or changes its shape moves
// the lettering with it at the next bake; one that leaves no room fails
// the bake, naming the block, rather than painting text under it.
#pragma once

#include <string>
#include <vector>

#include "baker/bmenucoverage.h"

// One piece of lettering and where it went.
struct BMenuBlock {
    std::string name;
    BRect rect;
};

class BMenuLayout {
public:
    // Clear space kept round each block, and the step of the search, in
    // picture units: 0.35 is 6 pixels of a 640 x 480 window.
    static constexpr float MARGIN = 0.35f;
    static constexpr float STEP = 0.05f;

    // coverage must outlive the layout.
    explicit BMenuLayout(const BMenuCoverage& coverage);

    // No block may overlap r.
    void reserve(const BRect& r);
    // Places a block width by height with its left edge at x0 and its top
    // edge tried from topFrom towards topTo (either way). False, after
    // "No room on the menu for %s" on standard error, when every place on
    // the way is taken; the block is then left out and ok() turns false.
    bool place(const std::string& name, float x0, float width, float height, float topFrom, float topTo);

    bool ok() const { return good; }
    const std::vector<BMenuBlock>& blocks() const { return placed; }
    // The rectangle of a placed block; all zero for an unknown name.
    BRect rect(const std::string& name) const;

private:
    bool free(const BRect& r) const;

    const BMenuCoverage& coverage;
    std::vector<BRect> reserved;
    std::vector<BMenuBlock> placed;
    bool good;
};
