// bench_models.cpp: model loading (3DS read plus vertex normals) and the two
// ways of computing normals.
//
// Files: a ship-sized model (three materials, five meshes with texture
// coordinates, 2,096 vertices, 4,000 faces) and one mesh of 65,535 vertices
// and 65,535 faces, written with H3DSWriter into a temporary directory at
// start-up.
//
// Side by side, where installed: lib3ds 1.3 (lib3ds_file_load plus
// lib3ds_mesh_calculate_normals per mesh) and assimp (aiImportFile with
// aiProcess_GenSmoothNormals). Both are opened with dlopen at run time, so
// neither is ever linked, not even into this benchmark; a missing one only
// skips its rows. Before timing anything, every file is checked to load in
// lib3ds with the same mesh, vertex and face counts as in our reader; a
// mismatch aborts the run.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/h3dsformat.h"
#include "assets/h3dsloader.h"
#include "assets/h3dswriter.h"
#include "assets/hmodel.h"
#include "assets/hnormals.h"

#if __has_include(<lib3ds/file.h>)
#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#define HAVE_LIB3DS_HEADERS 1
#endif
#if __has_include(<assimp/cimport.h>)
#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#define HAVE_ASSIMP_HEADERS 1
#endif

namespace {

using namespace h3ds;

std::string workDir;
std::string shipFile;
std::string bigFile;

// --- generated models ------------------------------------------------------------------

struct Part {
    std::vector<Vec3> vertices;
    std::vector<uint16_t> faces;  // triples
    std::vector<float> uv;
};

// A tube of rings x segments vertices along z, radius varying along it: the
// shape of a hull, wing root or engine. Faces wind outwards.
Part tube(int rings, int segments, float length, float radius, float zOffset, float xOffset) {
    Part p;
    for (int r = 0; r < rings; ++r) {
        const float t = float(r) / float(rings - 1);
        const float rad = radius * (0.3f + std::sin(t * 3.14159f));
        for (int s = 0; s < segments; ++s) {
            const float a = 2.0f * 3.14159265f * float(s) / float(segments);
            p.vertices.push_back(Vec3(xOffset + rad * std::cos(a), rad * 0.4f * std::sin(a), zOffset + length * (t - 0.5f)));
            p.uv.push_back(float(s) / float(segments));
            p.uv.push_back(t);
        }
    }
    for (int r = 0; r + 1 < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            const uint16_t a = uint16_t(r * segments + s);
            const uint16_t b = uint16_t(r * segments + (s + 1) % segments);
            const uint16_t c = uint16_t(a + segments);
            const uint16_t d = uint16_t(b + segments);
            p.faces.insert(p.faces.end(), {a, b, d, a, d, c});
        }
    }
    return p;
}

void writePart(H3DSWriter& w, const char* name, const Part& p, const char* material) {
    w.beginObject(name);
    w.begin(CHUNK_TRIANGLE_MESH);
    w.vertexListFromModel(p.vertices.data(), p.vertices.size());
    w.faceList(reinterpret_cast<const uint16_t(*)[3]>(p.faces.data()), p.faces.size() / 3, material);
    w.texCoordList(p.uv.data(), p.uv.size() / 2);
    w.end();
    w.end();
}

bool writeShip(const std::string& path) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.version(3);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    // No texture file: the benchmark must not need a GL context.
    w.material("hull", 180, 180, 190);
    w.material("glass", 40, 80, 200);
    w.material("engine", 220, 90, 20);
    writePart(w, "hull", tube(40, 32, 20.0f, 1.6f, 0.0f, 0.0f), "hull");
    writePart(w, "cockpit", tube(12, 16, 4.0f, 0.7f, 4.0f, 0.0f), "glass");
    writePart(w, "wing_l", tube(16, 12, 8.0f, 1.2f, -2.0f, -2.8f), "hull");
    writePart(w, "wing_r", tube(16, 12, 8.0f, 1.2f, -2.0f, 2.8f), "hull");
    writePart(w, "engines", tube(10, 24, 3.0f, 0.9f, -9.0f, 0.0f), "engine");
    return w.writeFile(path.c_str());
}

// 255 x 257 = 65,535 vertices on a wavy grid; the first 65,535 of its
// triangles.
bool writeBig(const std::string& path) {
    const int columns = 255, rows = 257;
    Part p;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            p.vertices.push_back(Vec3(float(x), std::sin(x * 0.1f) * std::cos(y * 0.1f), float(y)));
            p.uv.push_back(float(x) / columns);
            p.uv.push_back(float(y) / rows);
        }
    for (int y = 0; y + 1 < rows && p.faces.size() < 3 * 65535; ++y)
        for (int x = 0; x + 1 < columns && p.faces.size() < 3 * 65535; ++x) {
            const uint16_t a = uint16_t(y * columns + x), b = uint16_t(a + 1);
            const uint16_t c = uint16_t(a + columns), d = uint16_t(c + 1);
            p.faces.insert(p.faces.end(), {a, c, b});
            if (p.faces.size() < 3 * 65535) p.faces.insert(p.faces.end(), {b, c, d});
        }
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.version(3);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    w.material("ground", 90, 160, 60);
    writePart(w, "grid", p, "ground");
    return w.writeFile(path.c_str());
}

