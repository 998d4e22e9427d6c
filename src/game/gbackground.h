// gbackground.h: the textured backdrop of a match.
//
// A world object only so that it sits in the table and is drawn in order;
// it does not collide and its tick, every PERIOD_MS, does nothing.
#pragma once

#include <cstdint>

#include "game/gobject.h"

class GBackground : public GObject {
public:
    static constexpr int32_t PERIOD_MS = 1000;
    static constexpr const char* PICTURE = "pozadi.jpg";
    // The sky round it, drawn first in the same plane: the sides of a
    // window wider than 4:3 up to 21:9 (98 units either side at z = -100)
    // and the top and bottom of a narrower one down to 5:4 (44 up and
    // down). A missing sky leaves the view as black round the picture as it
    // was without one.
    static constexpr const char* SKY_PICTURE = "pozadi_sky.jpg";
    static constexpr float SKY_HALF_WIDTH = 100.0f;
    static constexpr float SKY_HALF_HEIGHT = 50.0f;

    // Loads PICTURE into theTextureStore (needs the OpenGL context when the
    // file exists). A failed load keeps -1: the quad is then drawn in white
    // with whatever texture was bound last.
    // Without `picture` nothing is loaded and nothing needs OpenGL: a world
    // run without a window keeps its background in the table all the same.
    explicit GBackground(GWorld* world, bool picture = true);
    // Releases the texture.
    ~GBackground() override;

    // The sky, then one quad of 110 by 86 units at z = -100, filling the
    // fixed camera's view of a 4:3 window. Leaves 2D texturing enabled.
    void draw() override;

    int32_t texture;  // index in theTextureStore, -1 for none
    int32_t sky;      // SKY_PICTURE's, likewise
};
