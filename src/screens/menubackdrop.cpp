// menubackdrop.cpp: the main menu's picture and sky.
#include "screens/menubackdrop.h"

#include <GL/gl.h>

#include "assets/htexturestore.h"
#include "screens/mmenulayout.h"
#include "screens/texturedquad.h"

void drawMenuBackdrop(int32_t picture, int32_t& sky, bool& skyLooked) {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -MENU_PUSH);

    if (!skyLooked && quadLeavesViewUncovered(-MENU_PICTURE_HALF_WIDTH, MENU_PICTURE_HALF_HEIGHT,
                                              MENU_PICTURE_HALF_WIDTH, -MENU_PICTURE_HALF_HEIGHT, MENU_PICTURE_Z)) {
        sky = theTextureStore.load("menu_sky.jpg");
        skyLooked = true;
    }
    if (sky >= 0) {
        // Tested against what is drawn already, but leaving no depth behind:
        // the picture drawn next covers it wherever it reaches, as if the sky
        // were not there.
        glDepthMask(GL_FALSE);
        theTextureStore.bind(sky);
        drawTexturedSurround(-MENU_SKY_HALF_WIDTH, MENU_SKY_HALF_HEIGHT, MENU_SKY_HALF_WIDTH, -MENU_SKY_HALF_HEIGHT,
                             -MENU_PICTURE_HALF_WIDTH, MENU_PICTURE_HALF_HEIGHT, MENU_PICTURE_HALF_WIDTH,
                             -MENU_PICTURE_HALF_HEIGHT, MENU_PICTURE_Z);
        glDepthMask(GL_TRUE);
    }
    theTextureStore.bind(picture);
    drawTexturedQuad(-MENU_PICTURE_HALF_WIDTH, MENU_PICTURE_HALF_HEIGHT, MENU_PICTURE_HALF_WIDTH,
                     -MENU_PICTURE_HALF_HEIGHT, MENU_PICTURE_Z);
}
