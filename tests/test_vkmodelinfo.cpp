// Tests of the vk-modelinfo tool, run as a program the way the artwork
// checks run it: one JSON line per file, exit code 1 when a file was not
// read; with --check, what the game will do with each file and warnings, exit
// code 1 when the game would draw one differently from its file. The tool is
// found next to the game, one directory above this test.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/models3ds.h"
#include "support/pictures.h"
#include "support/tempdir.h"
#include "support/toolrun.h"

namespace {

ToolRun runTool(const std::string& arguments) { return ::runTool("vk-modelinfo", arguments); }

class VkModelInfoTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string tool = toolPath("vk-modelinfo");
        if (access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "vk-modelinfo not built: " << tool;
    }
    ScopedTempDir dir;
};

}  // namespace

TEST_F(VkModelInfoTest, DescribesA3dsModelWithFieldNamesAsKeys) {
    ASSERT_TRUE(write3ds("ship.3ds", Model3ds({{"hull", 0x010203, "hull.bmp"}},
                                              {{"body", {"hull"}, Mesh3ds::triangle(), {0, 0, 1, 0, 0, 1}}})));
    const ToolRun run = runTool("ship.3ds");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "{\"file\": \"ship.3ds\", \"materials\": [{\"name\": \"hull\", \"colour\": [1, 2, 3], "
              "\"textureFile\": \"hull.bmp\"}], \"meshes\": [{\"name\": \"body\", \"vertexCount\": 3, "
              "\"faceCount\": 1, \"texCoordCount\": 3, \"materialId\": 0, \"hasTexture\": true}]}\n");
}

TEST_F(VkModelInfoTest, EveryFileGetsItsLineAndFailuresSetTheExitCode) {
    dir.write("bar.txt", "300 0 7 0 0 0 1 0 0 0 1 0");
    const ToolRun run = runTool("bar.txt missing.3ds missing.txt other.obj");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "{\"file\": \"bar.txt\", \"materials\": [{\"name\": \"\", \"colour\": [44, 0, 7], "
              "\"textureFile\": \"\"}], \"meshes\": [{\"name\": \"\", \"vertexCount\": 3, \"faceCount\": 1, "
              "\"texCoordCount\": 0, \"materialId\": 0, \"hasTexture\": false}]}\n"
              "{\"file\": \"missing.3ds\", \"materials\": [], \"meshes\": []}\n"
              "{\"file\": \"missing.txt\", \"materials\": [], \"meshes\": []}\n"
              "{\"file\": \"other.obj\", \"materials\": [], \"meshes\": []}\n");
    EXPECT_EQ(runTool("bar.txt").exitCode, 0);
}

TEST_F(VkModelInfoTest, NamesAreEscapedIntoValidJson) {
    // Quote, backslash, a control character, valid UTF-8, and a lone Latin-1
    // byte that is not UTF-8.
    ASSERT_TRUE(write3ds("names.3ds", Model3ds({{"a\"b\\c\td\xc3\xa9" "e\xe9"}})));
    const ToolRun run = runTool("names.3ds");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("\"name\": \"a\\\"b\\\\c\\u0009d\xc3\xa9" "e\\u00e9\""), std::string::npos) << run.out;
}

TEST_F(VkModelInfoTest, DamagedFileKeepsWhatWasReadAndFails) {
    std::vector<uint8_t> bytes = model3dsBytes(Model3ds({{"kept", 0x090909}}));
    bytes.resize(bytes.size() - 4);  // cut inside the material
    dir.write("cut.3ds", std::string(bytes.begin(), bytes.end()));
    const ToolRun run = runTool("cut.3ds");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("\"name\": \"kept\""), std::string::npos) << run.out;
}

TEST_F(VkModelInfoTest, NoArgumentsIsAUsageError) {
    EXPECT_EQ(runTool("").exitCode, 2);
    EXPECT_EQ(runTool("--check").exitCode, 2);
}

