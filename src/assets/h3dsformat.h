// h3dsformat.h: the 3DS file format as far as the game reads and writes it:
// chunk ids, record sizes and limits, shared by H3DSLoader and H3DSWriter.
//
// A 3DS file is one chunk. A chunk is a 6-byte header (2-byte id, 4-byte
// length) and a payload; the length counts the whole chunk, header and
// nested chunks included. All numbers are little-endian. Files have z up;
// the game's models have y up (the reader stores file (x, y, z) as
// (x, z, -y)).
#pragma once

#include <cstdint>

namespace h3ds {

// --- chunk ids ----------------------------------------------------------------
constexpr uint16_t CHUNK_MAIN = 0x4D4D;            // the whole file
constexpr uint16_t CHUNK_VERSION = 0x0002;         // uint32 file version
constexpr uint16_t CHUNK_EDITOR = 0x3D3D;          // scene: materials, objects
constexpr uint16_t CHUNK_MESH_VERSION = 0x3D3E;    // uint32; first child of the editor
constexpr uint16_t CHUNK_MATERIAL = 0xAFFF;        // children only
constexpr uint16_t CHUNK_MATERIAL_NAME = 0xA000;   // NUL-terminated name
constexpr uint16_t CHUNK_DIFFUSE = 0xA020;         // colour sub-chunks
constexpr uint16_t CHUNK_TEXTURE_MAP = 0xA200;     // children only
constexpr uint16_t CHUNK_MAP_FILE = 0xA300;        // NUL-terminated file name
constexpr uint16_t CHUNK_NAMED_OBJECT = 0x4000;    // NUL-terminated name, children
constexpr uint16_t CHUNK_TRIANGLE_MESH = 0x4100;   // children only
constexpr uint16_t CHUNK_VERTEX_LIST = 0x4110;     // uint16 n, n * 3 floats
constexpr uint16_t CHUNK_FACE_LIST = 0x4120;       // uint16 n, n * 4 uint16, children
constexpr uint16_t CHUNK_FACE_MATERIAL = 0x4130;   // name, uint16 n, n * uint16
constexpr uint16_t CHUNK_TEX_COORDS = 0x4140;      // uint16 n, n * 2 floats
constexpr uint16_t CHUNK_SMOOTH_GROUPS = 0x4150;   // skipped by the reader
constexpr uint16_t CHUNK_COLOUR_FLOAT = 0x0010;    // 3 floats, 0 to 1
constexpr uint16_t CHUNK_COLOUR_24 = 0x0011;       // 3 bytes r, g, b
constexpr uint16_t CHUNK_COLOUR_24_GAMMA = 0x0012; // 3 bytes, gamma corrected
constexpr uint16_t CHUNK_COLOUR_FLOAT_GAMMA = 0x0013;  // 3 floats, gamma corrected
constexpr uint16_t CHUNK_LIGHT = 0x4600;           // object kinds the reader
constexpr uint16_t CHUNK_CAMERA = 0x4700;          // skips inside a named object
constexpr uint16_t CHUNK_KEYFRAMER = 0xB000;       // animation, skipped

// --- sizes, in bytes ------------------------------------------------------------
constexpr uint32_t HEADER_SIZE = 6;         // id + length
constexpr uint32_t COUNT_SIZE = 2;          // the uint16 count of every list
constexpr uint32_t VERTEX_SIZE = 12;        // x, y, z floats
constexpr uint32_t FACE_SIZE = 8;           // a, b, c, flags uint16
constexpr uint32_t TEX_COORD_SIZE = 8;      // u, v floats
constexpr uint32_t VERSION_SIZE = 4;        // uint32
constexpr uint32_t COLOUR_24_SIZE = 3;      // r, g, b bytes
constexpr uint32_t COLOUR_FLOAT_SIZE = 12;  // r, g, b floats

// --- limits ----------------------------------------------------------------------
// Entries in one vertex, face or texture coordinate list: the count is 16-bit.
constexpr uint32_t MAX_LIST_COUNT = 65535;
// Highest version read without a warning.
constexpr uint32_t MAX_QUIET_VERSION = 3;
// Levels of chunks the reader descends into (main, editor, object, triangle
// mesh ... in a sound file at most 5); deeper nesting only comes from a
// damaged or hostile file and would otherwise exhaust the stack.
constexpr int MAX_NESTING = 32;

}  // namespace h3ds
