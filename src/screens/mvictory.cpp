// mvictory.cpp: showing who won.
#include "screens/mvictory.h"

#include <GL/gl.h>

#include "app/happlication.h"
#include "assets/htexturestore.h"
#include "screens/texturedquad.h"

const char* MVictory::pictureFor(const MatchResult& result) {
    if (!result.finished) return "remiza.jpg";
    if (result.leftHealth > 0 && result.rightHealth <= 0) return "won_l.jpg";
    if (result.rightHealth > 0 && result.leftHealth <= 0) return "won_r.jpg";
    return "remiza.jpg";
}

MVictory::MVictory(HApplication* application, const MatchResult& result)
    : result(result), application(application), image(-1), elapsed(0) {
    image = theTextureStore.load(pictureFor(this->result));
}

MVictory::~MVictory() { theTextureStore.release(image); }

void MVictory::keyDown(uint8_t key) {
    (void)key;  // every key counts
    // Presses during the lock-out are dropped, not remembered: a player
    // still hammering fire when the match ends does not skip the result.
    if (elapsed > 1000) application->showMenu();
}

void MVictory::update(int32_t ms) { elapsed += ms; }

void MVictory::draw() {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -DISTANCE);
    theTextureStore.bind(image);
    drawTexturedQuad(-HALF_WIDTH, HALF_HEIGHT, HALF_WIDTH, -HALF_HEIGHT, 0.0f);
}
