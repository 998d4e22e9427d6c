// gnotices.cpp: what the match screen says over the match: that it is
// paused and which key ends the pause, or that the other player is awaited;
// for a spectator, that it watches and who flies each ship; in a demo,
// that it is one and how to leave it; and, when asked, how the network
// carries the match.
#include "screens/gengine.h"

#include <algorithm>  // Required for: std::min
#include <new>  // Required for: std::nothrow
#include <string>

#include "game/gcontrollerkinds.h"
#include "screens/mtext.h"

namespace {

std::string flownBy(ControllerChoice choice) {
    const GControllerKind* kind = controllerKind(choice);
    return kind != nullptr ? kind->name : "nobody";
}

}  // namespace

void GEngine::drawNotices() {
    // A network pause holds both sides, and waits for nobody: a wait the
    // pause interrupted is not said.
    const bool held = paused();
    const bool waiting = !held && shown->waitingMs() > WAIT_NOTICE_MS;
    const bool watched = shown->kind() == GShownMatch::Kind::WATCHED;
    const bool demo = shown->kind() == GShownMatch::Kind::DEMO;
    const std::string panel = netPanelShown ? shown->panelLine() : "";
    if (!held && !waiting && !watched && !demo && panel.empty()) return;
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
        // A spectator's pause is the players'.
        noticeText->drawCentred(watched ? "the players paused" : "p resumes", middle, f.below(266.0f),
                                18.0f * f.unit, 0.8f, 0.85f, 0.95f);
    } else if (waiting) {
        noticeText->drawCentred("Waiting for the other player", middle, f.below(250.0f), 20.0f * f.unit, 1.0f,
                                0.85f, 0.35f);
    }
    if (watched) {
        // Low in the window, where a replay shows its mark: clear of the
        // health bars at the top and of the ships' starting places.
        noticeText->drawCentred("WATCHING", middle, f.below(452.0f), 22.0f * f.unit, 1.0f, 0.85f, 0.35f);
        const std::string who = "left ship: " + flownBy(match.leftChoice) + "      right ship: " + flownBy(match.rightChoice);
        noticeText->drawCentred(who.c_str(), middle, f.below(470.0f), 13.0f * f.unit, 0.85f, 0.85f, 0.9f);
    }
    if (demo) {
        // Where a watched match says so: nobody here plays this one either.
        noticeText->drawCentred("DEMO", middle, f.below(452.0f), 22.0f * f.unit, 1.0f, 0.85f, 0.35f);
        noticeText->drawCentred("any key: menu", middle, f.below(470.0f), 13.0f * f.unit, 0.85f, 0.85f, 0.9f);
    }
    for (size_t from = 0, n = 0; from < panel.size(); n++) {
        const size_t end = std::min(panel.find('\n', from), panel.size());
        noticeText->drawCentred(panel.substr(from, end - from).c_str(), middle, f.below(46.0f + 15.0f * n),
                                12.0f * f.unit, 0.7f, 1.0f, 0.75f);
        from = end + 1;
    }
    MText::endOverlay();
}
