// fuzz_replay.cpp: libFuzzer target for the replay reader. The input is the
// file's bytes, handed over through fmemopen. A file read as good must come
// back byte for byte when written again (a replay has exactly one file), and
// its streams must hand back as many ticks as they say; any other file must
// say why it is refused.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/greplay.h"

namespace {

// Walking a stream costs a step a tick, and a few bytes can hold 2^27 of
// them: only short streams are walked.
void checkCursor(const GFlagStream& stream) {
    if (stream.ticks > (1u << 16)) return;
    GFlagCursor cursor(&stream);
    uint32_t handed = 0;
    while (!cursor.atEnd() && handed <= stream.ticks) {
        if ((cursor.next() & ~vkr::FLAG_MASK) != 0) abort();
        handed++;
    }
    if (handed != stream.ticks || cursor.next() != 0) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;  // fmemopen refuses an empty buffer
    FILE* in = fmemopen(const_cast<uint8_t*>(bytes), size, "rb");
    if (!in) return 0;
    GReplay replay;
    std::string why;
    const GReplayRead result = readReplay(in, replay, why);
    fclose(in);
    if (result != GReplayRead::OK) {
        if (why.empty()) abort();
        return 0;
    }
    if (!why.empty()) abort();
    checkCursor(replay.left);
    checkCursor(replay.right);

    char* written = nullptr;
    size_t writtenSize = 0;
    FILE* out = open_memstream(&written, &writtenSize);
    if (!out) return 0;
    const bool ok = writeReplay(out, replay);
    fclose(out);
    if (!ok || writtenSize != size || memcmp(written, bytes, size) != 0) abort();
    free(written);
    return 0;
}
