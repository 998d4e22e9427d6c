// h3dsloader.cpp: 3DS chunks to HModelData, read front to back in one pass.
//
// Byte accounting. Every chunk record counts the bytes consumed from it in
// bytesRead, its header included; a level runs until its parent's bytesRead
// reaches the parent's length, adding each child's total when the child's
// handler returns. Handlers never read past their own chunk: every read is
// bounded by length - bytesRead, so bytesRead never exceeds length and the
// totals stay exact even when a file lies.
//
// The face list quirk, kept on purpose: its handler consumes only the count
// and the faces, so the chunks nested inside the face list (the face
// material above all) are met by the object level as if they were siblings
// of the face list. Each byte is still counted once, by whoever reads it.
//
// A chunk that breaks the nesting (length below its header, running past its
// parent, nested too deep) or a file that ends early stops the whole read:
// the `stopped` flag unwinds every level and whatever was read stays.
#include "assets/h3dsloader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "assets/h3dsformat.h"
#include "assets/hbytes.h"

namespace {

uint32_t remaining(const H3DSChunk& chunk) { return chunk.length - chunk.bytesRead; }

// A float colour component (nominally 0 to 1) as a byte; NaN gives 0.
uint8_t colourByte(float component) {
    if (!(component > 0.0f)) return 0;
    if (component >= 1.0f) return 255;
    return static_cast<uint8_t>(std::lround(component * 255.0f));
}

// Drops the faces that name a vertex the mesh does not have, keeping the
// order of the others: drawing and normals index the vertex arrays by them.
void dropBadFaces(HMesh& mesh) {
    int32_t kept = 0;
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
        const HFace& face = mesh.faces[f];
        bool inside = true;
        for (int32_t corner = 0; corner < 3; ++corner) {
            if (face.index[corner] < 0 || face.index[corner] >= mesh.vertexCount) inside = false;
        }
        if (inside) mesh.faces[kept++] = face;
    }
    if (kept != mesh.faceCount) {
        fprintf(stderr, "Mesh %s: %d faces name vertices it does not have; dropped\n", mesh.name,
                static_cast<int>(mesh.faceCount - kept));
        mesh.faceCount = kept;
        if (kept == 0) {
            free(mesh.faces);
            mesh.faces = nullptr;
        }
    }
}

}  // namespace

H3DSLoader::H3DSLoader()
    : file(nullptr), ownsFile(false), current(nullptr), data(nullptr), name(""), position(0),
      stopped(false) {}

H3DSLoader::~H3DSLoader() { close(); }

void H3DSLoader::close() {
    if (file && ownsFile) fclose(file);
    file = nullptr;
    ownsFile = false;
    current = nullptr;
    data = nullptr;
}

bool H3DSLoader::load(HModelData& target, const char* path) {
    FILE* stream = fopen(path, "rb");
    if (!stream) {
        fprintf(stderr, "Unable to find the file: %s!\n", path);
        return false;
    }
    const bool result = load(target, stream, path);
    fclose(stream);
    return result;
}

bool H3DSLoader::load(HModelData& target, FILE* stream, const char* streamName) {
    file = stream;
    ownsFile = false;
    data = &target;
    name = streamName;
    position = 0;
    stopped = false;

    H3DSChunk mainChunk;
    current = &mainChunk;
    if (!readChunkHeader(mainChunk) || mainChunk.id != h3ds::CHUNK_MAIN) {
        fprintf(stderr, "Unable to load PRIMARY chuck from file: %s!\n", streamName);
        close();
        return false;
    }
    if (mainChunk.length < h3ds::HEADER_SIZE) {
        stop("is shorter than its own header", mainChunk.id);
    } else {
        readMainLevel(mainChunk, 1);
    }
    const bool whole = !stopped;
    close();
    return whole;
}

void H3DSLoader::stop(const char* why, uint16_t id) {
    if (stopped) return;
    stopped = true;
    fprintf(stderr, "Stopped reading %s at byte %llu: chunk 0x%04X %s\n", name,
            static_cast<unsigned long long>(position), static_cast<unsigned>(id), why);
}

bool H3DSLoader::readBytes(void* buffer, uint32_t size) {
    if (size == 0) return true;
    const size_t got = fread(buffer, 1, size, file);
    position += got;
    if (got != size) {
        stop("ends with the file", current ? current->id : 0);
        return false;
    }
    return true;
}

