// models3ds.h: 3DS files for tests, two ways.
//
// Model3ds describes a small model (materials, then meshes in model
// coordinates) and model3dsBytes() writes it through the game's H3DSWriter,
// as the artwork baker does. The writer shares its chunk ids with the reader
// (h3dsformat.h), so a wrong id there could never show in a file of its own:
// handMadeShip3ds() is a file typed byte by byte, every id a number here,
// for the reader to be held against and the writer to be compared with.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "assets/vec3.h"

class H3DSWriter;

// Brace-initialised in the tests: constructors with defaults rather than
// aggregates, which -Wextra would have written out in full every time.
struct Material3ds {
    Material3ds(std::string name, uint32_t rgb = 0, std::string texture = "")
        : name(std::move(name)), rgb(rgb), texture(std::move(texture)) {}
    std::string name;
    uint32_t rgb;         // diffuse colour as 0xRRGGBB
    std::string texture;  // texture map file; empty: none
};

// One named object holding a triangle mesh.
struct Mesh3ds {
    // One triangle facing +z.
    static std::vector<Vec3> triangle() { return {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)}; }

    Mesh3ds(std::string name = "mesh", std::vector<std::string> materials = {},
            std::vector<Vec3> points = triangle(), std::vector<float> uv = {}, std::vector<uint16_t> faces = {})
        : name(std::move(name)), materials(std::move(materials)), points(std::move(points)), uv(std::move(uv)),
          faces(std::move(faces)) {}
    std::string name;
    // Face material chunks in order, each naming a material for every face:
    // the reader lets the last one decide.
    std::vector<std::string> materials;
    std::vector<Vec3> points;  // model coordinates (y up)
    std::vector<float> uv;     // (u, v) pairs; empty: no texture coordinate list
    // Three corners a face. Empty: the points taken in threes, and four
    // points a quad of two faces.
    std::vector<uint16_t> faces;
};

struct Model3ds {
    Model3ds(std::vector<Material3ds> materials = {}, std::vector<Mesh3ds> meshes = {})
        : materials(std::move(materials)), meshes(std::move(meshes)) {}
    std::vector<Material3ds> materials;
    std::vector<Mesh3ds> meshes;
    // Materials written after the meshes, where no mesh can find them.
    std::vector<Material3ds> lateMaterials;
    // False: the editor chunk begins with a material, as some exporters
    // write it, instead of the mesh version.
    bool meshVersionFirst = true;
};

// Opens the main chunk (version 3) and the editor (mesh version 3); the
// caller adds what it likes and closes them, or leaves that to writeFile.
void openScene3ds(H3DSWriter& w);
void writeMaterial3ds(H3DSWriter& w, const Material3ds& material);
void writeMesh3ds(H3DSWriter& w, const Mesh3ds& mesh);

std::vector<uint8_t> model3dsBytes(const Model3ds& model);
// False, after the writer's message, when the file cannot be written.
bool write3ds(const char* file, const Model3ds& model);

// --- bytes by hand ---------------------------------------------------------
// A chunk: its 6-byte header with the length counted from the parts, then
// the parts one after another.
std::vector<uint8_t> chunkBytes(uint16_t id, std::initializer_list<std::vector<uint8_t>> parts = {});
std::vector<uint8_t> u16Bytes(std::initializer_list<uint16_t> values);
std::vector<uint8_t> u32Bytes(std::initializer_list<uint32_t> values);
std::vector<uint8_t> f32Bytes(std::initializer_list<float> values);
// The text and its NUL.
std::vector<uint8_t> textBytes(const char* text);

// A two-mesh ship: a textured hull naming the second material and an
// untextured canopy naming the first, so that an unread face material
// shows; neither mesh is flat in any axis, so that a swapped axis shows.
// Made with the helpers above, never with H3DSWriter.
std::vector<uint8_t> handMadeShip3ds();
// What that file holds, as H3DSWriter would write it: the same bytes.
Model3ds handMadeShipModel();
