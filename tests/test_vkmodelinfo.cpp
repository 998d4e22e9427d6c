// Tests of the vk-modelinfo tool, run as a program the way the artwork
// checks run it: one JSON line per file, exit code 1 when a file was not
// read; with --check, what the game will do with each file and warnings, exit
// code 1 when the game would draw one differently from its file. The tool is
// found next to the game, one directory above this test.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "assets/h3dsformat.h"
#include "assets/h3dswriter.h"
#include "support/tempdir.h"

using namespace h3ds;

namespace {

std::string toolPath() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    self[n] = '\0';
    std::string dir(self);
    dir = dir.substr(0, dir.rfind('/'));  // build/tests
    return dir.substr(0, dir.rfind('/')) + "/vk-modelinfo";
}

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

ToolRun runTool(const std::string& arguments) {
    ToolRun run;
    const std::string command = toolPath() + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class VkModelInfoTest : public testing::Test {
protected:
    void SetUp() override {
        if (access(toolPath().c_str(), X_OK) != 0) GTEST_SKIP() << "vk-modelinfo not built: " << toolPath();
    }
    ScopedTempDir dir;
};

}  // namespace

TEST_F(VkModelInfoTest, DescribesA3dsModelWithFieldNamesAsKeys) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    w.material("hull", 1, 2, 3, "hull.bmp");
    const float xyz[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const float uv[] = {0, 0, 1, 0, 0, 1};
    const uint16_t faces[][3] = {{0, 1, 2}};
    w.beginObject("body");
    w.vertexList(xyz, 3);
    w.faceList(faces, 1, "hull");
    w.texCoordList(uv, 3);
    ASSERT_TRUE(w.writeFile("ship.3ds"));
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
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    w.material("a\"b\\c\td\xc3\xa9" "e\xe9", 0, 0, 0);
    ASSERT_TRUE(w.writeFile("names.3ds"));
    const ToolRun run = runTool("names.3ds");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("\"name\": \"a\\\"b\\\\c\\u0009d\xc3\xa9" "e\\u00e9\""), std::string::npos) << run.out;
}

TEST_F(VkModelInfoTest, DamagedFileKeepsWhatWasReadAndFails) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.begin(CHUNK_EDITOR);
    w.meshVersion(3);
    w.material("kept", 9, 9, 9);
    w.endAll();
    std::vector<uint8_t> bytes = w.data();
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
// mesh, written as the game's artwork is: materials first.
struct BoxModel {
    float hx = 2.8f, hy = 0.9f, hz = 0.5f;
    std::vector<std::string> before = {"m"};  // materials ahead of the mesh
    std::vector<std::string> faces = {"m"};   // face material chunks, in order
    std::vector<std::string> after;           // materials after the mesh
    const char* texture = nullptr;            // texture of material "m"
    int texCoords = 0;
    bool meshVersionFirst = true;  // false: the editor's first child is a material
    bool mesh = true;              // false: materials only
    int padVertices = 0;           // extra vertices at the origin
    size_t cutBytes = 0;           // bytes cut off the end: a damaged file
};

