// Tests of the 3DS reader on files made with H3DSWriter and one typed byte
// by byte: every handler, the format's quirks the game relies on, and
// damaged or hostile files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "assets/h3dsformat.h"
#include "assets/h3dsloader.h"
#include "assets/h3dswriter.h"
#include "support/models3ds.h"
#include "support/tempdir.h"

using namespace h3ds;

namespace {

struct ReadResult {
    bool ok = false;
    std::string errors;
};

// Reads bytes through fmemopen, as the fuzz targets do, capturing stderr.
ReadResult readBytes(const std::vector<uint8_t>& bytes, HModelData& data) {
    ReadResult result;
    std::vector<uint8_t> copy = bytes;
    if (copy.empty()) copy.push_back(0);  // fmemopen refuses a zero size
    FILE* stream = fmemopen(copy.data(), bytes.empty() ? 0 : copy.size(), "rb");
    if (!stream) stream = fmemopen(copy.data(), 1, "rb");
    testing::internal::CaptureStderr();
    H3DSLoader loader;
    result.ok = loader.load(data, stream, "test.3ds");
    result.errors = testing::internal::GetCapturedStderr();
    fclose(stream);
    return result;
}

ReadResult readWriter(H3DSWriter& writer, HModelData& data) {
    writer.endAll();
    return readBytes(writer.data(), data);
}

}  // namespace

// --- sound files ------------------------------------------------------------------

TEST(H3DSLoaderTest, ReadsMaterialsAndMeshesOfASoundFile) {
    H3DSWriter w;
    openScene3ds(w);
    w.material("hull", 10, 20, 30);
    w.material("glass", 40, 50, 60, "glass.bmp");
    const float xyz[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const float uv[] = {0.25f, 0.5f, 1, 0, 0, 1};
    const uint16_t faces[][3] = {{0, 1, 2}, {2, 1, 0}};
    w.beginObject("cockpit");
    w.begin(CHUNK_TRIANGLE_MESH);
    w.vertexList(xyz, 3);
    w.faceList(faces, 2, "glass");
    w.texCoordList(uv, 3);
    w.end();
    w.end();
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.errors, "");

    ASSERT_EQ(data.materialCount, 2);
    ASSERT_EQ(data.materials.size(), 2u);
    EXPECT_STREQ(data.materials[0].name, "hull");
    EXPECT_EQ(data.materials[0].colour[0], 10);
    EXPECT_EQ(data.materials[0].colour[1], 20);
    EXPECT_EQ(data.materials[0].colour[2], 30);
    EXPECT_STREQ(data.materials[0].textureFile, "");
    EXPECT_STREQ(data.materials[1].textureFile, "glass.bmp");
    EXPECT_EQ(data.materials[1].texture, -1) << "no texture is loaded by the reader";

    ASSERT_EQ(data.meshCount, 1);
    const HMesh& mesh = data.meshes[0];
    EXPECT_STREQ(mesh.name, "cockpit");
    ASSERT_EQ(mesh.vertexCount, 3);
    // File (x, y, z) with z up becomes (x, z, -y).
    EXPECT_FLOAT_EQ(mesh.vertices[0].x, 1);
    EXPECT_FLOAT_EQ(mesh.vertices[0].y, 3);
    EXPECT_FLOAT_EQ(mesh.vertices[0].z, -2);
    EXPECT_FLOAT_EQ(mesh.vertices[2].z, -8);
    ASSERT_EQ(mesh.faceCount, 2);
    EXPECT_EQ(mesh.faces[1].index[0], 2);
    EXPECT_EQ(mesh.faces[1].index[2], 0);
    ASSERT_EQ(mesh.texCoordCount, 3);
    EXPECT_FLOAT_EQ(mesh.texCoords[0].u, 0.25f);
    EXPECT_FLOAT_EQ(mesh.texCoords[0].v, 0.5f);
    EXPECT_EQ(mesh.materialId, 1);
    EXPECT_TRUE(mesh.hasTexture);
    EXPECT_EQ(mesh.normals, nullptr) << "normals are the model's job";
}

// The one file not made by H3DSWriter, whose ids are the reader's own: a
// wrong id in h3dsformat.h shows here. The hull names the second material
// and the canopy the first, so that a face material that goes unread shows.
TEST(H3DSLoaderTest, ReadsAFileTypedByteByByte) {
    HModelData data;
    const ReadResult r = readBytes(handMadeShip3ds(), data);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.errors, "");
    const Model3ds want = handMadeShipModel();
    ASSERT_EQ(data.materialCount, 2);
    for (int32_t m = 0; m < 2; ++m) {
        const Material3ds& w = want.materials[m];
        EXPECT_STREQ(data.materials[m].name, w.name.c_str());
        const uint8_t* rgb = data.materials[m].colour;
        EXPECT_EQ(uint32_t(rgb[0] << 16 | rgb[1] << 8 | rgb[2]), w.rgb) << m;
        EXPECT_STREQ(data.materials[m].textureFile, w.texture.c_str());
    }
    ASSERT_EQ(data.meshCount, 2);
    const int32_t materialIds[] = {1, 0};
    for (int32_t m = 0; m < 2; ++m) {
        SCOPED_TRACE(m);
        const HMesh& mesh = data.meshes[m];
        const Mesh3ds& w = want.meshes[m];
        EXPECT_STREQ(mesh.name, w.name.c_str());
        EXPECT_EQ(mesh.materialId, materialIds[m]);
        EXPECT_EQ(mesh.hasTexture, m == 0);
        ASSERT_EQ(size_t(mesh.vertexCount), w.points.size());
        for (size_t v = 0; v < w.points.size(); ++v) {
            EXPECT_EQ(mesh.vertices[v].x, w.points[v].x) << v;
            EXPECT_EQ(mesh.vertices[v].y, w.points[v].y) << v;
            EXPECT_EQ(mesh.vertices[v].z, w.points[v].z) << v;
        }
        ASSERT_EQ(size_t(mesh.faceCount * 3), w.faces.size());
        for (size_t c = 0; c < w.faces.size(); ++c) EXPECT_EQ(mesh.faces[c / 3].index[c % 3], w.faces[c]) << c;
        ASSERT_EQ(size_t(mesh.texCoordCount * 2), w.uv.size());
        for (size_t t = 0; t < w.uv.size(); ++t)
            EXPECT_EQ(t % 2 ? mesh.texCoords[t / 2].v : mesh.texCoords[t / 2].u, w.uv[t]) << t;
    }
}

