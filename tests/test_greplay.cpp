// test_greplay.cpp: the replay file, against a file written byte by byte.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/greplay.h"
#include "support/tempdir.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// Left: 130 ticks in two runs (UP|FIRE for 129, nothing for 1), so that its
// counts take two-byte varints; right: 4 ticks in three runs. endMs is
// picked so that bit 7 of the right ticks (0x84) reads on as 388 ticks in
// three runs of flags 1, 2 and 1, whose lengths 24, 2 and 362 (EA 02) add
// up to that, and the CRC two bytes past the end: the one change here that
// only the CRC tells from a cut. CRC from Python's zlib.crc32, not our code.
const Bytes HAND = {
    0x56, 0x4B, 0x52, 0x1A, 0x01, 0x00,              // magic, version 1
    0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // choices 1 and 2
    0x78, 0x56, 0x34, 0x12,                          // seed
    0x82, 0x01, 0x02, 0x11, 0x81, 0x01, 0x00, 0x01,  // left stream (offset 18)
    0x04, 0x03, 0x03, 0x01, 0x18, 0x02, 0x02, 0x01,  // right stream (offset 26)
    0xEA, 0x02, 0x01, 0x00, 0x00,                    // endMs 66282, finished
    0x23, 0x00, 0x00, 0x00, 0xFB, 0xFF, 0xFF, 0xFF,  // healths 35 and -5
    0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01,  // hash
    0xDC, 0x7C, 0x53, 0xC9,                          // CRC
};

// Bit by bit, so that it shares nothing with the reader's table.
void setCrc(Bytes& b) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i + 4 < b.size(); i++)
        for (int k = 0; k < 8; k++) c = ((c ^ (b[i] >> k)) & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    for (int k = 0; k < 4; k++) b[b.size() - 4 + k] = static_cast<uint8_t>(~c >> (8 * k));
}

GReplayRead read(const Bytes& b, GReplay& replay, std::string& why) {
    FILE* in = b.empty() ? fopen("/dev/null", "rb") : fmemopen(const_cast<uint8_t*>(b.data()), b.size(), "rb");
    const GReplayRead result = readReplay(in, replay, why);
    fclose(in);
    return result;
}

Bytes write(const GReplay& replay) {
    char* data = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&data, &size);
    EXPECT_TRUE(writeReplay(out, replay));
    fclose(out);
    Bytes b(data, data + size);
    free(data);
    return b;
}

std::string slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

GReplay twoSides() {
    GReplay r;
    r.leftChoice = 1, r.rightChoice = 2, r.seed = 0xDEADBEEF, r.endMs = 66000;
    for (int t = 0; t < 2000; t++) r.left.append(t % 300 < 150 ? vkr::FLAG_UP : vkr::FLAG_FIRE | vkr::FLAG_LEFT);
    for (int t = 0; t < 7; t++) r.right.append(t < 4 ? vkr::FLAG_DOWN : vkr::FLAG_RIGHT);
    r.leftHealth = 35, r.rightHealth = -5, r.hash = 0x0123456789ABCDEFull;
    return r;
}

}  // namespace

TEST(Replay, HandWrittenFileReadsFieldByFieldAndWritesBackTheSame) {
    Bytes check = HAND;
    setCrc(check);
    ASSERT_EQ(check, HAND);  // the test's own CRC agrees with zlib's
    GReplay r;
    std::string why = "stale";
    ASSERT_EQ(read(HAND, r, why), GReplayRead::OK) << why;
    EXPECT_EQ(why, "");
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.leftChoice, 1);
    EXPECT_EQ(r.rightChoice, 2);
    EXPECT_EQ(r.seed, 0x12345678u);
    ASSERT_EQ(r.left.runs.size(), 2u);
    EXPECT_EQ(r.left.ticks, 130u);
    EXPECT_EQ(r.left.runs[0].flags, vkr::FLAG_UP | vkr::FLAG_FIRE);
    EXPECT_EQ(r.left.runs[0].ticks, 129u);
    EXPECT_EQ(r.left.runs[1].flags, 0);
    ASSERT_EQ(r.right.runs.size(), 3u);
    EXPECT_EQ(r.right.ticks, 4u);
    EXPECT_EQ(r.right.runs[0].flags, vkr::FLAG_UP | vkr::FLAG_DOWN);
    EXPECT_EQ(r.right.runs[1].ticks, 2u);
    EXPECT_EQ(r.right.runs[1].flags, vkr::FLAG_RIGHT | vkr::FLAG_FIRE);
    EXPECT_EQ(r.right.runs[2].flags, vkr::FLAG_DOWN);
    EXPECT_EQ(r.endMs, 66282u);
    EXPECT_EQ(r.end, vkr::END_FINISHED);
    EXPECT_EQ(r.leftHealth, 35);
    EXPECT_EQ(r.rightHealth, -5);
    EXPECT_EQ(r.hash, 0x0123456789ABCDEFull);
    EXPECT_EQ(write(r), HAND);
}

