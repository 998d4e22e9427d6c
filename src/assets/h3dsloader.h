// h3dsloader.h: reads a 3DS file into an HModelData: materials (name, diffuse
// colour, texture file name) and named triangle meshes (vertices, faces,
// texture coordinates, one material each). Everything else is skipped.
//
// The reader works in three levels: the main level reads the children of the
// main and editor chunks, the object level those of a named object and its
// triangle mesh, the material level those of a material and its texture map.
// Each level handles only its own chunk ids and skips the rest whole.
//
// Damaged files: the reader never reads past the end of a chunk or of the
// file. It stops, keeping what it has read, at the end of the file, at a
// chunk whose length is below its own header, at a chunk that runs past its
// parent, or past MAX_NESTING levels, and says so on standard error. Names
// of 255 bytes or more are cut to 254 characters; lists whose count exceeds
// their payload are cut to what the payload holds; after each named object,
// faces that name a vertex it does not have are dropped.
#pragma once

#include <cstdint>
#include <cstdio>

#include "assets/hmodel.h"

struct H3DSChunk {
    uint16_t id = 0;
    // Whole chunk, header included, as the file says.
    uint32_t length = 0;
    // Bytes of the chunk consumed so far, header included; never above length.
    uint32_t bytesRead = 0;
};

class H3DSLoader {
public:
    H3DSLoader();
    ~H3DSLoader();

    // Opens path in binary mode and appends its materials and meshes to data.
    // False, after a message, when the file cannot be opened ("Unable to find
    // the file: %s!"), does not begin with a main chunk ("Unable to load
    // PRIMARY chuck from file: %s!"), or is damaged (what was read before the
    // damage stays in data). The file is closed on every return.
    bool load(HModelData& data, const char* path);

    // The same from a stream the caller opened and keeps (fmemopen in the
    // fuzz targets); name is only used in messages. Reads from the current
    // position; does not close the stream.
    bool load(HModelData& data, FILE* stream, const char* name);

    // Releases the stream and forgets the target; load() calls it itself.
    void close();

private:
    // A file ends inside a chunk, or a chunk breaks the nesting: stop.
    void stop(const char* why, uint16_t id);
    bool readBytes(void* buffer, uint32_t size);
    bool readChunkHeader(H3DSChunk& chunk);
    // Reads one NUL-terminated string of at most the chunk's remaining bytes
    // into buffer (cut to fit, always terminated); counts what it consumed.
    uint32_t readString(H3DSChunk& chunk, char* buffer, uint32_t size);
    void skipChunk(H3DSChunk& chunk);
    // Reads the children of parent until its length is reached; depth is the
    // number of levels above.
    void readMainLevel(H3DSChunk& parent, int depth);
    void readObjectLevel(H3DSChunk& parent, int depth, HMesh& mesh);
    void readMaterialLevel(H3DSChunk& parent, int depth);
    void readColour(H3DSChunk& chunk);
    // The common front of the vertex, face and texture coordinate lists.
    // readListCount: the 16-bit count, cut to the items the payload holds;
    // false when the handler has nothing more to do (the chunk is too short
    // for a count and was skipped, or the file ended).
    bool readListCount(H3DSChunk& chunk, uint32_t itemSize, uint32_t* count);
    // readList: the count items, each decoded by decode from a reader over
    // the list's count * itemSize bytes, in a malloc'd array the caller owns. Null when out of memory
    // (after the message, the chunk skipped) or when the file ended.
    template <typename T, typename Decode>
    T* readList(H3DSChunk& chunk, uint32_t itemSize, uint32_t count, Decode decode);
    void readVertices(H3DSChunk& chunk, HMesh& mesh);
    void readFaces(H3DSChunk& chunk, HMesh& mesh);
    void readTexCoords(H3DSChunk& chunk, HMesh& mesh);
    void readFaceMaterial(H3DSChunk& chunk, HMesh& mesh);
    void readVersion(H3DSChunk& chunk);
    // Reads a child header for parent and checks that it fits inside it.
    bool readChild(H3DSChunk& parent, H3DSChunk& child, int depth);

    FILE* file;
    bool ownsFile;
    // The chunk being handled by the level that is running.
    H3DSChunk* current;
    // A sub-chunk read in place: the first colour inside a diffuse colour
    // chunk.
    H3DSChunk temp;
    HModelData* data;
    const char* name;
    // Bytes consumed from the stream since load() started: for messages.
    uint64_t position;
    bool stopped;
};
