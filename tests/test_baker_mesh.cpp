// Tests of the baker's mesh builder: facets that face the way they are
// told, tubes that face outward, and 3DS files that the game's reader turns
// back into exactly the model the baker built.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/h3dsloader.h"
#include "assets/hmodel.h"
#include "baker/bmeshbuilder.h"
#include "baker/bmodels.h"
#include "support/tempdir.h"

namespace {

constexpr float PI = 3.14159265358979f;

float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 faceNormal(const BMesh& mesh, int face) {
    const std::vector<Vec3>& v = mesh.vertices();
    const std::vector<uint16_t>& f = mesh.faces();
    const Vec3 a = v[f[face * 3]], b = v[f[face * 3 + 1]], c = v[f[face * 3 + 2]];
    return cross(subtract(b, a), subtract(c, a));
}

// Six times the enclosed volume, counter-clockwise sides taken as outside.
double signedVolume(const BMesh& mesh) {
    double sum = 0.0;
    for (int i = 0; i < mesh.triangleCount(); ++i) {
        const std::vector<Vec3>& v = mesh.vertices();
        const std::vector<uint16_t>& f = mesh.faces();
        const Vec3 n = cross(v[f[i * 3 + 1]], v[f[i * 3 + 2]]);
        sum += dot(v[f[i * 3]], n);
    }
    return sum;
}

// A ring round the x axis, counter-clockwise seen looking towards +x.
std::vector<Vec3> ring(float x, float r, int n) {
    std::vector<Vec3> points;
    for (int k = 0; k < n; ++k) {
        const float a = 2.0f * PI * static_cast<float>(k) / static_cast<float>(n);
        points.push_back(Vec3(x, r * std::cos(a), -r * std::sin(a)));
    }
    return points;
}

TEST(BakerMesh, FacetsFaceTheWayTheyAreToldWhateverTheCornerOrder) {
    const Vec3 a(0, 0, 0), b(1, 0, 0), c(1, 1, 0), d(0, 1, 0);
    for (const float sense : {1.0f, -1.0f}) {
        BMesh mesh;
        mesh.flatQuad(a, b, c, d, Vec3(0, 0, sense));
        mesh.flatQuad(d, c, b, a, Vec3(0, 0, sense));
        mesh.flatTriangle(a, b, c, Vec3(0, 0, sense));
        mesh.flatPolygon({a, b, c, d, Vec3(-0.5f, 0.5f, 0)}, Vec3(0, 0, sense));
        // Quads are two triangles, a pentagon three.
        ASSERT_EQ(mesh.triangleCount(), 2 + 2 + 1 + 3);
        for (int i = 0; i < mesh.triangleCount(); ++i) EXPECT_GT(faceNormal(mesh, i).z * sense, 0.0f) << i;
        // Every facet has corners of its own, for a hard edge.
        EXPECT_EQ(mesh.vertices().size(), 4u + 4u + 3u + 5u);
    }
}

TEST(BakerMesh, FacetsTakeTextureCoordinatesFromTheMapping) {
    BMesh mesh;
    mesh.flatQuad(Vec3(0, 0, 0), Vec3(2, 0, 0), Vec3(2, 1, 0), Vec3(0, 1, 0), Vec3(0, 0, 1),
                  [](Vec3 p) { return BMesh::Uv{p.x * 0.5f, p.y}; });
    const std::vector<float>& uv = mesh.texCoords();
    ASSERT_EQ(uv.size(), 8u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(uv[i * 2], mesh.vertices()[i].x * 0.5f);
        EXPECT_FLOAT_EQ(uv[i * 2 + 1], mesh.vertices()[i].y);
    }
}

TEST(BakerMesh, LoftFacesOutwardAndEnclosesItsVolume) {
    // A cylinder of radius 1 and length 2 along x, closed by two cones of
    // height 1: volume pi * (2 + 2/3) for a circle; an 32-gon is a little less.
    const int n = 32;
    BMesh mesh;
    mesh.loft({{Vec3(-2, 0, 0)}, ring(-1, 1, n), ring(1, 1, n), {Vec3(2, 0, 0)}});
    const double polygonArea = 0.5 * n * std::sin(2.0 * PI / n);
    EXPECT_NEAR(signedVolume(mesh) / 6.0, polygonArea * (2.0 + 2.0 / 3.0), 1e-3);
    // Without texture coordinates the rings share their first vertex.
    EXPECT_EQ(mesh.vertices().size(), 2u + 2u * n);
    EXPECT_EQ(mesh.triangleCount(), n + 2 * n + n);

    // Rings turning the other way make it inside out.
    std::vector<Vec3> back = ring(-1, 1, n), front = ring(1, 1, n);
    std::reverse(back.begin(), back.end());
    std::reverse(front.begin(), front.end());
    BMesh inside;
    inside.loft({{Vec3(-2, 0, 0)}, back, front, {Vec3(2, 0, 0)}});
    EXPECT_LT(signedVolume(inside), 0.0);
}

TEST(BakerMesh, TexturedLoftRepeatsTheSeamVertex) {
    const int n = 6;
    std::vector<std::vector<BMesh::Uv>> uv(2);
    for (int k = 0; k < n; ++k) {
        uv[0].push_back({0.0f, static_cast<float>(k) / n});
        uv[1].push_back({1.0f, static_cast<float>(k) / n});
    }
    BMesh mesh;
    mesh.loft({ring(0, 1, n), ring(1, 1, n)}, uv, {{0.0f, 1.0f}, {1.0f, 1.0f}});
    // The seam's copy carries v = 1, so the texture does not run backwards
    // across the last quad.
    ASSERT_EQ(mesh.vertices().size(), 2u * (n + 1));
    EXPECT_FLOAT_EQ(mesh.texCoords()[n * 2 + 1], 1.0f);
    EXPECT_FLOAT_EQ(mesh.vertices()[n].y, mesh.vertices()[0].y);
    for (int i = 0; i < mesh.triangleCount(); ++i) {
        const std::vector<uint16_t>& f = mesh.faces();
        float low = 1.0f, high = 0.0f;
        for (int k = 0; k < 3; ++k) {
            const float v = mesh.texCoords()[f[i * 3 + k] * 2 + 1];
            low = std::min(low, v);
            high = std::max(high, v);
        }
        EXPECT_LE(high - low, 1.0f / n + 1e-5f) << "triangle " << i << " spans the whole texture";
    }
}

TEST(BakerModelFile, ReaderGetsBackWhatWasBuilt) {
    ScopedTempDir dir;
    BMesh box, tube;
    box.flatQuad(Vec3(0, 0, 1), Vec3(1, 0, 1), Vec3(1, 1, 1), Vec3(0, 1, 1), Vec3(0, 0, 1),
                 [](Vec3 p) { return BMesh::Uv{p.x, p.y}; });
    tube.loft({{Vec3(-1, 0, 0)}, ring(0, 0.5f, 5), {Vec3(1, 0, 0)}});
    BModelFile file;
    file.material("Painted", 10, 20, 30, "paint.bmp");
    file.material("Plain", 200, 100, 50);
    file.mesh("Box", "Painted", box);
    file.mesh("Tube", "Plain", tube);
    ASSERT_TRUE(file.write((dir.path() + "/m.3ds").c_str()));

    HModelData data;
    H3DSLoader loader;
    ASSERT_TRUE(loader.load(data, (dir.path() + "/m.3ds").c_str()));
    ASSERT_EQ(data.materialCount, 2);
    EXPECT_STREQ(data.materials[0].name, "Painted");
    EXPECT_STREQ(data.materials[0].textureFile, "paint.bmp");
    EXPECT_EQ(data.materials[1].colour[0], 200);
    EXPECT_EQ(data.materials[1].colour[2], 50);
    ASSERT_EQ(data.meshCount, 2);
    const BMesh* built[2] = {&box, &tube};
    for (int m = 0; m < 2; ++m) {
        const HMesh& mesh = data.meshes[m];
        EXPECT_EQ(mesh.materialId, m);
        EXPECT_EQ(mesh.hasTexture, m == 0);
        ASSERT_EQ(mesh.vertexCount, static_cast<int32_t>(built[m]->vertices().size()));
        ASSERT_EQ(mesh.faceCount, built[m]->triangleCount());
        // Model coordinates survive the file's z-up axes exactly.
        for (int32_t i = 0; i < mesh.vertexCount; ++i) {
            EXPECT_EQ(mesh.vertices[i].x, built[m]->vertices()[i].x);
            EXPECT_EQ(mesh.vertices[i].y, built[m]->vertices()[i].y);
            EXPECT_EQ(mesh.vertices[i].z, built[m]->vertices()[i].z);
        }
        for (int32_t f = 0; f < mesh.faceCount; ++f)
            for (int k = 0; k < 3; ++k) EXPECT_EQ(mesh.faces[f].index[k], built[m]->faces()[f * 3 + k]);
    }
    // Texture coordinates only where the material has a texture.
    EXPECT_EQ(data.meshes[0].texCoordCount, 4);
    EXPECT_FLOAT_EQ(data.meshes[0].texCoords[1].u, 1.0f);
    EXPECT_EQ(data.meshes[1].texCoordCount, 0);
}

TEST(BakerModelFile, NormalsOfABuiltTubePointAwayFromItsAxis) {
    // The game lights each vertex by the normal it averages from the faces;
    // a tube built as the ships' pods are must come out lit on the outside.
    ScopedTempDir dir;
    BMesh tube;
    tube.loft({{Vec3(-2, 0, 0)}, ring(-1, 0.5f, 10), ring(1, 0.5f, 10), {Vec3(2, 0, 0)}});
    BModelFile file;
    file.material("M", 1, 2, 3);
    file.mesh("Tube", "M", tube);
    ASSERT_TRUE(file.write((dir.path() + "/t.3ds").c_str()));
    HModel model;
    H3DSLoader loader;
    ASSERT_TRUE(loader.load(model.data, (dir.path() + "/t.3ds").c_str()));
    model.computeNormals();
    const HMesh& mesh = model.data.meshes[0];
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
        const Vec3 p = mesh.vertices[i], n = mesh.normals[i];
        const Vec3 away = std::fabs(p.x) > 1.5f ? Vec3(p.x, 0, 0) : Vec3(0, p.y, p.z);
        EXPECT_GT(dot(n, away), 0.0f) << "vertex " << i;
    }
}