TEST(H3DSLoaderTest, KeepsTheFirstThreeFaceNumbersAndDropsTheFlags) {
    H3DSWriter w;
    openScene3ds(w);
    w.beginObject("quad");
    w.begin(CHUNK_TRIANGLE_MESH);
    std::vector<float> xyz(3 * 8, 0.0f);
    w.vertexList(xyz.data(), 8);
    w.begin(CHUNK_FACE_LIST);
    w.u16(1);
    for (uint16_t n : {4, 5, 6, 7}) w.u16(n);
    w.end();
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    ASSERT_EQ(data.meshes[0].faceCount, 1);
    EXPECT_EQ(data.meshes[0].faces[0].index[0], 4);
    EXPECT_EQ(data.meshes[0].faces[0].index[1], 5);
    EXPECT_EQ(data.meshes[0].faces[0].index[2], 6);
}

TEST(H3DSLoaderTest, MainChunkAloneGivesNothing) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.errors, "");
    EXPECT_EQ(data.materialCount, 0);
    EXPECT_EQ(data.meshCount, 0);
}

TEST(H3DSLoaderTest, RefusesAFileThatDoesNotStartWithTheMainChunk) {
    H3DSWriter w;
    w.begin(CHUNK_EDITOR);
    w.material("m", 1, 2, 3);
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, "Unable to load PRIMARY chuck from file: test.3ds!\n");
    EXPECT_EQ(data.materialCount, 0);
}

TEST(H3DSLoaderTest, RefusesFilesTooShortForAHeader) {
    for (size_t size : {0, 1, 5}) {
        HModelData data;
        const ReadResult r = readBytes(std::vector<uint8_t>(size, 0x4D), data);
        EXPECT_FALSE(r.ok) << size;
        EXPECT_EQ(r.errors, "Unable to load PRIMARY chuck from file: test.3ds!\n") << size;
    }
}

TEST(H3DSLoaderTest, MissingFileIsReportedByName) {
    ScopedTempDir dir;
    HModelData data;
    H3DSLoader loader;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loader.load(data, "absent.3ds"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to find the file: absent.3ds!\n");
}

TEST(H3DSLoaderTest, LoadsFromDiskAndClosesTheFile) {
    ScopedTempDir dir;
    H3DSWriter w;
    openScene3ds(w);
    writeMesh3ds(w, {"t"});
    ASSERT_TRUE(w.writeFile("t.3ds"));
    for (int i = 0; i < 3; ++i) {  // a leaked FILE* would show up under ASan's leak check
        HModelData data;
        H3DSLoader loader;
        EXPECT_TRUE(loader.load(data, "t.3ds"));
        EXPECT_EQ(data.meshCount, 1);
    }
}

// --- version -------------------------------------------------------------------------

TEST(H3DSLoaderTest, VersionAboveThreeWarnsWithoutLineBreakAndReadsOn) {
    for (uint32_t version : {3u, 4u}) {
        H3DSWriter w;
        w.begin(CHUNK_MAIN);
        w.version(version);
        w.begin(CHUNK_EDITOR);
        w.meshVersion(3);
        w.material("m", 1, 2, 3);
        writeMesh3ds(w, {"t", {"m"}});
        HModelData data;
        const ReadResult r = readWriter(w, data);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.errors, version > 3 ? "This 3DS file is over version 3 so it may load incorrectly" : "");
        EXPECT_EQ(data.materialCount, 1);
        EXPECT_EQ(data.meshCount, 1);
    }
}

TEST(H3DSLoaderTest, VersionInsideTheEditorIsStillChecked) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    w.version(9);
    HModelData data;
    EXPECT_EQ(readWriter(w, data).errors, "This 3DS file is over version 3 so it may load incorrectly");
}

TEST(H3DSLoaderTest, VersionPayloadOfTheWrongSizeIsReadSafely) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    const uint8_t shortVersion[] = {9, 0};
    w.chunk(CHUNK_VERSION, shortVersion, sizeof shortVersion);
    const uint8_t longVersion[] = {2, 0, 0, 0, 0xFF, 0xFF, 0xFF};
    w.chunk(CHUNK_VERSION, longVersion, sizeof longVersion);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    w.material("after", 1, 2, 3);
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.errors, "") << "neither payload holds a version above 3";
    ASSERT_EQ(data.materialCount, 1);
    EXPECT_STREQ(data.materials[0].name, "after");
}

