// hnormals.h: smooth vertex normals of one mesh.
//
// Every vertex gets the unit vector opposite to the sum of the face vectors
// cross(p0 - p2, p2 - p1) of the faces that use it, added in face order (a
// face that names a vertex twice counts once), divided by minus the number
// of such faces, then normalised. Face vectors are not normalised, so a face
// weighs by its area. A vertex with no usable sum (no face, only degenerate
// faces, or non-finite positions) gets HNORMAL_FALLBACK, never NaN.
#pragma once

#include "assets/hmodel.h"

// Model-space up: the least surprising direction for a lone vertex under the
// game's single light.
const Vec3 HNORMAL_FALLBACK(0.0f, 1.0f, 0.0f);

// Fills mesh.normals (reallocating it) in one pass over the faces: linear
// in vertices plus faces. Faces with an index outside the vertex array are
// ignored. False, with normals freed, when memory runs out.
bool computeVertexNormals(HMesh& mesh);

// The same result, bit for bit, by scanning every face for every vertex:
// vertices times faces. Kept as the reference that tests and benchmarks
// hold the one-pass version against; the game does not call it.
bool computeVertexNormalsByScan(HMesh& mesh);