TEST(BakerModelFile, WriteFailsCleanlyOnOversizedMeshesAndBadPaths) {
    ScopedTempDir dir;
    BMesh huge;
    for (int i = 0; i < 65536 / 4 + 1; ++i)
        huge.flatQuad(Vec3(i, 0, 0), Vec3(i + 1, 0, 0), Vec3(i + 1, 1, 0), Vec3(i, 1, 0), Vec3(0, 0, 1));
    BModelFile big;
    big.material("M", 1, 2, 3);
    big.mesh("Huge", "M", huge);
    BModelFile small;
    small.material("M", 1, 2, 3);
    small.mesh("Small", "M", BMesh());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(big.write((dir.path() + "/big.3ds").c_str()));
    EXPECT_FALSE(small.write((dir.path() + "/missing/dir/small.3ds").c_str()));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/big.3ds"));
    EXPECT_NE(errors.find("big.3ds"), std::string::npos) << errors;
}

TEST(BakerHealthBar, TextFollowsTheOneTriangleFormat) {
    // Colour as three integers, then three corners, in the order the
    // game's reader scans them.
    for (const BSide side : {BSide::Left, BSide::Right}) {
        const std::string text = healthBarText(side);
        int r = -1, g = -1, b = -1;
        float v[9];
        const int read = sscanf(text.c_str(), "%d %d %d %f %f %f %f %f %f %f %f %f", &r, &g, &b, &v[0], &v[1],
                                &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]);
        EXPECT_EQ(read, 12);
        const BTeam team = teamOf(side);
        EXPECT_EQ(r, team.main.r);
        EXPECT_EQ(b, team.main.b);
        // Counter-clockwise from the camera, though unlit bars would draw
        // either way, and flat, facing it.
        const float area = (v[3] - v[0]) * (v[7] - v[1]) - (v[4] - v[1]) * (v[6] - v[0]);
        EXPECT_GT(area, 0.0f);
        EXPECT_EQ(v[2], v[5]);
        EXPECT_EQ(v[2], v[8]);
    }
}

}  // namespace