// --- layout quirks ------------------------------------------------------------------

// Some exporters write no mesh version and put a material first: it must be
// read, or the meshes that name it lose their colour.
TEST(H3DSLoaderTest, EditorsFirstChildIsSkippedOnlyWhenItIsTheMeshVersion) {
    for (const bool meshVersionFirst : {false, true}) {
        SCOPED_TRACE(meshVersionFirst ? "mesh version first" : "material first");
        H3DSWriter w;
        w.begin(CHUNK_MAIN);
        w.begin(CHUNK_EDITOR);
        if (meshVersionFirst) w.meshVersion(3);
        w.material("paint", 1, 2, 3);
        w.material("glass", 4, 5, 6);
        writeMesh3ds(w, {"hull", {"paint"}});
        HModelData data;
        EXPECT_TRUE(readWriter(w, data).ok);
        ASSERT_EQ(data.materialCount, 2);
        EXPECT_STREQ(data.materials[0].name, "paint");
        EXPECT_STREQ(data.materials[1].name, "glass");
        ASSERT_EQ(data.meshCount, 1);
        EXPECT_EQ(data.meshes[0].materialId, 0);
    }
}

TEST(H3DSLoaderTest, EmptyEditorChunkIsFine) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.begin(CHUNK_EDITOR);
    w.end();
    w.version(3);
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.errors, "");
}

TEST(H3DSLoaderTest, ChunksOutsideTheirLevelAreSkipped) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    const float xyz[] = {1, 2, 3};
    w.vertexList(xyz, 1);  // at the main level: nobody's vertices
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    w.begin(CHUNK_MATERIAL_NAME);  // a material name outside a material
    w.string("stray");
    w.end();
    writeMesh3ds(w, {"t"});
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(data.materialCount, 0);
    ASSERT_EQ(data.meshCount, 1);
    EXPECT_EQ(data.meshes[0].vertexCount, 3);
}

TEST(H3DSLoaderTest, FaceMaterialAfterSmoothingGroupsInsideTheFaceList) {
    H3DSWriter w;
    openScene3ds(w);
    w.material("a", 1, 1, 1);
    w.material("b", 2, 2, 2);
    const float xyz[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint16_t faces[][3] = {{0, 1, 2}};
    w.beginObject("t");
    w.begin(CHUNK_TRIANGLE_MESH);
    w.vertexList(xyz, 3);
    w.beginFaceList(faces, 1);
    const uint8_t groups[] = {1, 0, 0, 0};
    w.chunk(CHUNK_SMOOTH_GROUPS, groups, sizeof groups);
    const uint16_t faceNumbers[] = {0};
    w.faceMaterial("b", faceNumbers, 1);
    w.end();
    const float uv[] = {0, 0, 1, 0, 0, 1};
    w.texCoordList(uv, 3);  // after the face list: the count must have come out right
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    ASSERT_EQ(data.meshCount, 1);
    EXPECT_EQ(data.meshes[0].materialId, 1);
    EXPECT_EQ(data.meshes[0].texCoordCount, 3);
}

TEST(H3DSLoaderTest, UnknownChunkOfSeveralMegabytesIsSkipped) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.begin(CHUNK_KEYFRAMER);
    std::vector<uint8_t> animation(5 * 1024 * 1024 + 3, 0x41);
    w.bytes(animation.data(), animation.size());
    w.end();
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    writeMesh3ds(w, {"t"});
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    EXPECT_EQ(data.meshCount, 1);
}

TEST(H3DSLoaderTest, NothingAfterTheMainChunkIsRead) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.end();
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    writeMesh3ds(w, {"t"});
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    EXPECT_EQ(data.meshCount, 0);
}

TEST(H3DSLoaderTest, LightOrCameraObjectGivesAnEmptyMesh) {
    H3DSWriter w;
    openScene3ds(w);
    w.beginObject("lamp");
    std::vector<uint8_t> light(12 + 20, 0);
    w.chunk(CHUNK_LIGHT, light.data(), light.size());
    w.end();
    w.beginObject("eye");
    std::vector<uint8_t> camera(32, 0);
    w.chunk(CHUNK_CAMERA, camera.data(), camera.size());
    w.end();
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    ASSERT_EQ(data.meshCount, 2);
    EXPECT_STREQ(data.meshes[0].name, "lamp");
    EXPECT_EQ(data.meshes[0].vertexCount, 0);
    EXPECT_EQ(data.meshes[0].faceCount, 0);
    EXPECT_EQ(data.meshes[0].vertices, nullptr);
    EXPECT_STREQ(data.meshes[1].name, "eye");
}

// --- materials -------------------------------------------------------------------------

