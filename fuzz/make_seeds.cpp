// make_seeds.cpp: writes the starting corpus of the fuzz targets: small 3DS
// models made with H3DSWriter that reach every handler, text models, and
// replays made with writeReplay.
//
// Usage: make_seeds DIR3DS DIRTEXT DIRREPLAY DIRPACKET DIRLOBBY
#include <cstdio>
#include <cstring>
#include <string>

#include "assets/h3dswriter.h"
#include "game/greplay.h"
#include "net/ndiscovery.h"
#include "net/nlobbyprotocol.h"
#include "net/nprotocol.h"

using namespace h3ds;

namespace {

void scene(H3DSWriter& w) {
    w.begin(CHUNK_MAIN);
    w.version(3);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
}

void write(const std::string& dir, const char* name, H3DSWriter& w) {
    w.writeFile((dir + "/" + name).c_str());
}

void writeReplayFile(const std::string& dir, const char* name, const GReplay& replay) {
    FILE* file = fopen((dir + "/" + name).c_str(), "wb");
    if (!file) return;
    writeReplay(file, replay);
    fclose(file);
}

// Replays that reach every kind of field: both ends, healths at their
// bounds, run lengths on each side of a varint byte, and a long match
// shaped like the computer player's (decisions held 6 to 35 ticks).
void writeReplays(const std::string& dir) {
    GReplay left;
    left.leftChoice = vkr::CHOICE_LIMIT - 1;
    left.end = vkr::END_LEFT;
    left.leftHealth = 100;
    left.rightHealth = 1;
    writeReplayFile(dir, "left.vkr", left);

    GReplay bounds;
    bounds.leftChoice = 1;
    bounds.seed = 0xFFFFFFFFu;
    const uint32_t lengths[] = {1, 127, 128, 16383, 16384, 2};
    uint8_t flags = 0;
    for (const uint32_t length : lengths) {
        for (uint32_t t = 0; t < length; t++) bounds.left.append(flags);
        flags = static_cast<uint8_t>((flags + 7) & vkr::FLAG_MASK);
    }
    bounds.right.append(vkr::FLAG_FIRE);
    bounds.endMs = bounds.left.ticks * vkr::TICK_MS;
    bounds.leftHealth = vkr::MIN_HEALTH;
    bounds.rightHealth = 0;
    bounds.hash = 0x8000000000000001ull;
    writeReplayFile(dir, "bounds.vkr", bounds);

    GReplay match;
    match.leftChoice = 2;
    match.rightChoice = 2;
    match.seed = 12345;
    uint32_t state = match.seed;
    const auto next = [&state](uint32_t range) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % range;
    };
    for (GFlagStream* stream : {&match.left, &match.right}) {
        while (stream->ticks < 2640) {
            const uint8_t decision = static_cast<uint8_t>(vkr::FLAG_FIRE | (1 << next(4)));
            for (uint32_t t = next(30) + 6; t > 0; t--) stream->append(decision);
        }
    }
    match.endMs = (match.left.ticks > match.right.ticks ? match.left.ticks : match.right.ticks) * vkr::TICK_MS;
    match.leftHealth = 35;
    match.rightHealth = -5;
    match.hash = 0x0123456789ABCDEFull;
    writeReplayFile(dir, "match.vkr", match);
}

void writeText(const std::string& dir, const char* name, const char* text) {
    FILE* file = fopen((dir + "/" + name).c_str(), "w");
    if (!file) return;
    fputs(text, file);
    fclose(file);
}

