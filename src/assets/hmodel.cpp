// hmodel.cpp: model loading (3DS or text), normals, and immediate-mode
// drawing.
#include "assets/hmodel.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assets/h3dsloader.h"
#include "assets/hnormals.h"
#include "assets/htexturestore.h"

void freeMeshArrays(HMesh& mesh) {
    free(mesh.faces);
    free(mesh.normals);
    free(mesh.vertices);
    free(mesh.texCoords);
    mesh.faces = nullptr;
    mesh.normals = nullptr;
    mesh.vertices = nullptr;
    mesh.texCoords = nullptr;
}

HModelData::~HModelData() { clear(); }

void HModelData::clear() {
    for (HMesh& mesh : meshes) freeMeshArrays(mesh);
    meshes.clear();
    materials.clear();
    meshCount = 0;
    materialCount = 0;
}

HModel::HModel() : lit(false), loaded(false) {}

HModel::~HModel() {
    for (const HMaterial& material : data.materials) theTextureStore.release(material.texture);
    // data's destructor frees the mesh arrays and both lists.
}

bool HModel::load(const char* path) {
    const size_t length = path ? strlen(path) : 0;
    const char last = length > 0 ? path[length - 1] : '\0';
    if (last == 's') {
        load3ds(path);
        lit = true;
    } else if (last == 't') {
        if (!loadText(path)) return false;
        lit = false;
    }
    computeNormals();
    loaded = true;
    return true;
}

bool HModel::load3ds(const char* path) {
    data.clear();
    H3DSLoader loader;
    loader.load(data, path);
    for (HMaterial& material : data.materials) {
        material.texture = material.textureFile[0] != '\0' ? theTextureStore.load(material.textureFile) : -1;
    }
    return true;
}

bool HModel::loadText(const char* path) {
    FILE* file = fopen(path, "r");
    if (!file) return false;
    const bool result = loadText(file);
    fclose(file);
    return result;
}

bool HModel::loadText(FILE* file) {
    // A value that fails to convert stops fscanf: it and all after it stay 0.
    int colour[3] = {0, 0, 0};
    float xyz[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (fscanf(file, "%d %d %d", &colour[0], &colour[1], &colour[2]) == 3) {
        for (int i = 0; i < 3; ++i) {
            if (fscanf(file, "%f %f %f", &xyz[3 * i], &xyz[3 * i + 1], &xyz[3 * i + 2]) != 3) break;
        }
    }

    HMaterial material;
    for (int i = 0; i < 3; ++i) material.colour[i] = static_cast<uint8_t>(colour[i] & 0xFF);
    material.texture = -1;
    data.materials.push_back(material);
    data.materialCount = 1;

    HMesh mesh;
    mesh.vertexCount = 3;
    mesh.faceCount = 1;
    mesh.vertices = static_cast<Vec3*>(malloc(3 * sizeof(Vec3)));
    mesh.faces = static_cast<HFace*>(malloc(sizeof(HFace)));
    if (!mesh.vertices || !mesh.faces) {
        freeMeshArrays(mesh);
        fprintf(stderr, "Out of memory\n");
        return false;
    }
    for (int i = 0; i < 3; ++i) mesh.vertices[i] = Vec3(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);
    mesh.faces[0].index[0] = 0;
    mesh.faces[0].index[1] = 1;
    mesh.faces[0].index[2] = 2;
    data.meshes.push_back(mesh);
    data.meshCount = 1;
    return true;
}

void HModel::computeNormals() {
    for (HMesh& mesh : data.meshes) computeVertexNormals(mesh);
}

void HModel::draw() {
    if (!loaded) return;
    if (lit) {
        glEnable(GL_LIGHTING);
    } else {
        glDisable(GL_LIGHTING);
    }
    for (const HMesh& mesh : data.meshes) {
        const bool knownMaterial = mesh.materialId >= 0 && mesh.materialId < data.materialCount;
        const HMaterial* material = knownMaterial ? &data.materials[mesh.materialId] : nullptr;
        if (mesh.hasTexture) {
            theTextureStore.bind(material ? material->texture : -1);
        } else {
            theTextureStore.unbind();
        }
        // Without normals (out of memory) there is nothing sound to draw.
        const bool drawable = mesh.vertices && mesh.normals && mesh.faces;
        glBegin(GL_TRIANGLES);
        for (int32_t f = 0; drawable && f < mesh.faceCount; ++f) {
            const HFace& face = mesh.faces[f];
            // Readers drop faces outside the vertex array; this guards data
            // built by hand.
            if (face.index[0] < 0 || face.index[0] >= mesh.vertexCount || face.index[1] < 0 ||
                face.index[1] >= mesh.vertexCount || face.index[2] < 0 ||
                face.index[2] >= mesh.vertexCount)
                continue;
            for (int32_t corner = 0; corner < 3; ++corner) {
                const int32_t v = face.index[corner];
                glNormal3f(mesh.normals[v].x, mesh.normals[v].y, mesh.normals[v].z);
                if (mesh.hasTexture) {
                    // A damaged file may have fewer coordinates than vertices:
                    // those past the end are drawn as if there were none.
                    if (mesh.texCoords && v < mesh.texCoordCount)
                        glTexCoord2f(mesh.texCoords[v].u, mesh.texCoords[v].v);
                } else if (material) {
                    glColor3ub(material->colour[0], material->colour[1], material->colour[2]);
                }
                glVertex3f(mesh.vertices[v].x, mesh.vertices[v].y, mesh.vertices[v].z);
            }
        }
        glEnd();
    }
    glDisable(GL_LIGHTING);
}
