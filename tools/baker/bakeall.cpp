// bakeall.cpp: writes each picture, model and the settings file.
#include "baker/bakeall.h"

#include <cstdio>  // Required for: fopen, fputs, fclose, fprintf

#include "baker/bimagefile.h"
#include "baker/bmodels.h"
#include "baker/bpictures.h"
#include "baker/bsounds.h"
#include "baker/btextatlas.h"
#include "screens/msettings.h"  // Required for: MSettings::PICTURE
#include "config/settings.h"  // Required for: SETTING_FIELDS, the defaults the shipped file holds

#ifndef VEKTORAK_FONT_DIR
#define VEKTORAK_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace {

// The settings file: the defaults' numbers, then what each one means with
// its range and default, all from the game's own table (config/settings.h),
// so that the shipped file is what the settings screen's Defaults restore.
// The explanation is free text: the game reads nothing after the ninth
// number, and the frame limit and the demo's wait, left at their defaults,
// are not written.
std::string settingsFile() {
    const char* const meaning[SETTING_COUNT] = {
        "window width in pixels, 0 the display's",
        "window height in pixels, 0 the display's",
        "colour depth in bits; 0 takes the display's own",
        "1 starts in full screen, 0 in a window; F1 switches",
        "0 nearest, 1 linear, 2 linear with mipmaps",
        "loudness of the effects, 0 silent",
        "loudness of the music, 0 silent",
        "an eighth number: frames a second at most, 0 no limit",
        "a ninth: seconds the idle menu waits for a demo, 0 never",
    };
    std::string text = defaultSettingsLine() + "\n\nVektorak settings: the numbers above, in this order.\n";
    for (int32_t i = 0; i < SETTING_COUNT; i++) {
        const HSettingField& field = SETTING_FIELDS[i];
        std::string key = field.key;
        key.resize(15, ' ');
        text += "  " + key + meaning[i] + "\n" + std::string(17, ' ') + rangeText(field) + " (default " +
                std::to_string(field.byDefault) + ")\n";
    }
    return text +
           "The last four may be left out. Nothing after the ninth number is read;\n"
           "a number out of its range keeps its default, and the game keeps this file\n"
           "as vkt.txt.bad. The m key mutes and unmutes all sound while the game runs.\n";
}

class Baker {
public:
    explicit Baker(const char* directory) : dir(directory), good(true) {}

    std::string path(const std::string& name) const { return dir + "/" + name; }

    void jpeg(const std::string& name, const BCanvas& canvas) {
        good = writeJpeg(path(name).c_str(), canvas.width(), canvas.height(), canvas.rgb8()) && good;
    }
    void bmp(const std::string& name, const BCanvas& canvas) {
        good = writeBmp(path(name).c_str(), canvas.width(), canvas.height(), canvas.rgb8()) && good;
    }
    void model(const std::string& name, const BModelFile& file) { good = file.write(path(name).c_str()) && good; }
    void textFile(const std::string& name, const std::string& contents) { textFile(name, contents.c_str()); }
    void textFile(const std::string& name, const char* contents) {
        FILE* file = fopen(path(name).c_str(), "wb");
        bool written = file && fputs(contents, file) >= 0;
        if (file && fclose(file) != 0) written = false;
        if (!written) fprintf(stderr, "Unable to write %s\n", path(name).c_str());
        good = written && good;
    }
    bool ok() const { return good; }
    void fail() { good = false; }
    void failed() { good = false; }

private:
    std::string dir;
    bool good;
};

}  // namespace

BMenuLayout bakedMenuLayout(const BMenuCoverage& coverage, const char* fontDirectory) {
    const BFonts fonts(fontDirectory ? fontDirectory : VEKTORAK_FONT_DIR);
    return layOutMenu(fonts, coverage);
}

BMenuCoverage bakedMenuCoverage() {
    return menuCoverage(buildLogo().triangles(), buildShip(BSide::Left).triangles(),
                        buildShip(BSide::Right).triangles());
}