class H3DSMaterialTest : public testing::Test {
protected:
    // A scene whose one material is built by the test between the two calls.
    void SetUp() override {
        openScene3ds(w);
        w.begin(CHUNK_MATERIAL);
        w.begin(CHUNK_MATERIAL_NAME);
        w.string("m");
        w.end();
    }
    const HMaterial& read() {
        w.end();  // material
        const ReadResult r = readWriter(w, data);
        EXPECT_TRUE(r.ok) << r.errors;
        EXPECT_EQ(data.materialCount, 1);
        return data.materials.at(0);
    }
    void colourChunk(uint16_t id, const void* payload, size_t size) {
        w.begin(CHUNK_DIFFUSE);
        w.chunk(id, payload, size);
        w.end();
    }
    H3DSWriter w;
    HModelData data;
};

TEST_F(H3DSMaterialTest, TakesTheFirstColourOfTheDiffuseChunk) {
    w.begin(CHUNK_DIFFUSE);
    const uint8_t plain[] = {200, 100, 50};
    const uint8_t gamma[] = {1, 2, 3};
    w.chunk(CHUNK_COLOUR_24, plain, 3);
    w.chunk(CHUNK_COLOUR_24_GAMMA, gamma, 3);
    w.end();
    const HMaterial& m = read();
    EXPECT_EQ(m.colour[0], 200);
    EXPECT_EQ(m.colour[1], 100);
    EXPECT_EQ(m.colour[2], 50);
}

TEST_F(H3DSMaterialTest, TakesAnyIdAsTwentyFourBitColour) {
    const uint8_t rgb[] = {7, 8, 9};
    colourChunk(0x1234, rgb, 3);
    const HMaterial& m = read();
    EXPECT_EQ(m.colour[0], 7);
    EXPECT_EQ(m.colour[2], 9);
}

TEST_F(H3DSMaterialTest, FloatColourIsConvertedNotCopied) {
    const float rgb[] = {1.0f, 0.5f, 0.0f};
    colourChunk(0x0010, rgb, sizeof rgb);  // the id typed here: the reader could share a wrong one
    const HMaterial& m = read();
    EXPECT_EQ(m.colour[0], 255);
    EXPECT_EQ(m.colour[1], 128);
    EXPECT_EQ(m.colour[2], 0);
    EXPECT_STREQ(m.textureFile, "") << "the 12-byte payload must not spill into the next field";
}

TEST_F(H3DSMaterialTest, FloatColourOutOfRangeIsClamped) {
    const float rgb[] = {7.0f, -3.0f, std::numeric_limits<float>::quiet_NaN()};
    colourChunk(0x0013, rgb, sizeof rgb);  // gamma corrected floats
    const HMaterial& m = read();
    EXPECT_EQ(m.colour[0], 255);
    EXPECT_EQ(m.colour[1], 0);
    EXPECT_EQ(m.colour[2], 0);
}

// A colour payload of any size fills what it can and no more, and the
// chunks after it are still read in their places.
TEST(H3DSColourSizeTest, ShortLongOrEmptyColourPayloadStaysInsideTheRecord) {
    const uint8_t bytes[] = {11, 22, 33, 44, 55};
    struct Case {
        size_t size;
        uint8_t red, green, blue;
    };
    const Case cases[] = {{0, 0, 0, 0}, {2, 11, 22, 0}, {3, 11, 22, 33}, {5, 11, 22, 33}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        H3DSWriter w;
        openScene3ds(w);
        w.begin(CHUNK_MATERIAL);
        w.begin(CHUNK_DIFFUSE);
        if (c.size > 0) w.chunk(CHUNK_COLOUR_24, bytes, c.size);
        w.end();
        w.begin(CHUNK_TEXTURE_MAP);
        w.begin(CHUNK_MAP_FILE);
        w.string("after.bmp");
        w.endAll();
        HModelData data;
        const ReadResult r = readWriter(w, data);
        EXPECT_TRUE(r.ok) << r.errors;
        ASSERT_EQ(data.materialCount, 1);
        const HMaterial& m = data.materials[0];
        EXPECT_EQ(m.colour[0], c.red);
        EXPECT_EQ(m.colour[1], c.green);
        EXPECT_EQ(m.colour[2], c.blue);
        EXPECT_STREQ(m.textureFile, "after.bmp");
        EXPECT_EQ(m.texture, -1);
    }
}

TEST_F(H3DSMaterialTest, OtherMapsDoNotGiveATextureFile) {
    w.begin(0xA204);  // specular map
    w.begin(CHUNK_MAP_FILE);
    w.string("shine.bmp");
    w.end();
    w.end();
    w.begin(0xA230);  // bump map
    w.begin(CHUNK_MAP_FILE);
    w.string("bump.bmp");
    w.end();
    w.end();
    EXPECT_STREQ(read().textureFile, "");
}

TEST_F(H3DSMaterialTest, TextureMapGivesItsFileName) {
    w.begin(CHUNK_TEXTURE_MAP);
    const uint8_t percent[] = {100, 0};
    w.chunk(0x0030, percent, 2);  // strength, skipped
    w.begin(CHUNK_MAP_FILE);
    w.string("hull.jpg");
    w.end();
    w.end();
    EXPECT_STREQ(read().textureFile, "hull.jpg");
}

