// fuzz_replay.cpp: libFuzzer target for the replay reader. The input is the
// file's bytes, handed over through fmemopen, read once as it is and once
// with its last four bytes set to the CRC of the rest: a change that misses
// the CRC almost never reads as good, so without the second reading the
// checks behind the CRC would hardly be reached. A file read as good must
// come back byte for byte when written again (a replay has exactly one
// file), and its streams must hand back as many ticks as they say; any
// other file must say why it is refused.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/greplay.h"

namespace {

// Walking a stream costs a step a tick, and a few bytes can hold MAX_TICKS
// of them: only short streams are walked, to keep the runs many.
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

void check(const uint8_t* bytes, size_t size) {
    if (size == 0) return;  // fmemopen refuses an empty buffer
    FILE* in = fmemopen(const_cast<uint8_t*>(bytes), size, "rb");
    if (!in) return;
    GReplay replay;
    std::string why;
    const GReplayRead result = readReplay(in, replay, why);
    fclose(in);
    if (result != GReplayRead::OK) {
        if (why.empty()) abort();
        return;
    }
    if (!why.empty()) abort();
    checkCursor(replay.left);
    checkCursor(replay.right);

    char* written = nullptr;
    size_t writtenSize = 0;
    FILE* out = open_memstream(&written, &writtenSize);
    if (!out) return;
    const bool ok = writeReplay(out, replay);
    fclose(out);
    if (!ok || writtenSize != size || memcmp(written, bytes, size) != 0) abort();
    free(written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    check(bytes, size);
    if (size > 4) {
        std::vector<uint8_t> mended(bytes, bytes + size);
        const uint32_t crc = replayCrc32(mended.data(), size - 4);
        for (int i = 0; i < 4; i++) mended[size - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
        check(mended.data(), size);
    }
    return 0;
}