const std::vector<std::string>& bakedFileNames() {
    static const std::vector<std::string> names = {
        "ship.3ds",  "ship2.3ds",  "zat.3ds",       "zat2.3ds",       "logo.3ds", "lives_left.txt",
        "lives_right.txt", "pozadi.jpg", "pozadi_sky.jpg", "menu.jpg", "menu_sky.jpg", "settings.jpg", "menu1.bmp",     "menu2.bmp", "menu3.bmp",
        "menu4.bmp", "menu5.bmp", "menu6.bmp", "replay.bmp", "font.bmp", "won_l.jpg", "won_r.jpg",  "remiza.jpg",    "hull_left.bmp",  "hull_right.bmp", "vkt.txt",
        "shot_left.wav", "shot_right.wav", "hit_left.wav", "hit_right.wav", "bounce.wav", "low_health.wav",
        "won.wav", "draw.wav", "menu_choice.wav", "match_start.wav", "music_menu.wav", "music_match.wav"};
    return names;
}

bool bakeAll(const char* directory, const char* fontDirectory) {
    Baker baker(directory);
    const BFonts fonts(fontDirectory ? fontDirectory : VEKTORAK_FONT_DIR);
    if (!fonts.ok()) return false;

    // The right player flies ship.3ds and fires zat.3ds; the left player
    // ship2.3ds and zat2.3ds.
    const BModelFile rightShip = buildShip(BSide::Right), leftShip = buildShip(BSide::Left), logo = buildLogo();
    baker.model("ship.3ds", rightShip);
    baker.model("ship2.3ds", leftShip);
    baker.model("zat.3ds", buildBolt(BSide::Right));
    baker.model("zat2.3ds", buildBolt(BSide::Left));
    baker.model("logo.3ds", logo);
    baker.textFile("lives_left.txt", healthBarText(BSide::Left));
    baker.textFile("lives_right.txt", healthBarText(BSide::Right));

    baker.jpeg("pozadi.jpg", paintBackdrop());
    baker.jpeg("pozadi_sky.jpg", paintBackdropSky());
    // The menu's lettering goes where these very models never pass.
    const BMenuCoverage coverage = menuCoverage(logo.triangles(), leftShip.triangles(), rightShip.triangles());
    const BMenuLayout layout = layOutMenu(fonts, coverage);
    if (layout.ok())
        baker.jpeg("menu.jpg", paintMenu(fonts, layout));
    else
        baker.failed();
    baker.jpeg("menu_sky.jpg", paintMenuSky());
    baker.jpeg(MSettings::PICTURE, paintSettings(fonts));
    baker.bmp("menu1.bmp", paintControls(fonts, 0));
    baker.bmp("menu2.bmp", paintControls(fonts, 1));
    baker.bmp("menu3.bmp", paintControls(fonts, 2));
    baker.bmp("menu4.bmp", paintControls(fonts, 3));
    baker.bmp("menu5.bmp", paintControls(fonts, 4));
    baker.bmp("menu6.bmp", paintControls(fonts, 5));
    baker.bmp("replay.bmp", paintReplayMark(fonts));
    {
        const BFont mono((std::string(fontDirectory ? fontDirectory : VEKTORAK_FONT_DIR) + "/DejaVuSansMono-Bold.ttf").c_str());
        if (mono.ok()) {
            baker.bmp("font.bmp", paintTextAtlas(mono));
        } else {
            baker.fail();
        }
    }
    baker.jpeg("won_l.jpg", paintVictory(fonts, BOutcome::LeftWins));
    baker.jpeg("won_r.jpg", paintVictory(fonts, BOutcome::RightWins));
    baker.jpeg("remiza.jpg", paintVictory(fonts, BOutcome::Draw));
    baker.bmp(hullTextureName(BSide::Left), paintHull(BSide::Left));
    baker.bmp(hullTextureName(BSide::Right), paintHull(BSide::Right));
    baker.textFile(SETTINGS_FILE, settingsFile());
    return bakeSounds(directory) && baker.ok();
}

bool bakeSounds(const char* directory) {
    bool good = true;
    for (const BSound& sound : buildSounds())
        good = writeWav((std::string(directory) + "/" + sound.name).c_str(), sound.samples) && good;
    return good;
}
