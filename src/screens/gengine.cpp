// gengine.cpp: the match screen's keys, update and drawing.
#include "screens/gengine.h"

#include <SDL/SDL_keysym.h>

#include "assets/htexturestore.h"
#include "screens/mtext.h"  // Required for: deleting noticeText

static_assert(GEngine::NET_PANEL_KEY == SDLK_F3, "the network line's key is F3, which keptFromPlayers keeps");

bool GEngine::netPanelShown = false;

GEngine::GEngine(HScreenHost* host, GShownMatch* shown)
    : shown(shown), match(shown->match()), application(host), replayMark(-1) {
    view.loadModels();
    view.setWorld(&match.world);
    view.loadBackdrop();
    // The match's sparks follow from its seed, watched again or not.
    view.effects.reset(match.world.seed);
    if (shown->kind() == GShownMatch::Kind::REPLAY) replayMark = theTextureStore.load(REPLAY_PICTURE);
    shown->listen(&view.effects);
}

GEngine::~GEngine() {
    shown->unlisten(&view.effects);
    theTextureStore.release(replayMark);
}

void GEngine::keyDown(uint8_t key) { shown->keyDown(key); }

void GEngine::symbolDown(uint32_t sym, uint8_t key, char typed) {
    (void)typed;
    // In a demo every key is the one that leaves it.
    if (sym == NET_PANEL_KEY && shown->kind() != GShownMatch::Kind::DEMO) {
        netPanelShown = !netPanelShown;
        return;
    }
    if (shown->seekKey(sym)) return;
    keyDown(key);
}

void GEngine::update(int32_t ms) {
    // The pictures age with the screen's time, a pause holding them; what
    // this update's steps make is heard while the owner moves the match.
    if (!shown->paused()) view.effects.advance(ms);
    shown->update(ms);
    for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) view.ease(side, shown->takeJump(side));
}

bool GEngine::unchanged() const {
    const auto still = [](const Vec3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; };
    return drawnHeld && paused() && match.ticks[0] == drawnTicks[0] && match.ticks[1] == drawnTicks[1] &&
           still(view.eased[0]) && still(view.eased[1]) && (!netPanelShown || shown->panelLine().empty());
}

void GEngine::draw() {
    drawnHeld = paused();
    drawnTicks[0] = match.ticks[0];
    drawnTicks[1] = match.ticks[1];
    view.draw();
    view.drawMark(replayMark);
    drawReplayBar();
    drawNotices();
}