TEST(Replay, RoundTripKeepsTheSidesApart) {
    const GReplay r = twoSides();
    GReplay back;
    std::string why;
    ASSERT_EQ(read(write(r), back, why), GReplayRead::OK) << why;
    for (const auto& [got, want] : {std::pair(&back.left, &r.left), std::pair(&back.right, &r.right)}) {
        EXPECT_EQ(got->ticks, want->ticks);
        ASSERT_EQ(got->runs.size(), want->runs.size());
        for (size_t i = 0; i < got->runs.size(); i++) {
            EXPECT_EQ(got->runs[i].flags, want->runs[i].flags);
            EXPECT_EQ(got->runs[i].ticks, want->runs[i].ticks);
        }
    }
    EXPECT_EQ(back.leftChoice, 1);
    EXPECT_EQ(back.rightChoice, 2);
    EXPECT_EQ(back.seed, 0xDEADBEEFu);
    EXPECT_EQ(back.endMs, 66000u);
    EXPECT_EQ(back.leftHealth, 35);
    EXPECT_EQ(back.rightHealth, -5);
    EXPECT_EQ(back.hash, r.hash);
}

TEST(Replay, CutAnywhereIsTruncatedAndAnyChangedByteIsCaught) {
    for (const Bytes& whole : {HAND, write(twoSides())}) {
        GReplay r;
        std::string why;
        for (size_t n = 0; n < whole.size(); n++) {
            EXPECT_EQ(read(Bytes(whole.begin(), whole.begin() + n), r, why),
                      n < 4 ? GReplayRead::NOT_A_REPLAY : GReplayRead::TRUNCATED) << n << " bytes: " << why;
            // The message names the part the data ran out in.
            const char* part = n < 4    ? nullptr
                               : n < 6  ? "version"
                               : n < 14 ? "choices"
                               : n < 18 ? "seed"
                               : n == 19 ? "left flag stream"
                               : n >= whole.size() - 4 ? "crc"
                                                       : nullptr;
            if (part != nullptr) {
                EXPECT_EQ(why, std::string("truncated in the ") + part) << n << " bytes";
            }
        }
        for (size_t i = 0; i < whole.size(); i++) {
            for (const uint8_t mask : {0xFF, 1, 2, 4, 8, 16, 32, 64, 128}) {
                Bytes b = whole;
                b[i] ^= mask;
                GReplayRead want = i < 4 ? GReplayRead::NOT_A_REPLAY : GReplayRead::DAMAGED;
                if ((i == 4 || i == 5) && (b[4] | b[5] << 8) > vkr::VERSION) want = GReplayRead::NEWER_VERSION;
                EXPECT_EQ(read(b, r, why), want) << "byte " << i << " ^ " << int(mask) << ": " << why;
            }
        }
        Bytes longer = whole;
        longer.push_back(0);
        EXPECT_EQ(read(longer, r, why), GReplayRead::DAMAGED);
        EXPECT_EQ(why, "bytes after the end");
    }
}