bool H3DSLoader::readChunkHeader(H3DSChunk& chunk) {
    uint8_t header[h3ds::HEADER_SIZE];
    chunk.id = 0;
    chunk.length = 0;
    chunk.bytesRead = 0;
    const size_t got = fread(header, 1, sizeof header, file);
    position += got;
    chunk.bytesRead = static_cast<uint32_t>(got);
    if (got != sizeof header) return false;
    HByteReader fields(header, sizeof header);
    chunk.id = fields.u16();
    chunk.length = fields.u32();
    return true;
}

bool H3DSLoader::readChild(H3DSChunk& parent, H3DSChunk& child, int depth) {
    if (remaining(parent) < h3ds::HEADER_SIZE) {
        stop("has bytes left over that cannot hold a chunk", parent.id);
        return false;
    }
    if (!readChunkHeader(child)) {
        stop("ends with the file", parent.id);
        return false;
    }
    if (child.length < h3ds::HEADER_SIZE) {
        stop("is shorter than its own header", child.id);
        return false;
    }
    if (child.length > remaining(parent)) {
        stop("runs past its parent", child.id);
        return false;
    }
    if (depth > h3ds::MAX_NESTING) {
        stop("is nested deeper than the limit of 32 levels", child.id);
        return false;
    }
    return true;
}

uint32_t H3DSLoader::readString(H3DSChunk& chunk, char* buffer, uint32_t size) {
    uint32_t consumed = 0;
    uint32_t stored = 0;
    const uint32_t limit = remaining(chunk);
    while (consumed < limit) {
        const int c = fgetc(file);
        if (c == EOF) {
            stop("ends with the file", chunk.id);
            break;
        }
        ++position;
        ++consumed;
        if (c == 0) break;
        if (stored + 1 < size) buffer[stored++] = static_cast<char>(c);
    }
    buffer[stored] = '\0';
    chunk.bytesRead += consumed;
    return consumed;
}

void H3DSLoader::skipChunk(H3DSChunk& chunk) {
    // Read rather than seek: a short file is then noticed here, whatever the
    // stream, instead of at some later read.
    uint8_t scratch[4096];
    while (!stopped && remaining(chunk) > 0) {
        const uint32_t step = remaining(chunk) < sizeof scratch ? remaining(chunk) : sizeof scratch;
        if (!readBytes(scratch, step)) return;
        chunk.bytesRead += step;
    }
}

void H3DSLoader::readVersion(H3DSChunk& chunk) {
    if (remaining(chunk) >= h3ds::VERSION_SIZE) {
        uint8_t bytes[h3ds::VERSION_SIZE];
        if (!readBytes(bytes, sizeof bytes)) return;
        chunk.bytesRead += sizeof bytes;
        const uint32_t version = HByteReader(bytes, sizeof bytes).u32();
        if (version > h3ds::MAX_QUIET_VERSION)
            fprintf(stderr, "This 3DS file is over version 3 so it may load incorrectly");
    }
    // A short payload carries no version to check; a long one its padding.
    skipChunk(chunk);
}

void H3DSLoader::readMainLevel(H3DSChunk& parent, int depth) {
    H3DSChunk child;
    H3DSChunk* const saved = current;
    while (!stopped && parent.bytesRead < parent.length) {
        if (!readChild(parent, child, depth)) break;
        current = &child;
        switch (child.id) {
        case h3ds::CHUNK_VERSION:
            readVersion(child);
            break;
        case h3ds::CHUNK_EDITOR:
            // Its first child is the mesh version in most files, and that
            // falls to the default below like any chunk this level does not
            // know. Some exporters put a material first instead: it is read
            // like every other material.
            readMainLevel(child, depth + 1);
            break;
        case h3ds::CHUNK_NAMED_OBJECT: {
            data->meshes.push_back(HMesh());
            ++data->meshCount;
            HMesh& mesh = data->meshes.back();
            readString(child, mesh.name, sizeof mesh.name);
            readObjectLevel(child, depth + 1, mesh);
            // Faces are checked once the whole object is in: its vertex list
            // may come after its face list.
            dropBadFaces(data->meshes.back());
            break;
        }
        case h3ds::CHUNK_MATERIAL: {
            // No texture until the model loads one: a zero here would name
            // slot 0 of the texture store to whoever releases the material.
            HMaterial material;
            material.texture = -1;
            data->materials.push_back(material);
            ++data->materialCount;
            readMaterialLevel(child, depth + 1);
            break;
        }
        default:
            skipChunk(child);
            break;
        }
        parent.bytesRead += child.bytesRead;
    }
    current = saved;
}