TEST_F(H3DSMaterialTest, LongNamesAreCutTo254Characters) {
    const std::string longName(400, 'x');
    w.begin(CHUNK_MATERIAL_NAME);
    w.string(longName.c_str());
    w.end();
    w.begin(CHUNK_TEXTURE_MAP);
    w.begin(CHUNK_MAP_FILE);
    w.string(longName.c_str());
    w.end();
    w.end();
    const HMaterial& m = read();
    EXPECT_EQ(strlen(m.name), 254u);
    EXPECT_EQ(strlen(m.textureFile), 254u);
    EXPECT_EQ(m.colour[0], 0);
    EXPECT_EQ(m.texture, -1);
}

TEST_F(H3DSMaterialTest, NameWithoutTerminatorEndsWithItsChunk) {
    w.chunk(CHUNK_MATERIAL_NAME, "abc", 3);  // no NUL
    const uint8_t rgb[] = {1, 2, 3};
    colourChunk(CHUNK_COLOUR_24, rgb, 3);
    const HMaterial& m = read();
    EXPECT_STREQ(m.name, "abc");
    EXPECT_EQ(m.colour[2], 3);
}

// --- face materials ---------------------------------------------------------------

TEST(H3DSFaceMaterialTest, MatchesByExactNameOnly) {
    H3DSWriter w;
    openScene3ds(w);
    w.material("Hull", 1, 2, 3);
    writeMesh3ds(w, {"exact", {"Hull"}});
    writeMesh3ds(w, {"case", {"hull"}});
    writeMesh3ds(w, {"none"});
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    ASSERT_EQ(data.meshCount, 3);
    EXPECT_EQ(data.meshes[0].materialId, 0);
    EXPECT_EQ(data.meshes[1].materialId, -1);
    EXPECT_EQ(data.meshes[2].materialId, 0) << "no face material keeps the zero";
    EXPECT_FALSE(data.meshes[0].hasTexture);
}

TEST(H3DSFaceMaterialTest, MaterialDefinedLaterIsNotFound) {
    H3DSWriter w;
    openScene3ds(w);
    w.material("early", 1, 1, 1);
    writeMesh3ds(w, {"t", {"late"}});
    w.material("late", 2, 2, 2, "late.bmp");
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    EXPECT_EQ(data.meshes[0].materialId, -1);
    EXPECT_FALSE(data.meshes[0].hasTexture);
}

TEST(H3DSFaceMaterialTest, WithoutMaterialsTheIdStaysZero) {
    H3DSWriter w;
    openScene3ds(w);
    writeMesh3ds(w, {"t", {"ghost"}});
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    EXPECT_EQ(data.meshes[0].materialId, 0);
}

TEST(H3DSFaceMaterialTest, LastFaceMaterialDecidesAndTextureFlagSticks) {
    H3DSWriter w;
    openScene3ds(w);
    w.material("painted", 1, 1, 1, "paint.bmp");
    w.material("plain", 2, 2, 2);
    const float xyz[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint16_t faces[][3] = {{0, 1, 2}, {0, 2, 1}};
    const uint16_t first[] = {0};
    const uint16_t second[] = {1};
    w.beginObject("t");
    w.begin(CHUNK_TRIANGLE_MESH);
    w.vertexList(xyz, 3);
    w.beginFaceList(faces, 2);
    w.faceMaterial("painted", first, 1);
    w.faceMaterial("plain", second, 1);
    w.end();
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    EXPECT_EQ(data.meshes[0].materialId, 1);
    EXPECT_TRUE(data.meshes[0].hasTexture);
    EXPECT_EQ(data.meshes[0].faceCount, 2) << "one material for the whole mesh";
}

TEST(H3DSFaceMaterialTest, LongFaceMaterialNameMatchesTheCutMaterialName) {
    const std::string longName(300, 'q');
    H3DSWriter w;
    openScene3ds(w);
    w.material(longName.c_str(), 1, 2, 3);
    writeMesh3ds(w, {longName, {longName}});
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    EXPECT_EQ(strlen(data.meshes[0].name), 254u);
    EXPECT_EQ(data.meshes[0].materialId, 0);
}

// --- lists of the wrong size -----------------------------------------------------------

TEST(H3DSListTest, CountAboveThePayloadIsCutToThePayload) {
    H3DSWriter w;
    openScene3ds(w);
    w.beginObject("t");
    w.begin(CHUNK_VERTEX_LIST);
    w.u16(1000);  // but only two vertices follow
    for (int i = 0; i < 6; ++i) w.f32(float(i));
    w.end();
    w.begin(CHUNK_TEX_COORDS);
    w.u16(500);
    for (int i = 0; i < 3; ++i) w.f32(0.5f);  // one and a half pairs
    w.end();
    w.begin(CHUNK_FACE_LIST);
    w.u16(9);
    for (uint16_t n : {0, 1, 1, 0}) w.u16(n);
    w.end();
    w.version(3);  // the count above must have come out right to get here
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_TRUE(r.ok) << r.errors;
    ASSERT_EQ(data.meshCount, 1);
    EXPECT_EQ(data.meshes[0].vertexCount, 2);
    EXPECT_FLOAT_EQ(data.meshes[0].vertices[1].x, 3);
    EXPECT_EQ(data.meshes[0].texCoordCount, 1);
    EXPECT_EQ(data.meshes[0].faceCount, 1);
}

TEST(H3DSListTest, PayloadBeyondTheCountIsNotReadAsChunks) {
    H3DSWriter w;
    openScene3ds(w);
    w.beginObject("t");
    w.begin(CHUNK_VERTEX_LIST);
    w.u16(1);
    for (int i = 0; i < 3; ++i) w.f32(1.0f);
    w.begin(CHUNK_TEX_COORDS);  // tail that looks like a chunk, of two pairs
    w.u16(2);
    for (int i = 0; i < 4; ++i) w.f32(0.5f);
    w.end();
    w.end();
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    EXPECT_EQ(data.meshes[0].vertexCount, 1);
    EXPECT_EQ(data.meshes[0].texCoordCount, 0);
}

TEST(H3DSListTest, SecondVertexListReplacesTheFirst) {
    H3DSWriter w;
    openScene3ds(w);
    w.beginObject("t");
    const float four[12] = {};
    const float two[] = {5, 5, 5, 6, 6, 6};
    w.vertexList(four, 4);
    w.vertexList(two, 2);
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);  // ASan's leak check sees the first array freed
    EXPECT_EQ(data.meshes[0].vertexCount, 2);
    EXPECT_FLOAT_EQ(data.meshes[0].vertices[0].x, 5);
}

