// texturedquad.h: the one picture primitive of the front-end screens.
#pragma once

#include <GL/gl.h>

// A GL_QUADS quad in the plane z, corners top-left, top-right, bottom-right,
// bottom-left, with the whole texture on it: t = 1 at the top, which after
// the texture store's row flip is the picture's top row.
inline void drawTexturedQuad(float left, float top, float right, float bottom, float z) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(left, top, z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(right, top, z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(right, bottom, z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(left, bottom, z);
    glEnd();
}

// For the texture bound to GL_TEXTURE_2D: filtering takes its border texels
// alone at its edges instead of wrapping round to the opposite side, which
// would draw a hairline of the other edge's colours wherever a picture meets
// the sky beside it. A driver without edge clamping refuses the value and
// keeps repeating, as before.
inline void clampTextureEdges() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}