namespace {

// A box-shaped model of half-sizes (hx, hy, hz) in model coordinates, one
// mesh in material "m" of colour 1 2 3, written as the game's artwork is:
// materials first.
Model3ds box(float hx = 2.8f, float hy = 0.9f, float hz = 0.5f) {
    std::vector<Vec3> corners;
    for (int i = 0; i < 8; ++i) corners.push_back(Vec3(i & 1 ? hx : -hx, i & 2 ? hy : -hy, i & 4 ? hz : -hz));
    const std::vector<uint16_t> faces = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                                         2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
    return Model3ds({{"m", 0x010203}}, {{"hull", {"m"}, corners, {}, faces}});
}

// The box with a texture on "m" and that many texture coordinates.
Model3ds texturedBox(const char* texture, size_t texCoords) {
    Model3ds m = box();
    m.materials[0].texture = texture;
    m.meshes[0].uv.assign(2 * texCoords, 0.5f);
    return m;
}

struct CheckCase {
    const char* name;
    std::function<void(ScopedTempDir&)> files;
    const char* arguments;
    int exitCode;
    std::vector<const char*> says;
};

Model3ds with(std::function<void(Model3ds&)> change) {
    Model3ds m = box();
    change(m);
    return m;
}

}  // namespace

TEST_F(VkModelInfoTest, CheckSaysWhatTheGameWillDoAndWarnsOfEachProblem) {
    const auto model = [](const char* file, Model3ds m, size_t cutBytes = 0) {
        return [file, m, cutBytes](ScopedTempDir& d) {
            const std::vector<uint8_t> bytes = model3dsBytes(m);
            d.write(file, std::string(bytes.begin(), bytes.end() - cutBytes));
        };
    };
    const CheckCase cases[] = {
        // Sound files: a ship that fits its box, read whole, and one whose
        // editor chunk begins with a material rather than the mesh version.
        {"sound", model("ship.3ds", box()), "ship.3ds", 0,
         {"reads it as a 3DS model", "replaces the right player's ship", "in colour 1 2 3 (material \"m\")",
          "5.60 x 1.80", "draws it as the file describes"}},
        {"material first", model("ship2.3ds", with([](Model3ds& m) { m.meshVersionFirst = false; })), "ship2.3ds",
         0, {"replaces the left player's ship", "(material \"m\")", "draws it as the file describes"}},
        {"upper-case name", model("SHIP.3DS", box()), "SHIP.3DS", 1,
         {"lower-case 's'", "rename it \"ship.3ds\"", "would replace the right player's ship", "differently"}},
        {"texture missing", model("ship.3ds", texturedBox("gone.bmp", 8)),
         "ship.3ds", 1, {"\"gone.bmp\" is missing", "drawn white"}},
        {"texture not a picture",
         [&](ScopedTempDir& d) {
             model("ship.3ds", texturedBox("notes.bmp", 8))(d);
             d.write("notes.bmp", "not a picture");
         },
         "ship.3ds", 1, {"\"notes.bmp\" cannot be decoded"}},
        {"texture not a power of two",
         [&](ScopedTempDir& d) {
             model("ship.3ds", texturedBox("odd.bmp", 8))(d);
             ASSERT_TRUE(writeBmp("odd.bmp", plainPicture(100, 64, 0)));
         },
         "ship.3ds", 1, {"\"odd.bmp\" is 100 x 64", "powers of two"}},
        {"texture too large",
         [&](ScopedTempDir& d) {
             model("ship.3ds", texturedBox("wide.bmp", 8))(d);
             ASSERT_TRUE(writeBmp("wide.bmp", plainPicture(4096, 2, 0)));
         },
         "ship.3ds", 1, {"\"wide.bmp\" is 4096 x 2, larger than 2048"}},
        {"texture not 24-bit",
         [&](ScopedTempDir& d) {
             model("ship.3ds", texturedBox("grey.bmp", 8))(d);
             ASSERT_TRUE(writeBmp("grey.bmp", plainPicture(64, 64, 0), 8));
         },
         "ship.3ds", 1, {"\"grey.bmp\" has 1 bytes a pixel"}},
        {"too few texture coordinates",
         [&](ScopedTempDir& d) {
             model("ship.3ds", texturedBox("hull.bmp", 3))(d);
             ASSERT_TRUE(writeBmp("hull.bmp", plainPicture(64, 64, 0)));
         },
         "ship.3ds", 1, {"3 texture coordinates for 8 vertices"}},
        {"no material", model("ship.3ds", with([](Model3ds& m) { m.meshes[0].materials.clear(); })), "ship.3ds",
         1, {"names no material", "first material, \"m\""}},
        {"material the file lacks", model("ship.3ds", with([](Model3ds& m) { m.meshes[0].materials = {"nowhere"}; })),
         "ship.3ds", 1, {"\"nowhere\", which the file does not have"}},
        {"material after the mesh",
         model("ship.3ds", with([](Model3ds& m) {
                   m.meshes[0].materials = {"late"};
                   m.lateMaterials = {{"late", 0x040506}};
               })),
         "ship.3ds", 1, {"\"late\", which the file defines only after the mesh"}},
        {"two materials on one mesh",
         model("ship.3ds", with([](Model3ds& m) {
                   m.materials.push_back({"n", 0x010203});
                   m.meshes[0].materials = {"m", "n"};
               })),
         "ship.3ds", 1, {"gives its faces 2 materials", "with the last named, \"n\""}},
        {"near the vertex limit", model("ship.3ds", with([](Model3ds& m) { m.meshes[0].points.resize(60000); })),
         "ship.3ds", 0, {"60000 vertices", "near the 65535"}},
        {"damaged", model("ship.3ds", box(), 20), "ship.3ds", 1,
         {"reader stopped early", "1 materials and 1 meshes"}},
        {"missing 3DS file", [](ScopedTempDir&) {}, "ship.3ds", 1, {"cannot be opened"}},
        {"not a 3DS file", [](ScopedTempDir& d) { d.write("ship.3ds", "255 0 0"); }, "ship.3ds", 1,
         {"not a 3DS file"}},
        {"no vertices", model("ship.3ds", with([](Model3ds& m) { m.meshes.clear(); })),
         "ship.3ds", 1, {"no vertices"}},
        {"ship far larger", model("ship.3ds", box(8.0f, 3.0f, 4.0f)),
         "ship.3ds", 0,
         {"far larger than its collision box", "swing to y", "crosses into the other player's half",
          "leaves a 4:3 window", "even a 16:9 window"}},
        {"ship far smaller", model("ship.3ds", box(1.0f, 0.3f, 0.3f)),
         "ship.3ds", 0, {"far smaller than its collision box"}},
        {"shot far larger", model("zat.3ds", box(2.0f, 2.0f, 0.1f)),
         "zat.3ds", 0, {"replaces the right player's shots", "far larger than its box"}},
        {"shot far smaller", model("zat2.3ds", box(0.3f, 0.3f, 0.1f)),
         "zat2.3ds", 0, {"far smaller than its box"}},
        {"logo far larger", model("logo.3ds", box(12.0f, 2.0f, 0.3f)),
         "logo.3ds", 0, {"replaces the logo", "leaves a 4:3 window as it turns"}},
        {"logo far smaller", model("logo.3ds", box(2.0f, 0.5f, 0.3f)),
         "logo.3ds", 0, {"far smaller than its place"}},
        // Text models: numbers missing, a colour out of range, a bar out of a 4:3 window at full health.
        {"missing text file", [](ScopedTempDir&) {}, "lives_left.txt", 1, {"cannot be opened"}},
        {"text numbers missing", [](ScopedTempDir& d) { d.write("lives_left.txt", "40 150 255 0 1"); },
         "lives_left.txt", 1, {"one-triangle text model", "only 5 of the 12 numbers"}},
        {"text colour out of range",
         [](ScopedTempDir& d) { d.write("lives_left.txt", "300 150 255 0 -0.3 20 -16 0 20 0 0.3 20"); },
         "lives_left.txt", 1, {"300 is out of 0 .. 255", "low 8 bits, 44"}},
        {"bar out of view", [](ScopedTempDir& d) { d.write("lives_right.txt", "255 110 30 20 -0.6 0 38 0 0 20 0.6 0"); },
         "lives_right.txt", 0, {"replaces the right player's health bar", "runs from 1.04", "never see their health"}},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir scratch;
        c.files(scratch);
        const ToolRun run = runTool(std::string("--check ") + c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
        for (const char* words : c.says) EXPECT_NE(run.out.find(words), std::string::npos) << words << "\n" << run.out;
        // Each file gets exactly the warnings its case is about: none for a
        // sound one.
        if (std::string(c.name) == "sound" || std::string(c.name) == "material first") {
            EXPECT_EQ(run.out.find("warning:"), std::string::npos) << run.out;
        }
    }
}