TEST(H3DSListTest, FacesNamingMissingVerticesAreDropped) {
    H3DSWriter w;
    openScene3ds(w);
    w.beginObject("t");
    w.begin(CHUNK_TRIANGLE_MESH);
    const uint16_t faces[][3] = {{0, 1, 2}, {0, 1, 3}, {2, 1, 0}, {65535, 0, 1}};
    w.faceList(faces, 4);  // before the vertices: checked once the object is whole
    const float xyz[9] = {};
    w.vertexList(xyz, 3);
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_TRUE(r.ok);
    EXPECT_NE(r.errors.find("2 faces"), std::string::npos) << r.errors;
    ASSERT_EQ(data.meshes[0].faceCount, 2);
    EXPECT_EQ(data.meshes[0].faces[0].index[2], 2);
    EXPECT_EQ(data.meshes[0].faces[1].index[0], 2);
}

TEST(H3DSListTest, DroppingEveryFaceLeavesNoFaceArray) {
    // From a fuzz crash: every face named a missing vertex, and the emptied
    // mesh kept a face array with a count of zero.
    H3DSWriter w;
    openScene3ds(w);
    w.beginObject("t");
    const uint16_t faces[][3] = {{0, 1, 2}};
    w.faceList(faces, 1);
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    EXPECT_EQ(data.meshes[0].faceCount, 0);
    EXPECT_EQ(data.meshes[0].faces, nullptr);
}

TEST(H3DSListTest, FullSixteenBitListsRoundTrip) {
    const size_t n = 65535;
    std::vector<Vec3> vertices(n);
    std::vector<uint16_t> faceStore(3 * n);
    for (size_t i = 0; i < n; ++i) {
        vertices[i] = Vec3(float(i), float(i % 7), -float(i % 13));
        faceStore[3 * i] = uint16_t(i);
        faceStore[3 * i + 1] = uint16_t((i + 1) % n);
        faceStore[3 * i + 2] = uint16_t((i + 2) % n);
    }
    H3DSWriter w;
    openScene3ds(w);
    w.beginObject("big");
    w.begin(CHUNK_TRIANGLE_MESH);
    ASSERT_TRUE(w.vertexListFromModel(vertices.data(), n));
    ASSERT_TRUE(w.faceList(reinterpret_cast<const uint16_t(*)[3]>(faceStore.data()), n));
    HModelData data;
    EXPECT_TRUE(readWriter(w, data).ok);
    const HMesh& mesh = data.meshes[0];
    ASSERT_EQ(mesh.vertexCount, 65535);
    ASSERT_EQ(mesh.faceCount, 65535);
    EXPECT_EQ(mesh.faces[65534].index[2], 1);
    // vertexListFromModel undoes the reader's change of axes.
    EXPECT_FLOAT_EQ(mesh.vertices[65534].x, 65534.0f);
    EXPECT_FLOAT_EQ(mesh.vertices[65534].y, float(65534 % 7));
    EXPECT_FLOAT_EQ(mesh.vertices[65534].z, -float(65534 % 13));
}

// --- damaged files ------------------------------------------------------------------------

namespace {

// A model with a bit of everything, for cutting up.
std::vector<uint8_t> richModel() {
    H3DSWriter w;
    openScene3ds(w);
    w.material("a", 1, 2, 3, "a.bmp");
    w.material("b", 4, 5, 6);
    writeMesh3ds(w, {"one", {"a"}});
    writeMesh3ds(w, {"two", {"b"}});
    w.endAll();
    return w.data();
}

}  // namespace

TEST(H3DSDamageTest, EveryTruncationStopsCleanlyAndKeepsAPrefix) {
    const std::vector<uint8_t> whole = richModel();
    HModelData full;
    ASSERT_TRUE(readBytes(whole, full).ok);
    for (size_t size = 6; size < whole.size(); ++size) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
        HModelData data;
        const ReadResult r = readBytes(cut, data);
        EXPECT_FALSE(r.ok) << size;
        EXPECT_NE(r.errors.find("Stopped reading test.3ds"), std::string::npos) << size;
        ASSERT_LE(data.materialCount, full.materialCount);
        ASSERT_LE(data.meshCount, full.meshCount);
        for (int32_t i = 0; i < data.meshCount; ++i) {
            const HMesh& mesh = data.meshes[i];
            // A list cut short is dropped whole: no count without its array.
            ASSERT_TRUE(mesh.vertexCount == 0 || mesh.vertices != nullptr) << size;
            ASSERT_TRUE(mesh.faceCount == 0 || mesh.faces != nullptr) << size;
            ASSERT_TRUE(mesh.texCoordCount == 0 || mesh.texCoords != nullptr) << size;
            for (int32_t f = 0; f < mesh.faceCount; ++f)
                for (int c = 0; c < 3; ++c) ASSERT_LT(mesh.faces[f].index[c], mesh.vertexCount);
        }
    }
}

