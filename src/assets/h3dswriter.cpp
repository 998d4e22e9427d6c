// h3dswriter.cpp: 3DS chunks built in memory; lengths patched on end().
#include "assets/h3dswriter.h"

#include <cstring>

H3DSWriter::H3DSWriter() : good(true) {}

void H3DSWriter::fail() { good = false; }

void H3DSWriter::begin(uint16_t id) {
    open.push_back(size());
    u16(id);
    u32(0);
}

bool H3DSWriter::end() {
    if (open.empty()) {
        fprintf(stderr, "H3DSWriter: end() without an open chunk\n");
        fail();
        return false;
    }
    const size_t start = open.back();
    open.pop_back();
    const uint64_t length = size() - start;
    if (length > UINT32_MAX) {
        fprintf(stderr, "H3DSWriter: chunk of %llu bytes is over the 4 GiB limit\n",
                static_cast<unsigned long long>(length));
        fail();
        return false;
    }
    patch(start + 2, length, 4);
    return true;
}

void H3DSWriter::endAll() {
    while (!open.empty()) end();
}

void H3DSWriter::chunk(uint16_t id, const void* payload, size_t size) {
    begin(id);
    bytes(payload, size);
    end();
}

void H3DSWriter::rawHeader(uint16_t id, uint32_t length) {
    u16(id);
    u32(length);
}

void H3DSWriter::string(const char* text) {
    if (text) bytes(text, strlen(text));
    u8(0);
}

void H3DSWriter::version(uint32_t value) {
    begin(h3ds::CHUNK_VERSION);
    u32(value);
    end();
}

void H3DSWriter::meshVersion(uint32_t value) {
    begin(h3ds::CHUNK_MESH_VERSION);
    u32(value);
    end();
}

void H3DSWriter::material(const char* name, uint8_t red, uint8_t green, uint8_t blue,
                          const char* textureFile) {
    begin(h3ds::CHUNK_MATERIAL);
    begin(h3ds::CHUNK_MATERIAL_NAME);
    string(name);
    end();
    begin(h3ds::CHUNK_DIFFUSE);
    begin(h3ds::CHUNK_COLOUR_24);
    u8(red);
    u8(green);
    u8(blue);
    end();
    end();
    if (textureFile && textureFile[0]) {
        begin(h3ds::CHUNK_TEXTURE_MAP);
        begin(h3ds::CHUNK_MAP_FILE);
        string(textureFile);
        end();
        end();
    }
    end();
}

void H3DSWriter::beginObject(const char* name) {
    begin(h3ds::CHUNK_NAMED_OBJECT);
    string(name);
}

bool H3DSWriter::checkCount(const char* what, size_t count) {
    if (count <= h3ds::MAX_LIST_COUNT) return true;
    fprintf(stderr, "H3DSWriter: %s of %zu entries is over the limit of %u\n", what, count,
            static_cast<unsigned>(h3ds::MAX_LIST_COUNT));
    fail();
    return false;
}

bool H3DSWriter::vertexList(const float* xyz, size_t count) {
    if (!checkCount("vertex list", count)) return false;
    begin(h3ds::CHUNK_VERTEX_LIST);
    u16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count * 3; ++i) f32(xyz[i]);
    end();
    return true;
}

bool H3DSWriter::vertexListFromModel(const Vec3* vertices, size_t count) {
    if (!checkCount("vertex list", count)) return false;
    begin(h3ds::CHUNK_VERTEX_LIST);
    u16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        f32(vertices[i].x);
        f32(-vertices[i].z);
        f32(vertices[i].y);
    }
    end();
    return true;
}

bool H3DSWriter::beginFaceList(const uint16_t (*faces)[3], size_t count) {
    if (!checkCount("face list", count)) return false;
    begin(h3ds::CHUNK_FACE_LIST);
    u16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        u16(faces[i][0]);
        u16(faces[i][1]);
        u16(faces[i][2]);
        u16(0);
    }
    return true;
}

bool H3DSWriter::faceMaterial(const char* materialName, const uint16_t* faceNumbers,
                              size_t count) {
    if (!checkCount("face material", count)) return false;
    begin(h3ds::CHUNK_FACE_MATERIAL);
    string(materialName);
    u16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) u16(faceNumbers[i]);
    end();
    return true;
}

bool H3DSWriter::faceList(const uint16_t (*faces)[3], size_t count, const char* materialName) {
    if (!beginFaceList(faces, count)) return false;
    if (materialName) {
        std::vector<uint16_t> all(count);
        for (size_t i = 0; i < count; ++i) all[i] = static_cast<uint16_t>(i);
        faceMaterial(materialName, all.data(), count);
    }
    end();
    return true;
}

bool H3DSWriter::texCoordList(const float* uv, size_t count) {
    if (!checkCount("texture coordinate list", count)) return false;
    begin(h3ds::CHUNK_TEX_COORDS);
    u16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count * 2; ++i) f32(uv[i]);
    end();
    return true;
}

bool H3DSWriter::writeTo(FILE* stream) {
    endAll();
    if (!good) {
        fprintf(stderr, "H3DSWriter: not writing a model that failed to build\n");
        return false;
    }
    if (fwrite(data().data(), 1, size(), stream) != size()) {
        fprintf(stderr, "H3DSWriter: write failed\n");
        return false;
    }
    return true;
}

bool H3DSWriter::writeFile(const char* path) {
    endAll();
    if (!good) {
        fprintf(stderr, "H3DSWriter: not writing %s: the model failed to build\n", path);
        return false;
    }
    FILE* stream = fopen(path, "wb");
    if (!stream) {
        fprintf(stderr, "H3DSWriter: cannot open %s for writing\n", path);
        return false;
    }
    const bool written = fwrite(data().data(), 1, size(), stream) == size();
    const bool closed = fclose(stream) == 0;
    if (!written || !closed) {
        fprintf(stderr, "H3DSWriter: cannot write %s\n", path);
        return false;
    }
    return true;
}