TEST(Replay, FieldsOutOfRangeAreNamed) {
    struct Case {
        size_t at, cut;
        Bytes put;
        GReplayRead want;
        const char* why;
    } cases[] = {
        {4, 2, {0x02, 0x00}, GReplayRead::NEWER_VERSION, "version 2 is newer than 1"},
        {4, 2, {0x00, 0x00}, GReplayRead::BAD_FIELD, "version 0 does not exist"},
        {6, 1, {0x10}, GReplayRead::BAD_FIELD, "left choice 16 out of range"},
        {10, 4, {0xFF, 0xFF, 0xFF, 0xFF}, GReplayRead::BAD_FIELD, "right choice -1 out of range"},
        {10, 1, {0x10}, GReplayRead::BAD_FIELD, "right choice 16 out of range"},
        {6, 1, {0x0F}, GReplayRead::OK, ""},
        {18, 2, {0x81, 0xCA, 0x11}, GReplayRead::BAD_FIELD, "left flag stream has 288001 ticks, more than 288000"},
        {18, 2, {0x80, 0xCA, 0x11}, GReplayRead::BAD_FIELD, "left flag stream: runs add up to 130 ticks, not 288000"},
        {18, 2, {0xFF, 0xFF, 0xFF, 0xFF, 0x1F}, GReplayRead::BAD_FIELD, "varint above 2^32 - 1 in the left flag stream"},
        {26, 1, {0x83, 0x00}, GReplayRead::BAD_FIELD, "over-long varint in the right flag stream"},
        {26, 1, {0x02}, GReplayRead::BAD_FIELD, "right flag stream has 3 runs for 2 ticks"},
        {26, 1, {0x05}, GReplayRead::BAD_FIELD, "right flag stream: runs add up to 4 ticks, not 5"},
        {21, 1, {0x31}, GReplayRead::BAD_FIELD, "left flag stream run 0 has flags 0x31, a high bit set"},
        {31, 1, {0x00}, GReplayRead::BAD_FIELD, "right flag stream run 1 has 0 ticks"},
        {30, 1, {0x03}, GReplayRead::BAD_FIELD, "right flag stream run 1 has the flags of the run before it"},
        {34, 4, {0xB1, 0x0C, 0x00, 0x00}, GReplayRead::BAD_FIELD, "left flag stream has 130 ticks, more than 3249 ms allow"},
        {34, 4, {0xB2, 0x0C, 0x00, 0x00}, GReplayRead::OK, ""},
        {34, 4, {0xFF, 0xFF, 0xFF, 0xFF}, GReplayRead::BAD_FIELD, "end at 4294967295 ms, after the last possible 7200000"},
        {34, 4, {0x01, 0xDD, 0x6D, 0x00}, GReplayRead::BAD_FIELD, "end at 7200001 ms, after the last possible 7200000"},
        {34, 4, {0x00, 0xDD, 0x6D, 0x00}, GReplayRead::OK, ""},
        // 47 bytes, nobody steering, left after 38 days: vk-replay played it for two minutes.
        {18, 29, {0, 0, 0, 0, 0x19, 0, 0, 0xC8, 1, 100, 0, 0, 0, 100, 0, 0, 0}, GReplayRead::BAD_FIELD,
         "end at 3355443225 ms, after the last possible 7200000"},
        {38, 1, {0x02}, GReplayRead::BAD_FIELD, "end 2 is neither finished nor left"},
        {39, 1, {0x65}, GReplayRead::BAD_FIELD, "left health 101 out of range"},
        {39, 1, {0x64}, GReplayRead::OK, ""},
        {43, 4, {0xEF, 0xD8, 0xFF, 0xFF}, GReplayRead::BAD_FIELD, "right health -10001 out of range"},
        {43, 4, {0xF0, 0xD8, 0xFF, 0xFF}, GReplayRead::OK, ""},
        {43, 4, {0x01, 0x00, 0x00, 0x00}, GReplayRead::BAD_FIELD, "a finished match with both healths above 0"},
        {38, 1, {0x01}, GReplayRead::BAD_FIELD, "a match left with a health at 0 or below"},
    };
    for (const Case& c : cases) {
        Bytes b = HAND;
        b.erase(b.begin() + c.at, b.begin() + c.at + c.cut);
        b.insert(b.begin() + c.at, c.put.begin(), c.put.end());
        setCrc(b);
        GReplay r;
        std::string why;
        EXPECT_EQ(read(b, r, why), c.want) << c.why;
        EXPECT_EQ(why, c.why);
    }
}

TEST(Replay, SavedByRenameAndFailuresLeaveNothing) {
    ScopedTempDir dir;
    const GReplay r = twoSides();
    const std::string path = dir.path() + "/lastmatch.vkr";
    dir.write("lastmatch.vkr", std::string(5000, 'x'));
    ASSERT_EQ(link(path.c_str(), (dir.path() + "/before").c_str()), 0);
    ASSERT_TRUE(saveReplay(path.c_str(), r));
    const Bytes bytes = write(r);
    EXPECT_EQ(slurp(path), std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(slurp(dir.path() + "/before"), std::string(5000, 'x'));  // a new file, not the old one rewritten
    EXPECT_NE(access((path + ".tmp").c_str(), F_OK), 0);

    mkdir((dir.path() + "/folder.vkr").c_str(), 0755);
    const struct {
        std::string path, reason;
    } failures[] = {
        {dir.path() + "/missing/lastmatch.vkr", "No such file or directory"},
        {dir.path() + "/before/lastmatch.vkr", "Not a directory"},
        {dir.path() + "/folder.vkr", "Is a directory"},  // fails at the rename
    };
    for (const auto& f : failures) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(saveReplay(f.path.c_str(), r));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to write " + f.path + ": " + f.reason + "\n");
        EXPECT_NE(access((f.path + ".tmp").c_str(), F_OK), 0) << f.path;
    }
    GReplay back;
    std::string why;
    EXPECT_EQ(loadReplay(path.c_str(), back, why), GReplayRead::OK) << why;
    EXPECT_EQ(loadReplay(failures[0].path.c_str(), back, why), GReplayRead::NOT_A_REPLAY);
}

TEST(Replay, StreamsJoinEqualTicksAndCursorHandsThemBackInOrder) {
    GFlagStream s;
    const uint8_t ticks[] = {3, 3, 0xE3, 16, 0, 0, 1};  // 0xE3: high bits dropped, so one with 3
    for (const uint8_t t : ticks) s.append(t);
    ASSERT_EQ(s.runs.size(), 4u);
    EXPECT_EQ(s.tickCount(), 7u);
    EXPECT_EQ(s.runs[0].ticks, 3u);
    s.runs.insert(s.runs.begin() + 1, GFlagRun{9, 0});  // never read, but stepped over
    GFlagCursor cursor(&s);
    for (size_t i = 0; i < sizeof ticks; i++) {
        EXPECT_FALSE(cursor.atEnd());
        EXPECT_EQ(cursor.next(), ticks[i] & vkr::FLAG_MASK) << "tick " << i;
    }
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_EQ(cursor.next(), 0);
    EXPECT_EQ(cursor.next(), 0);
    s.clear();
    EXPECT_EQ(s.tickCount(), 0u);
    EXPECT_TRUE(GFlagCursor(&s).atEnd());
}
