// glwindow.h: a real SDL window with an OpenGL context for tests that draw
// or load textures. Needs an X server in DISPLAY (Xvfb with Mesa's software
// renderer in CI).
#pragma once

#include <cstdint>
#include <functional>

// The bounding box of some pixels, in pixels from the left and the bottom.
struct PixelBox {
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    bool empty() const { return maxX < 0; }
    void add(int x, int y);
};

class GlWindow {
public:
    // Opens a window of the given size and sets up the game's fixed OpenGL
    // state. ok() tells whether it worked.
    GlWindow(int32_t width = 640, int32_t height = 480);
    ~GlWindow();

    bool ok() const { return ok_; }

    // Reads one pixel of the given buffer (GL_BACK or GL_FRONT) as 0xRRGGBB;
    // y counts from the bottom, as in OpenGL.
    static uint32_t pixel(uint32_t buffer, int32_t x, int32_t y);

    // Reads one pixel of what the window system shows in the window, as
    // 0xRRGGBB; y counts from the top. This is what a swap has delivered.
    static uint32_t shownPixel(int32_t x, int32_t y);

    // Where a point given in the current model-view space lands in the
    // window, in pixels from the left and from the bottom.
    static void project(float x, float y, float z, int* px, int* py);

    // The box of the back buffer's pixels, width by height from the
    // bottom-left corner, whose 0xRRGGBB colour `match` accepts.
    static PixelBox backBufferBox(int32_t width, int32_t height, const std::function<bool(uint32_t)>& match);

private:
    static void keepContentsWhenCovered();

    bool ok_;
};
