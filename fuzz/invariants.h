// invariants.h: what HModel::draw and computeNormals rely on in the data a
// reader hands over. A broken invariant aborts, so libFuzzer keeps the input.
#pragma once

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "assets/hmodel.h"
#include "assets/hnormals.h"

inline void checkModelData(HModelData& data) {
    if (data.meshCount != static_cast<int32_t>(data.meshes.size())) abort();
    if (data.materialCount != static_cast<int32_t>(data.materials.size())) abort();
    for (const HMaterial& material : data.materials) {
        if (memchr(material.name, 0, sizeof material.name) == nullptr) abort();
        if (memchr(material.textureFile, 0, sizeof material.textureFile) == nullptr) abort();
    }
    for (HMesh& mesh : data.meshes) {
        if (memchr(mesh.name, 0, sizeof mesh.name) == nullptr) abort();
        if (mesh.vertexCount < 0 || mesh.faceCount < 0 || mesh.texCoordCount < 0) abort();
        if (mesh.materialId < -1 || mesh.materialId > data.materialCount) abort();
        if (mesh.materialId == data.materialCount && mesh.materialId != 0) abort();
        if ((mesh.vertexCount > 0) != (mesh.vertices != nullptr)) abort();
        if ((mesh.faceCount > 0) != (mesh.faces != nullptr)) abort();
        if ((mesh.texCoordCount > 0) != (mesh.texCoords != nullptr)) abort();
        // Touch every element so that ASan checks the array sizes.
        volatile float sink = 0;
        for (int32_t v = 0; v < mesh.vertexCount; ++v) sink = sink + mesh.vertices[v].x;
        for (int32_t t = 0; t < mesh.texCoordCount; ++t) sink = sink + mesh.texCoords[t].u;
        for (int32_t f = 0; f < mesh.faceCount; ++f)
            for (int c = 0; c < 3; ++c)
                if (mesh.faces[f].index[c] < 0 || mesh.faces[f].index[c] >= mesh.vertexCount) abort();
        if (!computeVertexNormals(mesh)) continue;
        for (int32_t v = 0; v < mesh.vertexCount; ++v) {
            const Vec3 n = mesh.normals[v];
            const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            if (!(std::fabs(length - 1.0f) < 1e-3f)) abort();
        }
    }
}
