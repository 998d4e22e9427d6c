// fuzz_textmodel.cpp: libFuzzer target for the one-triangle text model.
#include <cstdint>
#include <cstdio>

#include "assets/hmodel.h"
#include "invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    FILE* stream = fmemopen(const_cast<uint8_t*>(bytes), size, "r");
    if (!stream) return 0;
    HModel model;
    const bool read = model.loadText(stream);
    fclose(stream);
    if (!read) abort();  // an open stream always gives a triangle
    if (model.data.meshCount != 1 || model.data.meshes[0].faceCount != 1) abort();
    checkModelData(model.data);
    return 0;
}