// --- the libraries compared, opened at run time ----------------------------------------

#ifdef HAVE_LIB3DS_HEADERS
struct Lib3ds {
    void* handle = dlopen("lib3ds-1.so.3", RTLD_NOW);
    Lib3dsFile* (*load)(const char*) = handle ? reinterpret_cast<Lib3dsFile* (*)(const char*)>(dlsym(handle, "lib3ds_file_load")) : nullptr;
    void (*free)(Lib3dsFile*) = handle ? reinterpret_cast<void (*)(Lib3dsFile*)>(dlsym(handle, "lib3ds_file_free")) : nullptr;
    void (*normals)(Lib3dsMesh*, Lib3dsVector*) =
        handle ? reinterpret_cast<void (*)(Lib3dsMesh*, Lib3dsVector*)>(dlsym(handle, "lib3ds_mesh_calculate_normals")) : nullptr;
    bool ok() const { return load && free && normals; }
};
Lib3ds& lib3ds() {
    static Lib3ds library;
    return library;
}
#endif

#ifdef HAVE_ASSIMP_HEADERS
struct Assimp {
    void* handle = dlopen("libassimp.so.5", RTLD_NOW);
    const aiScene* (*import)(const char*, unsigned int) =
        handle ? reinterpret_cast<const aiScene* (*)(const char*, unsigned int)>(dlsym(handle, "aiImportFile")) : nullptr;
    void (*release)(const aiScene*) = handle ? reinterpret_cast<void (*)(const aiScene*)>(dlsym(handle, "aiReleaseImport")) : nullptr;
    bool ok() const { return import && release; }
};
Assimp& assimp() {
    static Assimp library;
    return library;
}
#endif

// --- benchmarks ---------------------------------------------------------------------------

void loadVektorak(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        HModel model;
        model.load(file.c_str());
        benchmark::DoNotOptimize(model.data.meshes.data());
    }
}

#ifdef HAVE_LIB3DS_HEADERS
void loadLib3ds(benchmark::State& state, const std::string& file) {
    Lib3ds& l = lib3ds();
    if (!l.ok()) {
        state.SkipWithError("lib3ds not installed");
        return;
    }
    std::vector<float> normals;  // one Lib3dsVector per face corner
    for (auto _ : state) {
        Lib3dsFile* f = l.load(file.c_str());
        for (Lib3dsMesh* m = f ? f->meshes : nullptr; m; m = m->next) {
            normals.resize(9 * m->faces);
            l.normals(m, reinterpret_cast<Lib3dsVector*>(normals.data()));
        }
        benchmark::DoNotOptimize(normals.data());
        l.free(f);
    }
}
#endif

#ifdef HAVE_ASSIMP_HEADERS
void loadAssimp(benchmark::State& state, const std::string& file) {
    Assimp& a = assimp();
    if (!a.ok()) {
        state.SkipWithError("assimp not installed");
        return;
    }
    for (auto _ : state) {
        const aiScene* scene = a.import(file.c_str(), aiProcess_GenSmoothNormals);
        benchmark::DoNotOptimize(scene);
        a.release(scene);
    }
}
#endif

void BM_LoadShip_Vektorak(benchmark::State& state) { loadVektorak(state, shipFile); }
void BM_LoadBig_Vektorak(benchmark::State& state) { loadVektorak(state, bigFile); }
BENCHMARK(BM_LoadShip_Vektorak)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadBig_Vektorak)->Unit(benchmark::kMicrosecond);
#ifdef HAVE_LIB3DS_HEADERS
void BM_LoadShip_Lib3ds(benchmark::State& state) { loadLib3ds(state, shipFile); }
void BM_LoadBig_Lib3ds(benchmark::State& state) { loadLib3ds(state, bigFile); }
BENCHMARK(BM_LoadShip_Lib3ds)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadBig_Lib3ds)->Unit(benchmark::kMicrosecond);
#endif
#ifdef HAVE_ASSIMP_HEADERS
void BM_LoadShip_Assimp(benchmark::State& state) { loadAssimp(state, shipFile); }
void BM_LoadBig_Assimp(benchmark::State& state) { loadAssimp(state, bigFile); }
BENCHMARK(BM_LoadShip_Assimp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadBig_Assimp)->Unit(benchmark::kMicrosecond);
#endif