// The message names the file, the byte where reading stopped and the chunk
// being read: here a vertex list promising three vertices and holding one.
TEST(H3DSDamageTest, FileEndingInsideAListSaysWhereAndInWhichChunk) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.begin(CHUNK_EDITOR);
    w.beginObject("o");
    w.begin(CHUNK_TRIANGLE_MESH);
    w.begin(CHUNK_VERTEX_LIST);
    w.u16(3);
    for (int i = 0; i < 3; ++i) w.f32(1.0f);
    w.endAll();
    std::vector<uint8_t> bytes = w.data();
    // The chunk lengths promise 24 more bytes than there are.
    for (size_t at : {size_t(2), size_t(8), size_t(14), size_t(22), size_t(28)}) bytes[at] += 24;
    HModelData data;
    const ReadResult r = readBytes(bytes, data);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, "Stopped reading test.3ds at byte " + std::to_string(bytes.size()) +
                            ": chunk 0x4110 ends with the file\n");
    ASSERT_EQ(data.meshCount, 1);
    EXPECT_EQ(data.meshes[0].vertexCount, 0);
}

TEST(H3DSDamageTest, ChunkShorterThanItsHeaderStopsTheRead) {
    H3DSWriter w;
    openScene3ds(w);
    w.material("kept", 1, 2, 3);
    w.rawHeader(0x1234, 3);
    w.u32(0);
    w.material("lost", 1, 2, 3);
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errors.find("chunk 0x1234 is shorter than its own header"), std::string::npos) << r.errors;
    ASSERT_EQ(data.materialCount, 1);
    EXPECT_STREQ(data.materials[0].name, "kept");
}

TEST(H3DSDamageTest, ZeroLengthChunkDoesNotLoopForever) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.rawHeader(CHUNK_VERSION, 0);
    w.u32(0);
    HModelData data;
    EXPECT_FALSE(readWriter(w, data).ok);
}

TEST(H3DSDamageTest, ChildRunningPastItsParentStopsTheRead) {
    H3DSWriter w;
    openScene3ds(w);
    w.begin(CHUNK_MATERIAL);
    w.begin(CHUNK_MATERIAL_NAME);
    w.string("m");
    w.end();
    w.rawHeader(CHUNK_DIFFUSE, 1000);  // far longer than the material
    w.end();
    w.material("sibling", 1, 1, 1);
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errors.find("chunk 0xA020 runs past its parent"), std::string::npos) << r.errors;
    ASSERT_EQ(data.materialCount, 1);
    EXPECT_STREQ(data.materials[0].name, "m");
}

TEST(H3DSDamageTest, MainChunkLongerThanTheFileStopsAtItsEnd) {
    H3DSWriter w;
    w.rawHeader(CHUNK_MAIN, 0xFFFFFFFF);
    w.version(3);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    w.material("m", 1, 2, 3);
    w.end();
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(data.materialCount, 1);
}

TEST(H3DSDamageTest, SkippingPastTheEndOfTheFileIsNoticed) {
    H3DSWriter w;
    w.rawHeader(CHUNK_MAIN, 6 + 6 + 1000000);
    w.rawHeader(CHUNK_KEYFRAMER, 6 + 1000000);
    w.u32(1);
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errors.find("ends with the file"), std::string::npos) << r.errors;
}

TEST(H3DSDamageTest, DeepNestingStopsAtTheLimitInsteadOfOverflowingTheStack) {
    // Triangle mesh chunks inside each other: each is read at the object
    // level, one recursion per chunk.
    const int depth = 100000;
    std::vector<uint8_t> bytes;
    auto header = [&bytes](uint16_t id, uint32_t length) {
        for (int i = 0; i < 2; ++i) bytes.push_back(uint8_t(id >> (8 * i)));
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(length >> (8 * i)));
    };
    const uint32_t object = 6 + 2 + 6 * depth;
    header(CHUNK_MAIN, 6 + object);
    header(CHUNK_NAMED_OBJECT, object);
    bytes.push_back('o');
    bytes.push_back(0);
    for (int i = 0; i < depth; ++i) header(CHUNK_TRIANGLE_MESH, 6 * (depth - i));
    HModelData data;
    const ReadResult r = readBytes(bytes, data);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errors.find("nested deeper than the limit of 32 levels"), std::string::npos) << r.errors;
    EXPECT_EQ(data.meshCount, 1);
}

