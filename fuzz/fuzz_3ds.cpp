// fuzz_3ds.cpp: libFuzzer target for the 3DS reader. The input is the file's
// bytes, handed over through fmemopen; the data that comes out must satisfy
// what drawing and the normals rely on.
#include <cstdint>
#include <cstdio>

#include "assets/h3dsloader.h"
#include "invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;  // fmemopen refuses an empty buffer
    FILE* stream = fmemopen(const_cast<uint8_t*>(bytes), size, "rb");
    if (!stream) return 0;
    HModelData data;
    H3DSLoader loader;
    loader.load(data, stream, "fuzz.3ds");
    fclose(stream);
    checkModelData(data);
    return 0;
}
