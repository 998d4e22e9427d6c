// hmodel.h: a drawable model (materials and indexed triangle meshes), its
// records, and the readers' common target HModelData.
//
// Input: a 3DS file (path ending in 's', read by H3DSLoader) or a one-triangle
// text model (path ending in 't'). Output: OpenGL immediate-mode triangles in
// the caller's current transform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "assets/vec3.h"

// Size of every name field, NUL included: names are cut to 254 characters.
constexpr int32_t HMODEL_NAME_SIZE = 255;

struct HTexCoord {
    float u = 0.0f;
    float v = 0.0f;
};

struct HFace {
    // Vertex indices into the mesh's vertex array, in file order.
    int32_t index[3] = {0, 0, 0};
};

// One material, held by value in HModelData::materials. Starts all zero.
struct HMaterial {
    char name[HMODEL_NAME_SIZE] = {};
    // Texture image file name, looked for in the working directory; empty
    // when the material has no texture.
    char textureFile[HMODEL_NAME_SIZE] = {};
    // Diffuse colour: red, green, blue.
    uint8_t colour[3] = {0, 0, 0};
    // Index in theTextureStore; -1 for none. The 3DS reader sets -1, HModel
    // the loaded index once reading ends.
    int32_t texture = 0;
};

// One triangle mesh with one material, held by value in HModelData::meshes.
// Starts all zero. The record owns its four arrays (allocated with malloc),
// but copying the record does not copy them: only HModelData frees them.
struct HMesh {
    int32_t vertexCount = 0;
    int32_t faceCount = 0;
    // 0 when the mesh has none; may be below vertexCount in a damaged file,
    // in which case the vertices past it are drawn without coordinates.
    int32_t texCoordCount = 0;
    // Position in the model's material list; -1 when the mesh names a
    // material the model does not have; stays 0 when it names none.
    int32_t materialId = 0;
    // The mesh's material has a texture file: drawn with texture coordinates
    // instead of the material colour.
    bool hasTexture = false;
    char name[HMODEL_NAME_SIZE] = {};
    Vec3* vertices = nullptr;     // vertexCount entries
    Vec3* normals = nullptr;      // vertexCount unit normals, after computeNormals
    HTexCoord* texCoords = nullptr;  // texCoordCount entries, by vertex index, or null
    HFace* faces = nullptr;       // faceCount entries; every index below vertexCount
};

// The geometry block that the readers fill. The counts always equal the
// lengths of the lists. Frees every mesh's arrays when destroyed or cleared;
// it cannot be copied, because the mesh records share their arrays.
struct HModelData {
    int32_t meshCount = 0;
    int32_t materialCount = 0;
    std::vector<HMaterial> materials;
    std::vector<HMesh> meshes;

    HModelData() = default;
    ~HModelData();
    HModelData(const HModelData&) = delete;
    HModelData& operator=(const HModelData&) = delete;

    // Frees every mesh's arrays and empties both lists. Touches no texture.
    void clear();
};

// Frees a mesh's four arrays and nulls the pointers; the counts stay.
void freeMeshArrays(HMesh& mesh);

class HModel {
public:
    HModel();
    // Releases the material textures in theTextureStore and frees the arrays.
    virtual ~HModel();
    HModel(const HModel&) = delete;
    HModel& operator=(const HModel&) = delete;

    // Reads the model once, right after construction. The last character of
    // path chooses the reader (case-sensitive): 's' 3DS, 't' text model, any
    // other nothing (the model is loaded and empty). False only when a text
    // model file cannot be opened; then the model stays not loaded. A 3DS
    // model with textured materials needs the OpenGL context (the textures
    // are loaded here); everything else needs none until draw().
    bool load(const char* path);

    // Renders every mesh in the current transform. Does nothing before a
    // successful load. Lighting is on while a 3DS model draws and always off
    // afterwards; texture state and colour stay as the last mesh set them.
    void draw();

    // Internal steps, public for the tools and tests that read models
    // without a window.
    bool load3ds(const char* path);
    // One coloured triangle: "%d %d %d" then three times "%f %f %f". False,
    // without a message, when the file cannot be opened.
    bool loadText(const char* path);
    // The same from a stream the caller opened and closes (the fuzz target
    // hands it bytes through fmemopen).
    bool loadText(FILE* stream);
    void computeNormals();

    // The model was read through the 3DS path: lit while it draws.
    bool lit;
    HModelData data;
    // Loading has finished; draw() does nothing before.
    bool loaded;
};
