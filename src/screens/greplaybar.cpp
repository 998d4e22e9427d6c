// greplaybar.cpp: the bar along the bottom of a replay: its time, its hits
// and where it stands.
//
// In the notices' overlay (window pixels), sized by the 480-unit frame like
// the notices, across the whole width of the window. 20 units high: the
// replay's mark, low on the left, starts just above it.
#include <cstdio>
#include <new>  // Required for: std::nothrow

#include <GL/gl.h>

#include "screens/gengine.h"
#include "screens/mtext.h"
#include "screens/texturedquad.h"

namespace {

// Empty at normal speed, which needs no saying.
const char* speedText(int32_t quarters) {
    switch (quarters) {
    case 1: return "1/4x";
    case 2: return "1/2x";
    case 8: return "2x";
    case 16: return "4x";
    case 32: return "8x";
    default: return "";
    }
}

}  // namespace

std::string GEngine::clockText(uint32_t ms) {
    const unsigned s = ms / 1000;
    char text[32];
    if (s >= 3600) {
        snprintf(text, sizeof text, "%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
    } else {
        snprintf(text, sizeof text, "%u:%02u", s / 60, s % 60);
    }
    return text;
}

void GEngine::drawReplayBar() {
    GReplayBar bar;
    if (!shown->replayBar(bar)) return;
    if (!noticeText) noticeText.reset(new (std::nothrow) MText());
    if (!noticeText) return;
    const MFrame f = MFrame::ofViewport();
    const float u = f.unit;
    const float band = 20.0f * u;
    const float textHeight = 13.0f * u;
    const float textY = (band - textHeight) / 2.0f;
    const float margin = 8.0f * u;
    const float middle = band / 2.0f;
    // At least a pixel, in a window of any size.
    const float thin = u > 1.0f ? u : 1.0f;

    MText::beginOverlay();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glBegin(GL_QUADS);
    rectangleVertices(0.0f, 0.0f, f.width, band);
    glEnd();
    glDisable(GL_BLEND);

    const std::string time = clockText(bar.elapsedMs) + " / " + clockText(bar.lengthMs);
    const float timeWidth = MText::width(time.c_str(), textHeight);
    noticeText->drawCentred(time.c_str(), margin + timeWidth / 2.0f, textY, textHeight, 0.9f, 0.9f, 0.95f, false);
    float right = f.width - margin;
    const char* speed = speedText(bar.speedQuarters);
    if (*speed != '\0') {
        const float w = MText::width(speed, textHeight);
        noticeText->drawCentred(speed, right - w / 2.0f, textY, textHeight, 1.0f, 0.85f, 0.35f, false);
        right -= w + margin;
    }

    const float left = margin * 2.0f + timeWidth;
    if (right > left && bar.lengthMs > 0) {
        const float span = right - left;
        const auto xOf = [&](uint32_t ms) {
            return left + span * static_cast<float>(ms > bar.lengthMs ? bar.lengthMs : ms) / bar.lengthMs;
        };
        const float now = xOf(bar.elapsedMs);
        glDisable(GL_TEXTURE_2D);
        glBegin(GL_QUADS);
        glColor4f(0.35f, 0.35f, 0.4f, 1.0f);
        rectangleVertices(left, middle - thin, right, middle + thin);
        glColor4f(0.8f, 0.8f, 0.85f, 1.0f);
        rectangleVertices(left, middle - thin, now, middle + thin);
        if (bar.hits != nullptr) {
            for (const GReplayHit& hit : *bar.hits) {
                float r, g, b;
                view.effects.colourOf(hit.hitter, r, g, b);
                glColor4f(r, g, b, 1.0f);
                const float x = xOf(hit.ms);
                rectangleVertices(x - thin, middle - 5.0f * u, x + thin, middle + 5.0f * u);
            }
        }
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        rectangleVertices(now - 1.5f * thin, middle - 7.0f * u, now + 1.5f * thin, middle + 7.0f * u);
        glEnd();
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    MText::endOverlay();
}