void H3DSLoader::readObjectLevel(H3DSChunk& parent, int depth, HMesh& mesh) {
    H3DSChunk child;
    H3DSChunk* const saved = current;
    while (!stopped && parent.bytesRead < parent.length) {
        if (!readChild(parent, child, depth)) break;
        current = &child;
        switch (child.id) {
        case h3ds::CHUNK_TRIANGLE_MESH:
            readObjectLevel(child, depth + 1, mesh);
            break;
        case h3ds::CHUNK_VERTEX_LIST:
            readVertices(child, mesh);
            break;
        case h3ds::CHUNK_FACE_LIST:
            readFaces(child, mesh);
            break;
        case h3ds::CHUNK_FACE_MATERIAL:
            readFaceMaterial(child, mesh);
            break;
        case h3ds::CHUNK_TEX_COORDS:
            readTexCoords(child, mesh);
            break;
        default:
            skipChunk(child);
            break;
        }
        parent.bytesRead += child.bytesRead;
    }
    current = saved;
}

void H3DSLoader::readMaterialLevel(H3DSChunk& parent, int depth) {
    H3DSChunk child;
    H3DSChunk* const saved = current;
    while (!stopped && parent.bytesRead < parent.length) {
        if (!readChild(parent, child, depth)) break;
        current = &child;
        HMaterial& material = data->materials.back();
        switch (child.id) {
        case h3ds::CHUNK_MATERIAL_NAME:
            readString(child, material.name, sizeof material.name);
            skipChunk(child);
            break;
        case h3ds::CHUNK_MAP_FILE:
            readString(child, material.textureFile, sizeof material.textureFile);
            skipChunk(child);
            break;
        case h3ds::CHUNK_TEXTURE_MAP:
            readMaterialLevel(child, depth + 1);
            break;
        case h3ds::CHUNK_DIFFUSE:
            readColour(child);
            break;
        default:
            skipChunk(child);
            break;
        }
        parent.bytesRead += child.bytesRead;
    }
    current = saved;
}

void H3DSLoader::readColour(H3DSChunk& chunk) {
    // Only the first colour sub-chunk is read here; any further ones (the
    // gamma-corrected copy) are met by the material level and skipped.
    if (remaining(chunk) == 0) return;
    if (!readChild(chunk, temp, 0)) return;
    current = &temp;
    HMaterial& material = data->materials.back();
    const bool floats = temp.id == h3ds::CHUNK_COLOUR_FLOAT || temp.id == h3ds::CHUNK_COLOUR_FLOAT_GAMMA;
    if (floats && remaining(temp) >= h3ds::COLOUR_FLOAT_SIZE) {
        uint8_t bytes[h3ds::COLOUR_FLOAT_SIZE];
        if (readBytes(bytes, sizeof bytes)) {
            temp.bytesRead += sizeof bytes;
            HByteReader floatBytes(bytes, sizeof bytes);
            for (int i = 0; i < 3; ++i) material.colour[i] = colourByte(floatBytes.f32());
        }
    } else {
        // 24-bit colour whatever the id; a shorter payload fills what it has.
        const uint32_t size = remaining(temp) < h3ds::COLOUR_24_SIZE ? remaining(temp) : h3ds::COLOUR_24_SIZE;
        uint8_t bytes[h3ds::COLOUR_24_SIZE] = {0, 0, 0};
        if (readBytes(bytes, size)) {
            temp.bytesRead += size;
            memcpy(material.colour, bytes, size);
        }
    }
    skipChunk(temp);
    current = &chunk;
    chunk.bytesRead += temp.bytesRead;
}

bool H3DSLoader::readListCount(H3DSChunk& chunk, uint32_t itemSize, uint32_t* count) {
    uint8_t countBytes[h3ds::COUNT_SIZE];
    if (remaining(chunk) < h3ds::COUNT_SIZE) {
        skipChunk(chunk);
        return false;
    }
    if (!readBytes(countBytes, sizeof countBytes)) return false;
    chunk.bytesRead += sizeof countBytes;
    *count = HByteReader(countBytes, sizeof countBytes).u16();
    if (*count > remaining(chunk) / itemSize) *count = remaining(chunk) / itemSize;
    return true;
}