// A 5,000-vertex mesh with about two faces per vertex, as a closed surface
// has.
struct NormalsMesh {
    HModelData data;
    NormalsMesh() {
        const Part p = tube(50, 100, 10.0f, 2.0f, 0.0f, 0.0f);
        HMesh mesh;
        mesh.vertexCount = int32_t(p.vertices.size());
        mesh.faceCount = int32_t(p.faces.size() / 3);
        mesh.vertices = static_cast<Vec3*>(malloc(sizeof(Vec3) * mesh.vertexCount));
        mesh.faces = static_cast<HFace*>(malloc(sizeof(HFace) * mesh.faceCount));
        for (int32_t i = 0; i < mesh.vertexCount; ++i) mesh.vertices[i] = p.vertices[i];
        for (int32_t f = 0; f < mesh.faceCount; ++f)
            for (int c = 0; c < 3; ++c) mesh.faces[f].index[c] = p.faces[3 * f + c];
        data.meshes.push_back(mesh);
        data.meshCount = 1;
    }
};

void BM_Normals_OnePass(benchmark::State& state) {
    NormalsMesh m;
    for (auto _ : state) computeVertexNormals(m.data.meshes[0]);
    state.counters["vertices"] = m.data.meshes[0].vertexCount;
    state.counters["faces"] = m.data.meshes[0].faceCount;
}
void BM_Normals_Scan(benchmark::State& state) {
    NormalsMesh m;
    for (auto _ : state) computeVertexNormalsByScan(m.data.meshes[0]);
    state.counters["vertices"] = m.data.meshes[0].vertexCount;
    state.counters["faces"] = m.data.meshes[0].faceCount;
}
BENCHMARK(BM_Normals_OnePass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Normals_Scan)->Unit(benchmark::kMillisecond);

// --- set-up ----------------------------------------------------------------------------------

// Our reader's counts against lib3ds's for one file; false on a mismatch.
bool sameCountsInLib3ds(const std::string& file) {
    HModelData ours;
    H3DSLoader loader;
    if (!loader.load(ours, file.c_str())) return false;
#ifdef HAVE_LIB3DS_HEADERS
    Lib3ds& l = lib3ds();
    if (!l.ok()) {
        fprintf(stderr, "lib3ds not installed: %s not cross-checked\n", file.c_str());
        return true;
    }
    Lib3dsFile* f = l.load(file.c_str());
    if (!f) {
        fprintf(stderr, "lib3ds cannot read %s\n", file.c_str());
        return false;
    }
    // lib3ds keeps its meshes in an order of its own: match them by name.
    int32_t found = 0;
    bool same = true;
    for (Lib3dsMesh* m = f->meshes; m; m = m->next, ++found) {
        const HMesh* mesh = nullptr;
        for (const HMesh& candidate : ours.meshes)
            if (strcmp(candidate.name, m->name) == 0) mesh = &candidate;
        if (!mesh || int32_t(m->points) != mesh->vertexCount || int32_t(m->faces) != mesh->faceCount ||
            int32_t(m->texels) != mesh->texCoordCount)
            same = false;
    }
    if (found != ours.meshCount) same = false;
    int32_t materials = 0;
    for (Lib3dsMaterial* m = f->materials; m; m = m->next) ++materials;
    if (materials != ours.materialCount) same = false;
    l.free(f);
    fprintf(stderr, "lib3ds cross-check of %s: %d meshes, %d materials: %s\n", file.c_str(),
            int(ours.meshCount), int(ours.materialCount), same ? "same counts" : "MISMATCH");
    return same;
#else
    return true;
#endif
}

// The game's own 3DS files, as the build baked them, read by both readers.
bool bakedModelsAgree() {
    static const char* const names[] = {"ship.3ds", "ship2.3ds", "zat.3ds", "zat2.3ds", "logo.3ds"};
    bool all = true;
    for (const char* name : names) {
        const std::string path = std::string(VEKTORAK_BAKED_DIR) + "/" + name;
        if (!std::filesystem::exists(path)) {
            fprintf(stderr, "%s not baked yet: build the game first\n", path.c_str());
            return false;
        }
        all = sameCountsInLib3ds(path) && all;
    }
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/vektorak-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    workDir = pattern;
    shipFile = workDir + "/ship.3ds";
    bigFile = workDir + "/big.3ds";
    int status = 0;
    if (!writeShip(shipFile) || !writeBig(bigFile)) {
        status = 1;
    } else if (!sameCountsInLib3ds(shipFile) || !sameCountsInLib3ds(bigFile) || !bakedModelsAgree()) {
        status = 1;
    } else {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    std::error_code ignored;
    std::filesystem::remove_all(workDir, ignored);
    return status;
}
