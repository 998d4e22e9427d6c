// models3ds.cpp: see models3ds.h.
#include "support/models3ds.h"

#include <cstring>

#include "assets/h3dsformat.h"
#include "assets/h3dswriter.h"

using Bytes = std::vector<uint8_t>;

void openScene3ds(H3DSWriter& w) {
    w.begin(h3ds::CHUNK_MAIN);
    w.version(3);
    w.begin(h3ds::CHUNK_EDITOR);
    w.meshVersion(3);
}

void writeMaterial3ds(H3DSWriter& w, const Material3ds& m) {
    w.material(m.name.c_str(), uint8_t(m.rgb >> 16), uint8_t(m.rgb >> 8), uint8_t(m.rgb), m.texture.c_str());
}

void writeMesh3ds(H3DSWriter& w, const Mesh3ds& mesh) {
    std::vector<uint16_t> faces = mesh.faces;
    if (faces.empty() && mesh.points.size() == 4) faces = {0, 1, 2, 0, 2, 3};
    for (size_t i = 0; faces.empty() && i + 2 < mesh.points.size(); i += 3)
        faces.insert(faces.end(), {uint16_t(i), uint16_t(i + 1), uint16_t(i + 2)});
    const size_t faceCount = faces.size() / 3;
    std::vector<uint16_t> every(faceCount);
    for (size_t f = 0; f < faceCount; ++f) every[f] = uint16_t(f);

    w.beginObject(mesh.name.c_str());
    w.begin(h3ds::CHUNK_TRIANGLE_MESH);
    w.vertexListFromModel(mesh.points.data(), mesh.points.size());
    w.beginFaceList(reinterpret_cast<const uint16_t(*)[3]>(faces.data()), faceCount);
    for (const std::string& name : mesh.materials) w.faceMaterial(name.c_str(), every.data(), faceCount);
    w.end();
    if (!mesh.uv.empty()) w.texCoordList(mesh.uv.data(), mesh.uv.size() / 2);
    w.end();
    w.end();
}

namespace {

void writeModel(H3DSWriter& w, const Model3ds& model) {
    if (model.meshVersionFirst) {
        openScene3ds(w);
    } else {
        w.begin(h3ds::CHUNK_MAIN);
        w.version(3);
        w.begin(h3ds::CHUNK_EDITOR);
    }
    for (const Material3ds& m : model.materials) writeMaterial3ds(w, m);
    for (const Mesh3ds& mesh : model.meshes) writeMesh3ds(w, mesh);
    for (const Material3ds& m : model.lateMaterials) writeMaterial3ds(w, m);
    w.endAll();
}

}  // namespace

Bytes model3dsBytes(const Model3ds& model) {
    H3DSWriter w;
    writeModel(w, model);
    return w.data();
}

bool write3ds(const char* file, const Model3ds& model) {
    H3DSWriter w;
    writeModel(w, model);
    return w.writeFile(file);
}

// --- bytes by hand -------------------------------------------------------------

Bytes chunkBytes(uint16_t id, std::initializer_list<Bytes> parts) {
    uint32_t length = 6;
    for (const Bytes& part : parts) length += uint32_t(part.size());
    Bytes out = {uint8_t(id), uint8_t(id >> 8), uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                 uint8_t(length >> 24)};
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes u16Bytes(std::initializer_list<uint16_t> values) {
    Bytes out;
    for (uint16_t v : values) out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
    return out;
}

Bytes u32Bytes(std::initializer_list<uint32_t> values) {
    Bytes out;
    for (uint32_t v : values) out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    return out;
}

Bytes f32Bytes(std::initializer_list<float> values) {
    Bytes out;
    for (float f : values) {
        uint32_t bits;
        memcpy(&bits, &f, sizeof bits);
        const Bytes word = u32Bytes({bits});
        out.insert(out.end(), word.begin(), word.end());
    }
    return out;
}

Bytes textBytes(const char* text) { return Bytes(text, text + strlen(text) + 1); }

// Vertices are in file coordinates (z up): model (x, y, z) is file
// (x, -z, y). Faces end in their flags, 0. No coordinate is a model z of 0,
// which the writer would store as -0.
Bytes handMadeShip3ds() {
    return chunkBytes(0x4D4D, {  // main
        chunkBytes(0x0002, {u32Bytes({3})}),  // version
        chunkBytes(0x3D3D, {  // editor
            chunkBytes(0x3D3E, {u32Bytes({3})}),  // mesh version
            chunkBytes(0xAFFF, {  // material: name, diffuse 24-bit colour
                chunkBytes(0xA000, {textBytes("glass")}),
                chunkBytes(0xA020, {chunkBytes(0x0011, {Bytes{40, 50, 60}})})}),
            chunkBytes(0xAFFF, {  // material, with a texture map and its file
                chunkBytes(0xA000, {textBytes("hull")}),
                chunkBytes(0xA020, {chunkBytes(0x0011, {Bytes{200, 100, 50}})}),
                chunkBytes(0xA200, {chunkBytes(0xA300, {textBytes("hull.bmp")})})}),
            chunkBytes(0x4000, {textBytes("body"),  // named object, triangle mesh
                chunkBytes(0x4100, {
                    chunkBytes(0x4110, {u16Bytes({4}),  // vertices
                                        f32Bytes({2, 1, 0.5f, -2, 1, 0.5f, 0, -3, 1.5f, 0.25f, -2, -0.5f})}),
                    chunkBytes(0x4120, {u16Bytes({2, 0, 1, 2, 0, 1, 0, 3, 0}),  // faces, and their material
                                        chunkBytes(0x4130, {textBytes("hull"), u16Bytes({2, 0, 1})})}),
                    chunkBytes(0x4140, {u16Bytes({4}), f32Bytes({0, 0, 1, 0, 0.5f, 1, 0.25f, 0.75f})})})}),
            chunkBytes(0x4000, {textBytes("canopy"),
                chunkBytes(0x4100, {
                    chunkBytes(0x4110, {u16Bytes({3}),
                                        f32Bytes({0.5f, -1.5f, 1, -0.5f, -1.5f, 1, 0, -0.5f, 1.75f})}),
                    chunkBytes(0x4120, {u16Bytes({1, 2, 1, 0, 0}),
                                        chunkBytes(0x4130, {textBytes("glass"), u16Bytes({1, 0})})})})})})});
}

Model3ds handMadeShipModel() {
    Model3ds m;
    m.materials = {{"glass", 0x28323C, ""}, {"hull", 0xC86432, "hull.bmp"}};
    m.meshes = {{"body",
                 {"hull"},
                 {Vec3(2, 0.5f, -1), Vec3(-2, 0.5f, -1), Vec3(0, 1.5f, 3), Vec3(0.25f, -0.5f, 2)},
                 {0, 0, 1, 0, 0.5f, 1, 0.25f, 0.75f},
                 {0, 1, 2, 1, 0, 3}},
                {"canopy",
                 {"glass"},
                 {Vec3(0.5f, 1, 1.5f), Vec3(-0.5f, 1, 1.5f), Vec3(0, 1.75f, 0.5f)},
                 {},
                 {2, 1, 0}}};
    return m;
}