// fuzz_packet's inputs: runs of length-prefixed packets, a discovery request
// and answer, one message of each kind and a short match's worth of INPUTs
// as a game in step would send them.
void writePackets(const std::string& dir) {
    std::string all;
    auto add = [&all](const NMessage& m) {
        uint8_t bytes[vkn::MAX_MESSAGE];
        const size_t size = encodeMessage(m, bytes);
        all += static_cast<char>(size);
        all.append(reinterpret_cast<const char*>(bytes), size);
    };
    for (uint8_t kind : {vkd::REQUEST, vkd::ANSWER}) {
        NDiscoveryMessage d;
        d.kind = kind;
        d.stamp = 12345;
        strncpy(d.gameVersion, gameVersion(), vkn::MAX_VERSION_TEXT);
        uint8_t bytes[vkd::MAX_DATAGRAM];
        const size_t size = encodeDiscovery(d, bytes);
        all += static_cast<char>(size);
        all.append(reinterpret_cast<const char*>(bytes), size);
    }
    add(greeting(vkn::Kind::HELLO));
    add(greeting(vkn::Kind::REFUSE));
    NMessage m;
    m.kind = vkn::Kind::START;
    m.delay = 1;
    m.seed = 77;
    add(m);
    m = NMessage();
    m.kind = vkn::Kind::MENU;
    m.choice = 4;
    m.ready = true;
    add(m);
    for (uint32_t tick = 4; tick < 40; tick++) {
        m = NMessage();
        m.kind = vkn::Kind::INPUT;
        m.firstTick = tick;
        m.count = 1;
        m.flags[0] = static_cast<uint8_t>(tick & 0x3F);
        m.ack = tick - 3;
        m.checkTick = (tick / 8) * 8;
        m.checkHash = 0x1234567890ABCDEFull * tick;
        add(m);
    }
    const auto keep = [&dir, &all](const char* name) {
        FILE* file = fopen((dir + "/" + name).c_str(), "wb");
        if (!file) return;
        fwrite(all.data(), 1, all.size(), file);
        fclose(file);
    };
    keep("match.bin");

    // A spectator's: asked and welcomed, told how the game stands, fed
    // flags that grow and repeat, acknowledging as it goes, and the end.
    all.clear();
    m = NMessage();
    m.kind = vkn::Kind::ASK;
    m.role = vkn::Role::SPECTATOR;
    add(m);
    m = greeting(vkn::Kind::WELCOME);
    m.role = vkn::Role::SPECTATOR;
    add(m);
    m = NMessage();
    m.kind = vkn::Kind::STATUS;
    m.stage = vkn::Stage::MATCH;
    m.watchers = 3;
    add(m);
    for (uint32_t first = 1; first < 200; first += 30) {
        m = NMessage();
        m.kind = vkn::Kind::FLAGS;
        m.firstTick = first;
        m.count = 40;
        m.newest = first + 39;
        for (int32_t i = 0; i < 80; i++) m.flags[i] = static_cast<uint8_t>((first + i / 2) & 0x3F);
        add(m);
        m = NMessage();
        m.kind = vkn::Kind::ACK;
        m.ack = first + 39;
        add(m);
    }
    m = NMessage();
    m.kind = vkn::Kind::END;
    m.end = vkn::End::LEFT;
    m.endMs = 4000;
    add(m);
    keep("watch.bin");
}

