// make_seeds.cpp: writes the starting corpus of the fuzz targets: small 3DS
// models made with H3DSWriter that reach every handler, and text models.
//
// Usage: make_seeds DIR3DS DIRTEXT
#include <cstdio>
#include <string>

#include "assets/h3dswriter.h"

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

void writeText(const std::string& dir, const char* name, const char* text) {
    FILE* file = fopen((dir + "/" + name).c_str(), "w");
    if (!file) return;
    fputs(text, file);
    fclose(file);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        fprintf(stderr, "usage: make_seeds DIR3DS DIRTEXT\n");
        return 2;
    }
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