// Chunks nested through each level that reads nested chunks of its own kind
// (editor in editor, triangle mesh in triangle mesh, texture map in texture
// map): 32 levels below the main chunk are read, the 33rd stops the read.
TEST(H3DSDamageTest, NestingIsReadDownTo32LevelsAndNoFurther) {
    struct Level {
        const char* name;
        std::vector<uint16_t> outer;  // chunks around the nested ones, outermost first
        uint16_t nested;
    };
    const Level levels[] = {{"main", {}, CHUNK_EDITOR},
                            {"object", {CHUNK_NAMED_OBJECT}, CHUNK_TRIANGLE_MESH},
                            {"material", {CHUNK_EDITOR, CHUNK_MATERIAL}, CHUNK_TEXTURE_MAP}};
    for (const Level& level : levels) {
        for (int below : {32, 33}) {
            SCOPED_TRACE(testing::Message() << level.name << ", " << below << " levels");
            H3DSWriter w;
            w.begin(CHUNK_MAIN);
            for (uint16_t id : level.outer) {
                w.begin(id);
                if (id == CHUNK_NAMED_OBJECT) w.string("o");
            }
            for (size_t i = level.outer.size(); i < size_t(below); ++i) w.begin(level.nested);
            HModelData data;
            const ReadResult r = readWriter(w, data);
            EXPECT_EQ(r.ok, below == 32) << r.errors;
            EXPECT_EQ(r.errors.find("nested deeper than the limit") != std::string::npos, below == 33) << r.errors;
        }
    }
}

TEST(H3DSDamageTest, LeftoverBytesTooShortForAChunkStopTheRead) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.version(3);
    w.u16(0x0002);  // two stray bytes at the end of the main chunk
    HModelData data;
    const ReadResult r = readWriter(w, data);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errors.find("cannot hold a chunk"), std::string::npos) << r.errors;
}

// --- the writer's own contract ------------------------------------------------------------

TEST(H3DSWriterTest, ListsUpToTheSixteenBitLimitAreTakenAndLongerOnesRefused) {
    std::vector<float> floats(3 * 65536, 0.0f);
    std::vector<uint16_t> faces(3 * 65536, 0);
    const auto* faceList = reinterpret_cast<const uint16_t(*)[3]>(faces.data());
    const std::vector<Vec3> points(65536);
    const char* lists[] = {"vertices", "faces", "faces with a material", "texture coordinates", "model vertices"};
    for (size_t count : {size_t(65535), size_t(65536)}) {
        const bool fits = count == 65535;
        for (int list = 0; list < 5; ++list) {
            SCOPED_TRACE(testing::Message() << lists[list] << ", " << count);
            H3DSWriter w;
            w.begin(CHUNK_MAIN);
            testing::internal::CaptureStderr();
            const bool added = list == 0   ? w.vertexList(floats.data(), count)
                               : list == 1 ? w.faceList(faceList, count)
                               : list == 2 ? w.faceMaterial("m", faces.data(), count)
                               : list == 3 ? w.texCoordList(floats.data(), count)
                                           : w.vertexListFromModel(points.data(), count);
            const std::string errors = testing::internal::GetCapturedStderr();
            EXPECT_EQ(added, fits);
            EXPECT_EQ(w.ok(), fits);
            EXPECT_EQ(errors.find("65535") != std::string::npos, !fits) << errors;
            if (!fits) {
                EXPECT_FALSE(w.writeTo(stdout));
            }
        }
    }
}

// The writer's ids, layout and change of axes against the file typed by
// hand: the artwork baker's files are read by other programs too.
TEST(H3DSWriterTest, WritesTheFileTypedByHandByteForByte) {
    EXPECT_EQ(model3dsBytes(handMadeShipModel()), handMadeShip3ds());
}

// A full disk is noticed when the file is closed at the latest.
TEST(H3DSWriterTest, WriteThatCannotBeCompletedFails) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.version(3);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(w.writeFile("/dev/full"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "H3DSWriter: cannot write /dev/full\n");
}

TEST(H3DSWriterTest, EndWithoutBeginFails) {
    H3DSWriter w;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(w.end());
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(w.ok());
}

TEST(H3DSWriterTest, LengthsCountHeadersAndNestedChunks) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.version(3);
    w.meshVersion(7);
    w.end();
    const std::vector<uint8_t>& b = w.data();
    ASSERT_EQ(b.size(), 26u);
    EXPECT_EQ(b[0] | (b[1] << 8), CHUNK_MAIN);
    EXPECT_EQ(b[2], 26);  // 6 + two 10-byte version chunks
    EXPECT_EQ(b[8], 10);
    EXPECT_EQ(b[12], 3);
    EXPECT_EQ(b[16] | (b[17] << 8), CHUNK_MESH_VERSION);
    EXPECT_EQ(b[18], 10);
    EXPECT_EQ(b[22], 7);
    FILE* file = tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(w.writeTo(file));
    EXPECT_EQ(ftell(file), 26);
    fclose(file);

    // A face material as other programs read it: the name, then the count
    // and the numbers of its faces.
    H3DSWriter m;
    const uint16_t faces[][3] = {{0, 1, 2}, {2, 1, 0}};
    m.faceList(faces, 2, "ab");
    m.endAll();
    const std::vector<uint8_t>& f = m.data();
    const std::vector<uint8_t> material(f.end() - 15, f.end());
    EXPECT_EQ(material, (std::vector<uint8_t>{0x30, 0x41, 15, 0, 0, 0, 'a', 'b', 0, 2, 0, 0, 0, 1, 0}));
}
