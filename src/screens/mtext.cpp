// mtext.cpp: cutting characters out of the font picture.
#include "screens/mtext.h"

#include <cstring>

#include <GL/gl.h>

#include "assets/htexturestore.h"
#include "screens/texturedquad.h"

MText::MText() : texture(theTextureStore.load(TEXT_PICTURE)) {}

MText::~MText() { theTextureStore.release(texture); }

float MText::width(const char* text, float height) {
    const float advance = height * TEXT_ADVANCE / TEXT_CELL_HEIGHT;
    const float cell = height * TEXT_CELL_WIDTH / TEXT_CELL_HEIGHT;
    const size_t n = strlen(text);
    return n == 0 ? 0.0f : advance * static_cast<float>(n - 1) + cell - height * 2 * TEXT_PEN / TEXT_CELL_HEIGHT;
}

void MText::drawCentred(const char* text, float x, float y, float height, float red, float green, float blue,
                        bool band) const {
    const float cell = height * TEXT_CELL_WIDTH / TEXT_CELL_HEIGHT;
    const float advance = height * TEXT_ADVANCE / TEXT_CELL_HEIGHT;
    const float pen = height * TEXT_PEN / TEXT_CELL_HEIGHT;
    const float w = width(text, height);
    const float left = x - w / 2.0f;

    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, band ? 0.6f : 0.0f);
    const float margin = height * 0.3f;
    glBegin(GL_QUADS);
    glVertex2f(left - margin, y - margin * 0.3f);
    glVertex2f(left + w + margin, y - margin * 0.3f);
    glVertex2f(left + w + margin, y + height + margin * 0.3f);
    glVertex2f(left - margin, y + height + margin * 0.3f);
    glEnd();

    glEnable(GL_TEXTURE_2D);
    theTextureStore.bind(texture);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(red, green, blue, 1.0f);
    const float cellS = static_cast<float>(TEXT_CELL_WIDTH) / TEXT_PICTURE_WIDTH;
    const float cellT = static_cast<float>(TEXT_CELL_HEIGHT) / TEXT_PICTURE_HEIGHT;
    glBegin(GL_QUADS);
    float at = left - pen;
    for (const char* c = text; *c != '\0'; c++, at += advance) {
        int32_t code = static_cast<unsigned char>(*c);
        if (code < TEXT_FIRST || code > TEXT_LAST) code = '?';
        const int32_t index = code - TEXT_FIRST;
        const float s0 = static_cast<float>(index % TEXT_COLUMNS) * cellS;
        // Row 0 is the picture's top, which the store's flip puts at t = 1.
        const float t0 = 1.0f - static_cast<float>(index / TEXT_COLUMNS) * cellT;
        glTexCoord2f(s0, t0);
        glVertex2f(at, y + height);
        glTexCoord2f(s0 + cellS, t0);
        glVertex2f(at + cell, y + height);
        glTexCoord2f(s0 + cellS, t0 - cellT);
        glVertex2f(at + cell, y);
        glTexCoord2f(s0, t0 - cellT);
        glVertex2f(at, y);
    }
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
}

MFrame MFrame::ofViewport() {
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    MFrame f;
    f.width = static_cast<float>(viewport[2]);
    f.height = static_cast<float>(viewport[3]);
    const float frame = f.height * 4.0f < f.width * 3.0f ? f.height : f.width * 3.0f / 4.0f;
    f.unit = frame / 480.0f;
    f.top = (f.height + frame) / 2.0f;
    return f;
}

void MText::beginOverlay() {
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, viewport[2], 0.0, viewport[3], -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
}

void MText::cover(float left, float bottom, float right, float top) {
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.02f, 0.03f, 0.07f, 1.0f);
    glBegin(GL_QUADS);
    rectangleVertices(left, bottom, right, top);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
}

void MText::endOverlay() {
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
