// hnormals.cpp: vertex normals, in one pass and by the reference scan.
//
// Both versions add the same face vectors to each vertex's sum in the same
// (face) order, starting from zero, and finish every vertex through
// finishNormal(): float addition is not associative, so keeping the order is
// what makes the two agree bit for bit.
#include "assets/hnormals.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool faceInside(const HFace& face, int32_t vertexCount) {
    for (int32_t corner = 0; corner < 3; ++corner) {
        if (face.index[corner] < 0 || face.index[corner] >= vertexCount) return false;
    }
    return true;
}

// Twice the area, pointing to the back of a counter-clockwise triangle.
Vec3 faceVector(const HMesh& mesh, const HFace& face) {
    const Vec3 p0 = mesh.vertices[face.index[0]];
    const Vec3 p1 = mesh.vertices[face.index[1]];
    const Vec3 p2 = mesh.vertices[face.index[2]];
    return cross(subtract(p0, p2), subtract(p2, p1));
}

bool isUnit(Vec3 n) {
    if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) return false;
    const float lengthSquared = n.x * n.x + n.y * n.y + n.z * n.z;
    return lengthSquared > 0.999f && lengthSquared < 1.001f;
}

// The plain formula first, so that ordinary meshes get exactly the textbook
// result. Sums so large or so small that the squares overflow or underflow
// (the plain result is then zero, NaN or not of unit length) are scaled by
// their largest component first; a zero or non-finite sum has no direction.
Vec3 finishNormal(Vec3 sum, int32_t faces) {
    const Vec3 n = normalise(divide(sum, -static_cast<float>(faces)));
    if (isUnit(n)) return n;
    const float largest = std::fmax(std::fabs(sum.x), std::fmax(std::fabs(sum.y), std::fabs(sum.z)));
    if (!(largest > 0.0f) || !std::isfinite(largest)) return HNORMAL_FALLBACK;
    const Vec3 scaled = normalise(divide(sum, -largest));
    return isUnit(scaled) ? scaled : HNORMAL_FALLBACK;
}

bool allocateNormals(HMesh& mesh) {
    free(mesh.normals);
    mesh.normals = nullptr;
    if (mesh.vertexCount <= 0) return true;
    mesh.normals = static_cast<Vec3*>(malloc(sizeof(Vec3) * mesh.vertexCount));
    if (!mesh.normals) {
        fprintf(stderr, "Out of memory\n");
        return false;
    }
    return true;
}

}  // namespace

bool computeVertexNormals(HMesh& mesh) {
    if (!allocateNormals(mesh)) return false;
    if (mesh.vertexCount <= 0) return true;
    int32_t* counts = static_cast<int32_t*>(calloc(mesh.vertexCount, sizeof(int32_t)));
    if (!counts) {
        free(mesh.normals);
        mesh.normals = nullptr;
        fprintf(stderr, "Out of memory\n");
        return false;
    }
    Vec3* sums = mesh.normals;  // summed in place, finished below
    for (int32_t v = 0; v < mesh.vertexCount; ++v) sums[v] = Vec3();
    if (mesh.faces) {
        for (int32_t f = 0; f < mesh.faceCount; ++f) {
            const HFace& face = mesh.faces[f];
            if (!faceInside(face, mesh.vertexCount)) continue;
            const Vec3 nf = faceVector(mesh, face);
            const int32_t a = face.index[0], b = face.index[1], c = face.index[2];
            // Each distinct vertex of the face once.
            sums[a] = add(sums[a], nf);
            ++counts[a];
            if (b != a) {
                sums[b] = add(sums[b], nf);
                ++counts[b];
            }
            if (c != a && c != b) {
                sums[c] = add(sums[c], nf);
                ++counts[c];
            }
        }
    }
    for (int32_t v = 0; v < mesh.vertexCount; ++v) sums[v] = finishNormal(sums[v], counts[v]);
    free(counts);
    return true;
}

bool computeVertexNormalsByScan(HMesh& mesh) {
    if (!allocateNormals(mesh)) return false;
    for (int32_t v = 0; v < mesh.vertexCount; ++v) {
        Vec3 sum;
        int32_t k = 0;
        for (int32_t f = 0; mesh.faces && f < mesh.faceCount; ++f) {
            const HFace& face = mesh.faces[f];
            if (!faceInside(face, mesh.vertexCount)) continue;
            if (face.index[0] == v || face.index[1] == v || face.index[2] == v) {
                sum = add(sum, faceVector(mesh, face));
                ++k;
            }
        }
        mesh.normals[v] = finishNormal(sum, k);
    }
    return true;
}
