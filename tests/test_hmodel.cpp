// Tests of the model without a window: Vec3, the text model reader, the
// choice of reader by file name, loading 3DS models without textures, and
// the vertex normals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "assets/hmodel.h"
#include "assets/hnormals.h"
#include "assets/htexturestore.h"
#include "support/models3ds.h"
#include "support/tempdir.h"

namespace {

// A mesh built by hand; the model data frees its arrays.
HMesh& addMesh(HModelData& data, const std::vector<Vec3>& vertices, const std::vector<HFace>& faces) {
    HMesh mesh;
    mesh.vertexCount = static_cast<int32_t>(vertices.size());
    mesh.faceCount = static_cast<int32_t>(faces.size());
    mesh.vertices = static_cast<Vec3*>(malloc(sizeof(Vec3) * (vertices.size() + 1)));
    mesh.faces = static_cast<HFace*>(malloc(sizeof(HFace) * (faces.size() + 1)));
    for (size_t i = 0; i < vertices.size(); ++i) mesh.vertices[i] = vertices[i];
    for (size_t i = 0; i < faces.size(); ++i) mesh.faces[i] = faces[i];
    data.meshes.push_back(mesh);
    ++data.meshCount;
    return data.meshes.back();
}

HFace face(int32_t a, int32_t b, int32_t c) {
    HFace f;
    f.index[0] = a;
    f.index[1] = b;
    f.index[2] = c;
    return f;
}

void expectVec(Vec3 v, float x, float y, float z, float tolerance = 1e-6f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

bool sameBits(Vec3 a, Vec3 b) { return memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// --- Vec3 ------------------------------------------------------------------------------

TEST(Vec3Test, HelpersFollowTheTextbook) {
    expectVec(Vec3(), 0, 0, 0);
    expectVec(subtract(Vec3(5, 7, 9), Vec3(1, 2, 3)), 4, 5, 6);
    expectVec(add(Vec3(1, 2, 3), Vec3(-1, 0.5f, 2)), 0, 2.5f, 5);
    expectVec(divide(Vec3(2, -4, 8), -2.0f), -1, 2, -4);
    expectVec(cross(Vec3(1, 0, 0), Vec3(0, 1, 0)), 0, 0, 1);
    expectVec(cross(Vec3(0, 1, 0), Vec3(1, 0, 0)), 0, 0, -1);
    expectVec(normalise(Vec3(3, 0, -4)), 0.6f, 0, -0.8f);
}

TEST(Vec3Test, EqualsXYIgnoresZ) {
    EXPECT_TRUE(equalsXY(Vec3(1, 2, 3), Vec3(1, 2, 4)));
    EXPECT_FALSE(equalsXY(Vec3(1, 2, 3), Vec3(1, 2.5f, 3)));
    EXPECT_FALSE(equalsXY(Vec3(1, 2, 3), Vec3(1.0000001f, 2, 3)));
}

// --- text models ------------------------------------------------------------------------

class HModelTextTest : public testing::Test {
protected:
    ScopedTempDir dir;
    HModel model;
};

TEST_F(HModelTextTest, ReadsColourAndVerticesAsWritten) {
    dir.write("bar.txt", "255 128 0\n-1 2.5 3\n\n4 5 6   7\n8 9\ntrailing words are never read");
    EXPECT_TRUE(model.load("bar.txt"));
    EXPECT_TRUE(model.loaded);
    EXPECT_FALSE(model.lit);
    ASSERT_EQ(model.data.materialCount, 1);
    const HMaterial& m = model.data.materials[0];
    EXPECT_EQ(m.colour[0], 255);
    EXPECT_EQ(m.colour[1], 128);
    EXPECT_EQ(m.colour[2], 0);
    EXPECT_EQ(m.texture, -1);
    EXPECT_STREQ(m.name, "");
    EXPECT_STREQ(m.textureFile, "");
    ASSERT_EQ(model.data.meshCount, 1);
    const HMesh& mesh = model.data.meshes[0];
    EXPECT_EQ(mesh.vertexCount, 3);
    EXPECT_EQ(mesh.faceCount, 1);
    EXPECT_EQ(mesh.texCoordCount, 0);
    EXPECT_EQ(mesh.texCoords, nullptr);
    EXPECT_EQ(mesh.materialId, 0);
    EXPECT_FALSE(mesh.hasTexture);
    expectVec(mesh.vertices[0], -1, 2.5f, 3);  // no change of axes
    expectVec(mesh.vertices[1], 4, 5, 6);
    expectVec(mesh.vertices[2], 7, 8, 9);
    EXPECT_EQ(mesh.faces[0].index[0], 0);
    EXPECT_EQ(mesh.faces[0].index[1], 1);
    EXPECT_EQ(mesh.faces[0].index[2], 2);
    ASSERT_NE(mesh.normals, nullptr);
}

TEST_F(HModelTextTest, ColourKeepsTheLowEightBits) {
    dir.write("c.txt", "300 -1 0 0 0 0 1 0 0 0 1 0");
    model.load("c.txt");
    EXPECT_EQ(model.data.materials[0].colour[0], 44);
    EXPECT_EQ(model.data.materials[0].colour[1], 255);
    EXPECT_EQ(model.data.materials[0].colour[2], 0);
}

TEST_F(HModelTextTest, ValuesAfterAMalformedNumberStayZero) {
    dir.write("bad.txt", "10 20 30 1 2 3 4 x 6 7 8 9");
    EXPECT_TRUE(model.load("bad.txt"));
    const HMesh& mesh = model.data.meshes[0];
    expectVec(mesh.vertices[0], 1, 2, 3);
    expectVec(mesh.vertices[1], 4, 0, 0);
    expectVec(mesh.vertices[2], 0, 0, 0);
    for (int v = 0; v < 3; ++v) EXPECT_TRUE(std::isfinite(mesh.normals[v].x));
}

TEST_F(HModelTextTest, ShortFileStillGivesATriangle) {
    dir.write("short.txt", "12");
    EXPECT_TRUE(model.load("short.txt"));
    EXPECT_EQ(model.data.materials[0].colour[0], 12);
    EXPECT_EQ(model.data.materials[0].colour[1], 0);
    EXPECT_EQ(model.data.materials[0].colour[2], 0);
    ASSERT_EQ(model.data.meshes[0].vertexCount, 3);
    for (int v = 0; v < 3; ++v) expectVec(model.data.meshes[0].vertices[v], 0, 0, 0);
}

TEST_F(HModelTextTest, MissingFileFailsSilentlyAndStaysUnloaded) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.load("nowhere.txt"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(model.loaded);
    EXPECT_EQ(model.data.meshCount, 0);
}

TEST_F(HModelTextTest, ReaderIsChosenByTheLastCharacterOnly) {
    dir.write("upper.TXT", "1 2 3 0 0 0 1 0 0 0 1 0");
    dir.write("upper.3DS", "not read either");
    dir.write("model.obj", "");
    for (const char* name : {"upper.TXT", "upper.3DS", "model.obj", "missing.xyz", ""}) {
        HModel m;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(m.load(name)) << name;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
        EXPECT_TRUE(m.loaded) << name;
        EXPECT_FALSE(m.lit) << name;
        EXPECT_EQ(m.data.meshCount, 0) << name;
        EXPECT_EQ(m.data.materialCount, 0) << name;
    }
    // "...t" is a text model whatever comes before.
    dir.write("weird.3dst", "1 2 3 0 0 0 1 0 0 0 1 0");
    HModel m;
    EXPECT_TRUE(m.load("weird.3dst"));
    EXPECT_EQ(m.data.meshCount, 1);
}

// --- 3DS models through HModel ------------------------------------------------------------

TEST(HModel3dsTest, MissingFileGivesALoadedEmptyLitModel) {
    ScopedTempDir dir;
    HModel model;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(model.load("gone.3ds"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to find the file: gone.3ds!\n");
    EXPECT_TRUE(model.loaded);
    EXPECT_TRUE(model.lit);
    EXPECT_EQ(model.data.meshCount, 0);
}

TEST(HModel3dsTest, UntexturedModelLoadsWithoutTheTextureStore) {
    ScopedTempDir dir;
    ASSERT_TRUE(write3ds("tri.3ds", Model3ds({{"red", 0xff0000}}, {{"tri"}})));
    const int32_t storeCount = theTextureStore.count;
    {
        HModel model;
        EXPECT_TRUE(model.load("tri.3ds"));
        EXPECT_TRUE(model.lit);
        EXPECT_EQ(model.data.materials[0].texture, -1);
        const HMesh& mesh = model.data.meshes[0];
        EXPECT_EQ(mesh.materialId, 0) << "no face material: stays 0, the first material";
        // Model coordinates survive the writer and the reader's change of axes.
        expectVec(mesh.vertices[2], 0, 1, 0);
        for (int v = 0; v < 3; ++v) expectVec(mesh.normals[v], 0, 0, 1);
    }
    EXPECT_EQ(theTextureStore.count, storeCount);
}

// --- normals ---------------------------------------------------------------------------------

TEST(HNormalsTest, CounterClockwiseTriangleFacesTheViewer) {
    HModelData data;
    HMesh& mesh = addMesh(data, {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)}, {face(0, 1, 2)});
    const Vec3 nf = cross(subtract(mesh.vertices[0], mesh.vertices[2]),
                          subtract(mesh.vertices[2], mesh.vertices[1]));
    expectVec(nf, 0, 0, -1);
    ASSERT_TRUE(computeVertexNormals(mesh));
    for (int v = 0; v < 3; ++v) expectVec(mesh.normals[v], 0, 0, 1);
}

TEST(HNormalsTest, LargerFacesWeighMore) {
    // Vertex 0 is shared by a face in the z = 0 plane (area 1/2) and one in
    // the x = 0 plane (area 1): its normal leans twice as far to +x... the
    // sum is (0, 0, -1) + (-2, 0, 0) turned round.
    HModelData data;
    HMesh& mesh = addMesh(data,
                          {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 2), Vec3(0, 1, 0)},
                          {face(0, 1, 2), face(0, 4, 3)});
    ASSERT_TRUE(computeVertexNormals(mesh));
    const float s = 1.0f / std::sqrt(5.0f);
    expectVec(mesh.normals[0], 2 * s, 0, s);
    expectVec(mesh.normals[3], 1, 0, 0);
}

// A face that names a vertex twice is degenerate and adds nothing to the
// sum, but it still counts, once: the sum is divided by 2 here, not by 3,
// and the two differ in the last bits once normalised.
TEST(HNormalsTest, FaceNamingAVertexTwiceCountsOnce) {
    HModelData data;
    HMesh& mesh = addMesh(data, {Vec3(0.1f, 0.2f, 0.3f), Vec3(1.3f, 0.7f, -0.2f), Vec3(0.4f, 1.9f, 0.6f)},
                          {face(0, 1, 2), face(0, 0, 1)});
    const Vec3 sum = cross(subtract(mesh.vertices[0], mesh.vertices[2]), subtract(mesh.vertices[2], mesh.vertices[1]));
    const Vec3 once = normalise(divide(sum, -2.0f));
    ASSERT_FALSE(sameBits(once, normalise(divide(sum, -3.0f)))) << "the case tells nothing";
    for (bool byScan : {false, true}) {
        SCOPED_TRACE(byScan ? "by scan" : "in one pass");
        ASSERT_TRUE(byScan ? computeVertexNormalsByScan(mesh) : computeVertexNormals(mesh));
        EXPECT_TRUE(sameBits(mesh.normals[0], once));
        EXPECT_TRUE(sameBits(mesh.normals[1], once));
    }
}

TEST(HNormalsTest, VertexWithoutAUsableSumGetsTheFallback) {
    HModelData data;
    // 3: used by no face; 4, 5, 6: only by a degenerate (collinear) face.
    HMesh& mesh = addMesh(data,
                          {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(5, 5, 5), Vec3(0, 0, 0),
                           Vec3(1, 1, 1), Vec3(2, 2, 2)},
                          {face(0, 1, 2), face(4, 5, 6)});
    ASSERT_TRUE(computeVertexNormals(mesh));
    for (int v : {3, 4, 5, 6}) {
        EXPECT_FALSE(std::isnan(mesh.normals[v].x)) << v;
        expectVec(mesh.normals[v], HNORMAL_FALLBACK.x, HNORMAL_FALLBACK.y, HNORMAL_FALLBACK.z);
    }
}

TEST(HNormalsTest, HugeAndTinyTrianglesGetUnitNormalsOrTheFallback) {
    // From a fuzz crash: a text model with coordinates near 3e26 made a
    // normal that was not of unit length. Face vectors up to 1e36 or down to
    // 1e-36 overflow or underflow only in the squares, and are rescued by
    // scaling; beyond that the face vector itself is lost and the fallback
    // is all that is left.
    struct Case {
        float scale;
        Vec3 normal;
    };
    for (const Case& c : {Case{1e18f, Vec3(0, 0, 1)}, Case{1e-18f, Vec3(0, 0, 1)},
                          Case{3e26f, HNORMAL_FALLBACK}, Case{1e-30f, HNORMAL_FALLBACK}}) {
        HModelData data;
        HMesh& mesh = addMesh(data, {Vec3(0, 0, 0), Vec3(c.scale, 0, 0), Vec3(0, c.scale, 0)}, {face(0, 1, 2)});
        ASSERT_TRUE(computeVertexNormals(mesh));
        for (int v = 0; v < 3; ++v) expectVec(mesh.normals[v], c.normal.x, c.normal.y, c.normal.z, 1e-5f);
    }
}

TEST(HNormalsTest, InfiniteOrNaNPositionsGiveTheFallback) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    HModelData data;
    HMesh& mesh = addMesh(data, {Vec3(0, 0, 0), Vec3(inf, 0, 0), Vec3(0, nan, 0)}, {face(0, 1, 2)});
    ASSERT_TRUE(computeVertexNormals(mesh));
    for (int v = 0; v < 3; ++v) EXPECT_TRUE(sameBits(mesh.normals[v], HNORMAL_FALLBACK)) << v;
}

TEST(HNormalsTest, FacesOutsideTheVertexArrayAreIgnored) {
    HModelData data;
    HMesh& mesh = addMesh(data, {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)},
                          {face(0, 1, 2), face(0, 1, 3), face(-1, 0, 1)});
    ASSERT_TRUE(computeVertexNormals(mesh));
    expectVec(mesh.normals[0], 0, 0, 1);
}

TEST(HNormalsTest, OnePassMatchesTheScanBitForBit) {
    // Shared vertices, repeated indices, degenerate and unused vertices, and
    // values whose sums depend on the order of addition.
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> coordinate(-1000.0f, 1000.0f);
    const int32_t vertexCount = 500;
    std::vector<Vec3> vertices(vertexCount);
    for (Vec3& v : vertices) v = Vec3(coordinate(random), coordinate(random) * 1e-3f, coordinate(random));
    vertices[7] = vertices[8];
    std::uniform_int_distribution<int32_t> index(0, vertexCount - 20);  // the last 19 unused
    std::vector<HFace> faces(3000);
    for (HFace& f : faces) f = face(index(random), index(random), index(random));
    faces[5] = face(7, 8, 9);
    faces[6] = face(3, 3, 4);
    HModelData data;
    HMesh& mesh = addMesh(data, vertices, faces);
    ASSERT_TRUE(computeVertexNormals(mesh));
    std::vector<Vec3> onePass(mesh.normals, mesh.normals + vertexCount);
    ASSERT_TRUE(computeVertexNormalsByScan(mesh));
    for (int32_t v = 0; v < vertexCount; ++v) ASSERT_TRUE(sameBits(onePass[v], mesh.normals[v])) << v;
}

TEST(HNormalsTest, ComputingAgainReplacesTheArray) {
    HModelData data;
    HMesh& mesh = addMesh(data, {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0)}, {face(0, 1, 2)});
    ASSERT_TRUE(computeVertexNormals(mesh));
    ASSERT_TRUE(computeVertexNormals(mesh));  // the first array must not leak (ASan)
    expectVec(mesh.normals[1], 0, 0, 1);
}
