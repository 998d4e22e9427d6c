// h3dswriter.h: builds a 3DS file in memory, chunk by chunk, and writes it.
//
// Input: the caller's materials and meshes in file coordinates (z up, as a
// 3DS file has them), or in model coordinates (y up) through the *FromModel
// helpers. Output: bytes that H3DSLoader reads back.
//
// Chunks nest through begin()/end(): end() patches the length of the chunk
// it closes, so callers never count bytes. Raw helpers write any id, payload
// or even a lying header, for tests of damaged files.
//
// A sound file, as the game's artwork baker writes it:
//
//     H3DSWriter w;
//     w.begin(h3ds::CHUNK_MAIN);
//     w.version(3);
//     w.begin(h3ds::CHUNK_EDITOR);
//     w.meshVersion(3);
//     w.material("hull", 200, 200, 210, "hull.bmp");
//     w.beginObject("ship");
//     w.begin(h3ds::CHUNK_TRIANGLE_MESH);
//     w.vertexListFromModel(points, n);
//     w.faceList(faces, m, "hull");
//     w.texCoordList(uv, n);
//     w.end(); w.end();    // triangle mesh, object
//     w.end(); w.end();    // editor, main
//     w.writeFile("ship.3ds");
//
// Failures (a list over 65,535 entries, end() without begin(), a file that
// cannot be written) print a message on standard error, mark the writer
// failed and return false; a failed writer writes no file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "assets/h3dsformat.h"
#include "assets/hbytes.h"
#include "assets/vec3.h"

class H3DSWriter : public HByteWriter {
public:
    H3DSWriter();

    // --- generic chunks ------------------------------------------------------
    // Opens a chunk; its length is filled in by the matching end().
    void begin(uint16_t id);
    // Closes the innermost open chunk. False when none is open.
    bool end();
    // Closes every open chunk.
    void endAll();
    // A whole chunk with the given payload and a correct length.
    void chunk(uint16_t id, const void* payload, size_t size);
    // A bare header with whatever length the caller says: for damaged files.
    void rawHeader(uint16_t id, uint32_t length);
    // Payload inside the open chunk: bytes(), u8(), u16(), u32(), f32() of
    // HByteWriter. The string and its NUL:
    void string(const char* text);

    // --- the chunks the game's reader uses ---------------------------------------
    void version(uint32_t value);      // 0x0002 version
    void meshVersion(uint32_t value);  // 0x3D3E, the editor's first child
    // A whole 0xAFFF material: name, 24-bit diffuse colour and, when
    // textureFile is neither null nor empty, a texture map with that file.
    void material(const char* name, uint8_t red, uint8_t green, uint8_t blue,
                  const char* textureFile = nullptr);
    // Opens a 0x4000 named object and writes its name; close with end().
    void beginObject(const char* name);
    // 0x4110 from file-coordinate triples (x, y, z; z up).
    bool vertexList(const float* xyz, size_t count);
    // 0x4110 from model coordinates (y up): model (x, y, z) is written as
    // file (x, -z, y), which the reader turns back into (x, y, z).
    bool vertexListFromModel(const Vec3* vertices, size_t count);
    // Opens a 0x4120 face list with its count and faces (flags 0); face
    // material and other children may follow before end().
    bool beginFaceList(const uint16_t (*faces)[3], size_t count);
    // 0x4130 naming a material for the listed face numbers.
    bool faceMaterial(const char* materialName, const uint16_t* faceNumbers, size_t count);
    // A whole face list; with a material name, one face material chunk that
    // covers every face.
    bool faceList(const uint16_t (*faces)[3], size_t count, const char* materialName = nullptr);
    // 0x4140 from (u, v) pairs.
    bool texCoordList(const float* uv, size_t count);

    // --- output -------------------------------------------------------------------------
    // data(): the bytes so far. Open chunks still have a zero length.
    // Closes what is open, then writes the bytes. False after a message.
    bool writeFile(const char* path);
    bool writeTo(FILE* stream);
    // False once any call has failed.
    bool ok() const { return good; }

private:
    bool checkCount(const char* what, size_t count);
    void fail();

    // Offsets of the headers of the open chunks, innermost last.
    std::vector<size_t> open;
    bool good;
};
