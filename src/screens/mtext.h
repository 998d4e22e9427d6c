// mtext.h: lines of text drawn over a screen, from a baked font picture.
//
// The messages of a network game (the port the host waits on, why a
// connection ended, who is ready) change at run time, so they cannot be
// baked into the screens' pictures. The baker draws every printable ASCII
// character of a monospaced face into one picture instead, a grid of equal
// cells, and a line is a row of quads cut from it. The numbers below are
// the grid's: the baker draws by them and MText cuts by them.
//
// The glyphs are white on black and drawn additively, over a darkened band,
// so they need no alpha channel and read on any background.
#pragma once

#include <cstdint>

constexpr const char* TEXT_PICTURE = "font.bmp";
constexpr int32_t TEXT_PICTURE_WIDTH = 512;
constexpr int32_t TEXT_PICTURE_HEIGHT = 256;
constexpr int32_t TEXT_COLUMNS = 16;        // cells per row, top row first
constexpr int32_t TEXT_CELL_WIDTH = 32;     // pixels
constexpr int32_t TEXT_CELL_HEIGHT = 40;
constexpr int32_t TEXT_FIRST = 32;          // the character of the first cell
constexpr int32_t TEXT_LAST = 126;          // of the last
constexpr int32_t TEXT_EM = 30;             // the face's pixel size in the cells
constexpr int32_t TEXT_BASELINE = 30;       // pixels from a cell's top
constexpr int32_t TEXT_PEN = 7;             // the pen's x in a cell
constexpr int32_t TEXT_ADVANCE = 18;        // pixels from one character to the next

// Where lines drawn at run time go: the 4:3 frame the menu's picture fills
// (the middle of a wide window, the full width of a narrower one), 480
// units high, in window pixels from the bottom left.
struct MFrame {
    float width;   // the window's
    float height;
    float unit;    // pixels to the frame's unit
    float top;     // the frame's top edge
    // The viewport's frame.
    static MFrame ofViewport();
    // The window y of a line `down` units below the frame's top.
    float below(float down) const { return top - down * unit; }
};

class MText {
public:
    // Loads TEXT_PICTURE; without it, lines draw as their bands alone.
    MText();
    ~MText();
    MText(const MText&) = delete;
    MText& operator=(const MText&) = delete;

    // Width in window pixels of `text` drawn `height` pixels high.
    static float width(const char* text, float height);
    // Draws `text` centred on x, the bottom of its cells at y, in window
    // pixels from the bottom left, over a band that darkens what is behind
    // it (unless `band` is false: on a key cap, say); characters outside
    // TEXT_FIRST..TEXT_LAST show as '?'. Call between beginOverlay and
    // endOverlay.
    void drawCentred(const char* text, float x, float y, float height, float red, float green, float blue,
                     bool band = true) const;

    // A projection in window pixels (from the viewport) for what follows,
    // with depth testing off; endOverlay puts everything back.
    static void beginOverlay();
    static void endOverlay();
    // Hides what is drawn between the corners (window pixels from the bottom
    // left) under the background's near black: for a baked line that a
    // line drawn at run time replaces. Between beginOverlay and endOverlay.
    static void cover(float left, float bottom, float right, float top);

    int32_t texture;
};
