// gnotices.cpp: what the match screen says over the match: that it is
// paused and which key ends the pause, or that the other player is awaited.
#include "screens/gengine.h"

#include <new>  // Required for: std::nothrow

#include "net/nmatch.h"
#include "screens/mtext.h"

void GEngine::drawNotices() {
    // A network pause holds both sides, and waits for nobody: a wait the
    // pause interrupted is not said.
    const bool held = paused();
    const bool waiting = !held && net != nullptr && net->waitingMs > WAIT_NOTICE_MS;
    if (!held && !waiting) return;
    // Loaded when first needed rather than with the match, whose start
    // would wait for a picture most matches never show.
    if (!noticeText) noticeText.reset(new (std::nothrow) MText());
    if (!noticeText) return;
    // In frame units (480 high), about the window's middle: over the
    // ships' field, as a pause mark should be.
    const MFrame f = MFrame::ofViewport();
    const float middle = f.width / 2.0f;
    MText::beginOverlay();
    if (held) {
        noticeText->drawCentred("PAUSED", middle, f.below(236.0f), 40.0f * f.unit, 1.0f, 1.0f, 1.0f);
        noticeText->drawCentred("p resumes", middle, f.below(266.0f), 18.0f * f.unit, 0.8f, 0.85f, 0.95f);
    } else {
        noticeText->drawCentred("Waiting for the other player", middle, f.below(250.0f), 20.0f * f.unit, 1.0f,
                                0.85f, 0.35f);
    }
    MText::endOverlay();
}