std::string bytesOf(const BoxModel& m) {
    H3DSWriter w;
    w.begin(CHUNK_MAIN);
    w.version(3);
    w.begin(CHUNK_EDITOR);
    if (m.meshVersionFirst) w.meshVersion(3);
    for (const std::string& name : m.before) w.material(name.c_str(), 1, 2, 3, name == "m" ? m.texture : nullptr);
    std::vector<Vec3> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back(Vec3(i & 1 ? m.hx : -m.hx, i & 2 ? m.hy : -m.hy, i & 4 ? m.hz : -m.hz));
    corners.resize(corners.size() + m.padVertices);
    const uint16_t faces[][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                 {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
    if (!m.mesh) {
        w.endAll();
        return std::string(w.data().begin(), w.data().end());
    }
    w.beginObject("hull");
    w.begin(CHUNK_TRIANGLE_MESH);
    w.vertexListFromModel(corners.data(), corners.size());
    w.beginFaceList(faces, 12);
    const uint16_t all[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (const std::string& name : m.faces) w.faceMaterial(name.c_str(), all, 12);
    w.end();  // face list
    if (m.texCoords > 0) {
        const std::vector<float> uv(2 * m.texCoords, 0.5f);
        w.texCoordList(uv.data(), m.texCoords);
    }
    w.end();  // triangle mesh
    w.end();  // object
    for (const std::string& name : m.after) w.material(name.c_str(), 4, 5, 6);
    w.endAll();
    std::vector<uint8_t> bytes = w.data();
    bytes.resize(bytes.size() - m.cutBytes);
    return std::string(bytes.begin(), bytes.end());
}

// A BMP picture through SDL, as a model maker's paint program would save it.
void savePicture(const char* name, int width, int height, int bitsPerPixel) {
    SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, bitsPerPixel, 0, 0, 0, 0);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(SDL_SaveBMP(picture, name), 0);
    SDL_FreeSurface(picture);
}

struct CheckCase {
    const char* name;
    std::function<void(ScopedTempDir&)> files;
    const char* arguments;
    int exitCode;
    std::vector<const char*> says;
};

BoxModel with(std::function<void(BoxModel&)> change) {
    BoxModel m;
    change(m);
    return m;
}

}  // namespace

TEST_F(VkModelInfoTest, CheckSaysWhatTheGameWillDoAndWarnsOfEachProblem) {
    const auto model = [](const char* file, BoxModel m) {
        return [file, m](ScopedTempDir& d) { d.write(file, bytesOf(m)); };
    };
    const CheckCase cases[] = {
        // Sound files: a ship that fits its box, read whole, and one whose
        // editor chunk begins with a material rather than the mesh version.
        {"sound", model("ship.3ds", BoxModel()), "ship.3ds", 0,
         {"reads it as a 3DS model", "replaces the right player's ship", "in colour 1 2 3 (material \"m\")",
          "5.60 x 1.80", "draws it as the file describes"}},
        {"material first", model("ship2.3ds", with([](BoxModel& m) { m.meshVersionFirst = false; })), "ship2.3ds",
         0, {"replaces the left player's ship", "(material \"m\")", "draws it as the file describes"}},
        {"upper-case name", model("SHIP.3DS", BoxModel()), "SHIP.3DS", 1,
         {"lower-case 's'", "rename it \"ship.3ds\"", "would replace the right player's ship", "differently"}},
        {"texture missing", model("ship.3ds", with([](BoxModel& m) { m.texture = "gone.bmp"; m.texCoords = 8; })),
         "ship.3ds", 1, {"\"gone.bmp\" is missing", "drawn white"}},
        {"texture not a picture",
         [&](ScopedTempDir& d) {
             model("ship.3ds", with([](BoxModel& m) { m.texture = "notes.bmp"; m.texCoords = 8; }))(d);
             d.write("notes.bmp", "not a picture");
         },
         "ship.3ds", 1, {"\"notes.bmp\" cannot be decoded"}},
        {"texture not a power of two",
         [&](ScopedTempDir& d) {
             model("ship.3ds", with([](BoxModel& m) { m.texture = "odd.bmp"; m.texCoords = 8; }))(d);
             savePicture("odd.bmp", 100, 64, 24);
         },
         "ship.3ds", 1, {"\"odd.bmp\" is 100 x 64", "powers of two"}},
        {"texture too large",
         [&](ScopedTempDir& d) {
             model("ship.3ds", with([](BoxModel& m) { m.texture = "wide.bmp"; m.texCoords = 8; }))(d);
             savePicture("wide.bmp", 4096, 2, 24);
         },
         "ship.3ds", 1, {"\"wide.bmp\" is 4096 x 2, larger than 2048"}},
        {"texture not 24-bit",
         [&](ScopedTempDir& d) {
             model("ship.3ds", with([](BoxModel& m) { m.texture = "grey.bmp"; m.texCoords = 8; }))(d);
             savePicture("grey.bmp", 64, 64, 8);
         },
         "ship.3ds", 1, {"\"grey.bmp\" has 1 bytes a pixel"}},
        {"too few texture coordinates",
         [&](ScopedTempDir& d) {
             model("ship.3ds", with([](BoxModel& m) { m.texture = "hull.bmp"; m.texCoords = 3; }))(d);
             savePicture("hull.bmp", 64, 64, 24);
         },
         "ship.3ds", 1, {"3 texture coordinates for 8 vertices"}},
        {"no material", model("ship.3ds", with([](BoxModel& m) { m.faces.clear(); })), "ship.3ds", 1,
         {"names no material", "first material, \"m\""}},
        {"material the file lacks", model("ship.3ds", with([](BoxModel& m) { m.faces = {"nowhere"}; })), "ship.3ds",
         1, {"\"nowhere\", which the file does not have"}},
        {"material after the mesh",
         model("ship.3ds", with([](BoxModel& m) { m.faces = {"late"}; m.after = {"late"}; })), "ship.3ds", 1,
         {"\"late\", which the file defines only after the mesh"}},
        {"two materials on one mesh",
         model("ship.3ds", with([](BoxModel& m) { m.before = {"m", "n"}; m.faces = {"m", "n"}; })), "ship.3ds", 1,
         {"gives its faces 2 materials", "with the last named, \"n\""}},
        {"near the vertex limit", model("ship.3ds", with([](BoxModel& m) { m.padVertices = 59992; })), "ship.3ds", 0,
         {"60000 vertices", "near the 65535"}},
        {"damaged", model("ship.3ds", with([](BoxModel& m) { m.cutBytes = 20; })), "ship.3ds", 1,
         {"reader stopped early", "1 materials and 1 meshes"}},
        {"missing 3DS file", [](ScopedTempDir&) {}, "ship.3ds", 1, {"cannot be opened"}},
        {"not a 3DS file", [](ScopedTempDir& d) { d.write("ship.3ds", "255 0 0"); }, "ship.3ds", 1,
         {"not a 3DS file"}},
        {"no vertices", model("ship.3ds", with([](BoxModel& m) { m.mesh = false; })),
         "ship.3ds", 1, {"no vertices"}},
        {"ship far larger", model("ship.3ds", with([](BoxModel& m) { m.hx = 8.0f; m.hy = 3.0f; m.hz = 4.0f; })),
         "ship.3ds", 0,
         {"far larger than its collision box", "swing to y", "crosses into the other player's half",
          "leaves a 4:3 window"}},
        {"ship far smaller", model("ship.3ds", with([](BoxModel& m) { m.hx = 1.0f; m.hy = 0.3f; m.hz = 0.3f; })),
         "ship.3ds", 0, {"far smaller than its collision box"}},
        {"shot far larger", model("zat.3ds", with([](BoxModel& m) { m.hx = 2.0f; m.hy = 2.0f; m.hz = 0.1f; })),
         "zat.3ds", 0, {"replaces the right player's shots", "far larger than its box"}},
        {"shot far smaller", model("zat2.3ds", with([](BoxModel& m) { m.hx = 0.3f; m.hy = 0.3f; m.hz = 0.1f; })),
         "zat2.3ds", 0, {"far smaller than its box"}},
        {"logo far larger", model("logo.3ds", with([](BoxModel& m) { m.hx = 12.0f; m.hy = 2.0f; m.hz = 0.3f; })),
         "logo.3ds", 0, {"replaces the logo", "leaves a 4:3 window as it turns"}},
        {"logo far smaller", model("logo.3ds", with([](BoxModel& m) { m.hx = 2.0f; m.hy = 0.5f; m.hz = 0.3f; })),
         "logo.3ds", 0, {"far smaller than its place"}},
        // Text models: numbers missing, a colour out of range, a bar that
        // stays in view of wide windows at health 0.
        {"missing text file", [](ScopedTempDir&) {}, "lives_left.txt", 1, {"cannot be opened"}},
        {"text numbers missing", [](ScopedTempDir& d) { d.write("lives_left.txt", "40 150 255 0 1"); },
         "lives_left.txt", 1, {"one-triangle text model", "only 5 of the 12 numbers"}},
        {"text colour out of range",
         [](ScopedTempDir& d) { d.write("lives_left.txt", "300 150 255 0 -0.3 20 -16 0 20 0 0.3 20"); },
         "lives_left.txt", 1, {"300 is out of 0 .. 255", "low 8 bits, 44"}},
        {"bar in view at health 0",
         [](ScopedTempDir& d) { d.write("lives_right.txt", "255 110 30 0 -0.6 0 18.8 0 0 0 0.6 0"); },
         "lives_right.txt", 0, {"replaces the right player's health bar", "still in view in windows wider than 1.39:1"}},
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