// fuzz_lobby's input: a host's HELLO, OPEN and refresh, a joiner listing,
// joining and both sides signalling, a wrong code, the host closing, with
// the control bytes fuzz_lobby.cpp describes (0x40: the sender's cookie,
// 0x80: the last code opened; the low bits: the sender, then the time step).
void writeLobby(const std::string& dir) {
    std::string all;
    auto add = [&all](uint8_t control, NLobbyMessage m) {
        uint8_t bytes[vkl::MAX_DATAGRAM];
        const size_t size = encodeLobby(m, bytes);
        all += static_cast<char>(control);
        all += static_cast<char>(size >> 8);
        all += static_cast<char>(size);
        all.append(reinterpret_cast<const char*>(bytes), size);
    };
    const uint8_t HOST = 0, JOINER = 2, ONE_MS = 1 << 2;
    NLobbyMessage m;
    add(HOST, m);
    m.type = vkl::Type::OPEN;
    m.addressCount = 2;
    m.addresses[0] = {0xC0A80101, 27183};
    m.addresses[1] = {0x0A000002, 27183};
    add(0x40 | HOST | ONE_MS, m);
    m.stage = vkn::Stage::MENU;
    add(0xC0 | HOST | ONE_MS, m);
    m = NLobbyMessage();
    m.type = vkl::Type::LIST;
    add(0x40 | JOINER | ONE_MS, m);
    m.type = vkl::Type::JOIN;
    m.nonce = 0x0102030405060708ull;
    m.addressCount = 1;
    m.addresses[0] = {0xC0A80202, 27183};
    add(0xC0 | JOINER | ONE_MS, m);
    m = NLobbyMessage();
    m.type = vkl::Type::SIGNAL;
    m.nonce = 0x0102030405060708ull;
    m.blobSize = vkl::MAX_BLOB;
    memset(m.blob, 'c', m.blobSize);
    add(0xC0 | JOINER | ONE_MS, m);
    add(0xC0 | HOST | ONE_MS, m);
    m = NLobbyMessage();
    m.type = vkl::Type::JOIN;
    strcpy(m.code, "KQ7MXP");
    add(0x40 | JOINER | ONE_MS, m);
    m.type = vkl::Type::CLOSE;
    add(0xC0 | HOST | ONE_MS, m);
    FILE* file = fopen((dir + "/session.bin").c_str(), "wb");
    if (!file) return;
    fwrite(all.data(), 1, all.size(), file);
    fclose(file);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 6) {
        fprintf(stderr, "usage: make_seeds DIR3DS DIRTEXT DIRREPLAY DIRPACKET DIRLOBBY\n");
        return 2;
    }
    writeReplays(argv[3]);
    writePackets(argv[4]);
    writeLobby(argv[5]);
    const std::string dir3ds = argv[1];
    const std::string dirText = argv[2];

    const float xyz[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1};
    const float uv[] = {0, 0, 1, 0, 0, 1, 1, 1};
    const uint16_t faces[][3] = {{0, 1, 2}, {1, 3, 2}};
    {
        H3DSWriter w;
        scene(w);
        w.material("plain", 200, 30, 30);
        w.material("decal", 255, 255, 255, "decal.bmp");
        w.beginObject("hull");
        w.begin(CHUNK_TRIANGLE_MESH);
        w.vertexList(xyz, 4);
        w.beginFaceList(faces, 2);
        const uint8_t groups[] = {1, 0, 0, 0, 1, 0, 0, 0};
        w.chunk(CHUNK_SMOOTH_GROUPS, groups, sizeof groups);
        const uint16_t all[] = {0, 1};
        w.faceMaterial("decal", all, 2);
        w.end();
        w.texCoordList(uv, 4);
        w.end();
        w.end();
        write(dir3ds, "textured.3ds", w);
    }
    {
        H3DSWriter w;
        scene(w);
        w.begin(CHUNK_MATERIAL);
        w.begin(CHUNK_MATERIAL_NAME);
        w.string("gamma");
        w.end();
        w.begin(CHUNK_DIFFUSE);
        const float rgb[] = {0.5f, 0.25f, 1.0f};
        w.chunk(CHUNK_COLOUR_FLOAT, rgb, sizeof rgb);
        const uint8_t rgb24[] = {1, 2, 3};
        w.chunk(CHUNK_COLOUR_24_GAMMA, rgb24, 3);
        w.end();
        w.begin(0xA204);
        w.begin(CHUNK_MAP_FILE);
        w.string("shine.bmp");
        w.end();
        w.end();
        w.end();
        w.beginObject("lamp");
        const uint8_t light[12] = {};
        w.chunk(CHUNK_LIGHT, light, sizeof light);
        w.end();
        w.beginObject("two");
        w.begin(CHUNK_TRIANGLE_MESH);
        w.faceList(faces, 2, "gamma");
        w.vertexList(xyz, 4);
        w.end();
        w.end();
        w.end();
        const uint8_t keys[16] = {};
        w.chunk(CHUNK_KEYFRAMER, keys, sizeof keys);
        write(dir3ds, "mixed.3ds", w);
    }
    {
        H3DSWriter w;
        w.begin(CHUNK_MAIN);
        write(dir3ds, "empty.3ds", w);
    }

    writeText(dirText, "lives.txt", "255 0 0\n0 0 0\n1 0 0\n0 1 0\n");
    writeText(dirText, "odd.txt", "300 -1 0 1.5e3 -2 .5 nan inf 0 3 4 5 trailing");
    writeText(dirText, "short.txt", "12 34");
    return 0;
}