template <typename T, typename Decode>
T* H3DSLoader::readList(H3DSChunk& chunk, uint32_t itemSize, uint32_t count, Decode decode) {
    const uint32_t size = count * itemSize;
    uint8_t* raw = static_cast<uint8_t*>(malloc(size));
    T* items = static_cast<T*>(malloc(count * sizeof(T)));
    if (!raw || !items) {
        free(raw);
        free(items);
        fprintf(stderr, "Out of memory\n");
        skipChunk(chunk);
        return nullptr;
    }
    const bool complete = readBytes(raw, size);
    if (complete) {
        chunk.bytesRead += size;
        HByteReader list(raw, size);
        for (uint32_t i = 0; i < count; ++i) items[i] = decode(list);
    }
    free(raw);
    if (!complete) {
        free(items);
        return nullptr;
    }
    return items;
}

void H3DSLoader::readVertices(H3DSChunk& chunk, HMesh& mesh) {
    uint32_t count = 0;
    if (!readListCount(chunk, h3ds::VERTEX_SIZE, &count)) return;

    // A second vertex list replaces the first.
    free(mesh.vertices);
    mesh.vertices = nullptr;
    mesh.vertexCount = 0;
    if (count > 0) {
        // File z is up; the game's y is up.
        Vec3* vertices = readList<Vec3>(chunk, h3ds::VERTEX_SIZE, count, [](HByteReader& r) {
            const float x = r.f32(), y = r.f32(), z = r.f32();
            return Vec3(x, z, -y);
        });
        if (!vertices) return;
        mesh.vertices = vertices;
        mesh.vertexCount = static_cast<int32_t>(count);
    }
    // Whatever the count did not cover has no meaning: pass over it.
    skipChunk(chunk);
}

void H3DSLoader::readFaces(H3DSChunk& chunk, HMesh& mesh) {
    uint32_t count = 0;
    if (!readListCount(chunk, h3ds::FACE_SIZE, &count)) return;

    free(mesh.faces);
    mesh.faces = nullptr;
    mesh.faceCount = 0;
    if (count == 0) return;
    HFace* faces = readList<HFace>(chunk, h3ds::FACE_SIZE, count, [](HByteReader& r) {
        HFace face;
        for (int32_t corner = 0; corner < 3; ++corner) face.index[corner] = r.u16();
        r.u16();  // the edge flags, not used
        return face;
    });
    if (!faces) return;
    mesh.faces = faces;
    mesh.faceCount = static_cast<int32_t>(count);
    // No skip: the face material and the other children that follow are
    // read by the object level (see the top of this file).
}

void H3DSLoader::readTexCoords(H3DSChunk& chunk, HMesh& mesh) {
    uint32_t count = 0;
    if (!readListCount(chunk, h3ds::TEX_COORD_SIZE, &count)) return;

    free(mesh.texCoords);
    mesh.texCoords = nullptr;
    mesh.texCoordCount = 0;
    if (count > 0) {
        HTexCoord* coords = readList<HTexCoord>(chunk, h3ds::TEX_COORD_SIZE, count, [](HByteReader& r) {
            HTexCoord coord;
            coord.u = r.f32();
            coord.v = r.f32();
            return coord;
        });
        if (!coords) return;
        mesh.texCoords = coords;
        mesh.texCoordCount = static_cast<int32_t>(count);
    }
    skipChunk(chunk);
}

void H3DSLoader::readFaceMaterial(H3DSChunk& chunk, HMesh& mesh) {
    char materialName[HMODEL_NAME_SIZE];
    readString(chunk, materialName, sizeof materialName);
    // Only materials read so far can match: one defined later in the file
    // leaves -1. The last face material chunk of a mesh decides.
    for (int32_t e = 0; e < data->materialCount; ++e) {
        const HMaterial& material = data->materials[e];
        if (strcmp(materialName, material.name) == 0) {
            mesh.materialId = e;
            if (material.textureFile[0] != '\0') mesh.hasTexture = true;
            break;
        }
        mesh.materialId = -1;
    }
    // The face numbers: the whole mesh takes the one material.
    skipChunk(chunk);
}
