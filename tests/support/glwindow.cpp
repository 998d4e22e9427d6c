#include "support/glwindow.h"

#include <vector>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

// gtest before Xlib: Xlib's macros (None, Bool) break gtest's templates.
#include <gtest/gtest.h>

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "app/shell.h"

GlWindow::GlWindow(int32_t width, int32_t height) : ok_(false) {
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        ADD_FAILURE() << "SDL_Init: " << SDL_GetError();
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(width, height, 0, SDL_OPENGL)) {
        ADD_FAILURE() << "SDL_SetVideoMode: " << SDL_GetError();
        SDL_Quit();
        return;
    }
    initGl(width, height);
    keepContentsWhenCovered();
    ok_ = true;
}

// Tests run in parallel on one X server with no window manager, so every
// window opens at the same corner and a later one covers ours. Reading what
// the window shows is only defined for covered parts when the server keeps
// them; ask it to (the server has to run with backing store on, +bs).
void GlWindow::keepContentsWhenCovered() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11) return;
    info.info.x11.lock_func();
    XSetWindowAttributes attributes;
    attributes.backing_store = Always;
    XChangeWindowAttributes(info.info.x11.display, info.info.x11.window, CWBackingStore,
                            &attributes);
    XSync(info.info.x11.display, False);
    info.info.x11.unlock_func();
}

GlWindow::~GlWindow() {
    if (ok_) SDL_Quit();
}

void PixelBox::add(int x, int y) {
    if (x < minX) minX = x;
    if (x > maxX) maxX = x;
    if (y < minY) minY = y;
    if (y > maxY) maxY = y;
}

PixelBox GlWindow::backBufferBox(int32_t width, int32_t height, const std::function<bool(uint32_t)>& match) {
    std::vector<unsigned char> pixels(size_t(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    PixelBox box;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const unsigned char* p = &pixels[(size_t(y) * width + x) * 3];
            if (match((uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2])) box.add(x, y);
        }
    }
    return box;
}

uint32_t GlWindow::pixel(uint32_t buffer, int32_t x, int32_t y) {
    unsigned char rgb[3] = {0, 0, 0};
    glReadBuffer(buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2];
}

uint32_t GlWindow::shownPixel(int32_t x, int32_t y) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11) {
        ADD_FAILURE() << "no X11 window";
        return 0xdeadbeef;
    }
    Display* display = info.info.x11.display;
    info.info.x11.lock_func();
    XSync(display, False);
    XImage* image = XGetImage(display, info.info.x11.window, x, y, 1, 1, AllPlanes, ZPixmap);
    uint32_t value = 0xdeadbeef;
    if (image) {
        value = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xffffffu;
        XDestroyImage(image);
    }
    info.info.x11.unlock_func();
    return value;
}

void GlWindow::project(float x, float y, float z, int* px, int* py) {
    GLdouble model[16], projection[16], wx, wy, wz;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
    *px = static_cast<int>(wx);
    *py = static_cast<int>(wy);
}
