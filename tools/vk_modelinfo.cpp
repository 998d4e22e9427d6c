// vk_modelinfo.cpp: prints what the game's model readers make of each file.
//
// Usage: vk-modelinfo FILE...
//        vk-modelinfo --check FILE...   (what the game will do with each
//                                        file, and warnings: vk_modelcheck.h)
//        vk-modelinfo --help            (the usage, on standard output)
// Output: one line per file, a JSON object whose keys are the field names:
//   {"file": ..., "materials": [{"name", "colour": [r, g, b], "textureFile"}],
//    "meshes": [{"name", "vertexCount", "faceCount", "texCoordCount",
//                "materialId", "hasTexture"}]}
// Exit code 0 when every file was read whole, 1 otherwise; a file that cannot
// be read still gets its line, and the reader's message goes to standard
// error.
//
// The readers are called directly (H3DSLoader, HModel::loadText) rather than
// HModel::load, which would load the material textures and so need an
// OpenGL context: this tool opens no window.
#include <cstdio>
#include <cstring>
#include <string>

#include "assets/h3dsloader.h"
#include "assets/hmodel.h"
#include "vk_json.h"
#include "vk_modelcheck.h"

namespace {

std::string describe(const char* file, const HModelData& data) {
    std::string out = "{\"file\": " + quote(file) + ", \"materials\": [";
    for (int32_t i = 0; i < data.materialCount; ++i) {
        const HMaterial& m = data.materials[i];
        if (i > 0) out += ", ";
        out += "{\"name\": " + quote(m.name) + ", \"colour\": [" + std::to_string(m.colour[0]) + ", " +
               std::to_string(m.colour[1]) + ", " + std::to_string(m.colour[2]) +
               "], \"textureFile\": " + quote(m.textureFile) + "}";
    }
    out += "], \"meshes\": [";
    for (int32_t i = 0; i < data.meshCount; ++i) {
        const HMesh& m = data.meshes[i];
        if (i > 0) out += ", ";
        out += "{\"name\": " + quote(m.name) + ", \"vertexCount\": " + std::to_string(m.vertexCount) +
               ", \"faceCount\": " + std::to_string(m.faceCount) +
               ", \"texCoordCount\": " + std::to_string(m.texCoordCount) +
               ", \"materialId\": " + std::to_string(m.materialId) +
               ", \"hasTexture\": " + (m.hasTexture ? "true" : "false") + "}";
    }
    return out + "]}";
}

// Reads one file as HModel::load would choose; false when it was not read
// whole.
bool readModel(const char* file, HModel& model) {
    const size_t length = strlen(file);
    const char last = length > 0 ? file[length - 1] : '\0';
    if (last == 's') {
        H3DSLoader loader;
        return loader.load(model.data, file);
    }
    if (last == 't') {
        if (model.loadText(file)) return true;
        // The text reader itself is silent about a missing file.
        fprintf(stderr, "vk-modelinfo: cannot open %s\n", file);
        return false;
    }
    fprintf(stderr, "vk-modelinfo: %s: the game reads only names ending in 's' (3DS) or 't' (text)\n",
            file);
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    static const char* const USAGE = "usage: vk-modelinfo [--check] FILE...\n       vk-modelinfo --help\n";
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        fputs(USAGE, stdout);
        return 0;
    }
    const bool check = argc >= 2 && strcmp(argv[1], "--check") == 0;
    if (argc < (check ? 3 : 2)) {
        fputs(USAGE, stderr);
        return 2;
    }
    if (check) return checkModels(argc - 2, argv + 2);
    bool all = true;
    for (int i = 1; i < argc; ++i) {
        HModel model;
        if (!readModel(argv[i], model)) all = false;
        // No textures were loaded, so the destructor's releases find nothing.
        printf("%s\n", describe(argv[i], model.data).c_str());
        fflush(stdout);
    }
    return all ? 0 : 1;
}
