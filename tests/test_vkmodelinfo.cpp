// Tests of the vk-modelinfo tool, run as a program the way the artwork
// checks run it: one JSON line per file, exit code 1 when a file was not
// read. The tool is found next to the game, one directory above this test.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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

TEST_F(VkModelInfoTest, NoArgumentsIsAUsageError) { EXPECT_EQ(runTool("").exitCode, 2); }
