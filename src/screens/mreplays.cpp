// mreplays.cpp: the replay screen's keys and lines.
#include "screens/mreplays.h"

#include <algorithm>
#include <cstdio>  // Required for: snprintf
#include <new>     // Required for: std::nothrow
#include <utility>  // Required for: std::exchange

#include <GL/gl.h>
#include <SDL.h>  // Required for: the SDLK_ key symbols

#include "assets/htexturestore.h"
#include "screens/hscreenhost.h"
#include "screens/mmenulayout.h"
#include "screens/mtext.h"
#include "screens/texturedquad.h"

namespace {

// A side as its name has it: "left-keys" is "left keys", "remote-ace" is
// "ace (remote)".
std::string sideShown(const std::string& side) {
    static const std::string REMOTE = "remote-";
    const bool remote = side.compare(0, REMOTE.size(), REMOTE) == 0 && side.size() > REMOTE.size();
    std::string shown = remote ? side.substr(REMOTE.size()) : side;
    std::replace(shown.begin(), shown.end(), '-', ' ');
    return remote ? shown + " (remote)" : shown;
}

// A darkening band behind a row, or the chosen row's tint, in window pixels.
void band(float left, float bottom, float right, float top, float r, float g, float b, float a) {
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    rectangleVertices(left, bottom, right, top);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

MReplays::MReplays(HScreenHost* application, const std::string& chosenFile, const std::string& folder)
    : library(folder), application(application), text(new (std::nothrow) MText()) {
    entries = library.list();
    for (size_t i = 0; i < entries.size(); i++) {
        library.readEntry(entries[i]);
        if (entries[i].file == chosenFile) chosen = static_cast<int32_t>(i);
    }
    // Back from a replay whose file went meanwhile: the list held it where
    // a file with the same name would sort, which is where the player was.
    if (!chosenFile.empty() && (entries.empty() || entries[chosen].file != chosenFile)) {
        GReplayName gone;
        if (GReplayLibrary::parseName(chosenFile, gone)) {
            chosen = 0;
            while (chosen < static_cast<int32_t>(entries.size()) && GReplayLibrary::newer(entries[chosen].name, gone)) {
                chosen++;
            }
        }
    }
    place();
}

MReplays::~MReplays() {
    theTextureStore.release(sky);
    delete text;
}

MReplays::Columns MReplays::columns(const GReplayEntry& e) {
    Columns c;
    char line[64];
    snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d", static_cast<int>(e.name.year),
             static_cast<int>(e.name.month), static_cast<int>(e.name.day), static_cast<int>(e.name.hour),
             static_cast<int>(e.name.minute), static_cast<int>(e.name.second));
    c.when = line;
    c.who = sideShown(e.name.left) + " vs " + sideShown(e.name.right);
    if (!e.read || e.status != GReplayRead::OK) {
        c.result = e.status == GReplayRead::NEWER_VERSION ? "from a newer game" : "damaged";
        return c;
    }
    const int32_t left = std::max(e.leftHealth, 0), right = std::max(e.rightHealth, 0);
    const char* outcome = e.end != vkr::END_FINISHED ? "not finished"
                          : left > 0 && right <= 0   ? "left won"
                          : right > 0 && left <= 0   ? "right won"
                                                     : "draw";
    snprintf(line, sizeof line, "%s %d - %d", outcome, static_cast<int>(left), static_cast<int>(right));
    c.result = line;
    const uint32_t seconds = e.endMs / 1000;
    snprintf(line, sizeof line, "%u:%02u", static_cast<unsigned>(seconds / 60), static_cast<unsigned>(seconds % 60));
    c.length = line;
    return c;
}

void MReplays::place() {
    const int32_t count = static_cast<int32_t>(entries.size());
    chosen = std::max(0, std::min(chosen, count - 1));
    if (chosen < first) first = chosen;
    if (chosen >= first + PAGE) first = chosen - PAGE + 1;
    first = std::max(0, std::min(first, count - PAGE));
}

void MReplays::symbolDown(uint32_t sym, uint8_t key, char typed) {
    (void)key;
    (void)typed;
    drawn = false;
    notice.clear();
    const bool wasConfirming = std::exchange(confirming, false);
    const int32_t count = static_cast<int32_t>(entries.size());
    // Any key but a second Delete only takes the question back.
    if (wasConfirming && sym != SDLK_DELETE) return;
    switch (sym) {
    case SDLK_UP:
        chosen--;
        break;
    case SDLK_DOWN:
        chosen++;
        break;
    case SDLK_PAGEUP:
        chosen -= PAGE;
        break;
    case SDLK_PAGEDOWN:
        chosen += PAGE;
        break;
    case SDLK_DELETE:
        if (count == 0) break;
        if (!wasConfirming) {
            confirming = true;
        } else if (library.remove(entries[chosen].file)) {
            entries.erase(entries.begin() + chosen);
        } else {
            notice = "Could not delete " + entries[chosen].file;
        }
        break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: {
        if (count == 0) break;
        const GReplayEntry& e = entries[chosen];
        GReplay replay;
        std::string why;
        // Read again: the file may have changed since the list was made.
        if (loadReplay(library.pathOf(e.file).c_str(), replay, why) != GReplayRead::OK) {
            notice = "Cannot watch it: " + why;
        } else if (application != nullptr) {
            application->watchReplay(replay, e.file);
        }
        break;
    }
    case SDLK_ESCAPE:
        if (application != nullptr) application->showMenu();
        break;
    default:
        break;
    }
    place();
}

void MReplays::update(int32_t ms) {
    (void)ms;
    // The sky once the list has been drawn: its picture, 2048 by 1024, took
    // 50 to 70 ms of the screen's first frame, more than the whole list.
    if (drawn && !skyLooked) {
        sky = theTextureStore.load("menu_sky.jpg");
        skyLooked = true;
        drawn = false;
    }
}

void MReplays::draw() {
    drawn = true;
    const MFrame f = MFrame::ofViewport();
    if (sky >= 0) {
        // The menu's sky alone, over everything a window from 5:4 to 21:9 shows.
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -MENU_PUSH);
        theTextureStore.bind(sky);
        drawTexturedQuad(-MENU_SKY_HALF_WIDTH, MENU_SKY_HALF_HEIGHT, MENU_SKY_HALF_WIDTH, -MENU_SKY_HALF_HEIGHT,
                         MENU_PICTURE_Z);
    } else {
        // Until then, or without it, the sky's deep blue fading to black.
        MText::beginOverlay();
        glDisable(GL_TEXTURE_2D);
        glBegin(GL_QUADS);
        glColor3f(0.0f, 0.0f, 0.0f);
        glVertex2f(0.0f, 0.0f);
        glVertex2f(f.width, 0.0f);
        glColor3f(0.04f, 0.06f, 0.14f);
        glVertex2f(f.width, f.height);
        glVertex2f(0.0f, f.height);
        glEnd();
        glEnable(GL_TEXTURE_2D);
        MText::endOverlay();
    }
    if (text == nullptr) return;

    // In the menu's frame (640 by 480 units), as the settings screen is.
    const float unit = f.unit, middle = f.width / 2.0f;
    const float left = middle - 310.0f * unit, right = middle + 310.0f * unit;
    // Shrinks a line to `room` units across rather than cut it.
    auto fitted = [&](const std::string& s, float size, float room) {
        const float wide = MText::width(s.c_str(), size * unit);
        return wide > room * unit ? size * unit * room * unit / wide : size * unit;
    };
    MText::beginOverlay();
    text->drawCentred("REPLAYS", middle, f.below(44.0f), 30.0f * unit, 0.55f, 0.85f, 1.0f);
    const std::string where = "Kept in " + library.absoluteFolder();
    text->drawCentred(where.c_str(), middle, f.below(66.0f), fitted(where, 12.0f, 620.0f), 0.75f, 0.75f, 0.8f);

    const int32_t count = static_cast<int32_t>(entries.size());
    if (count == 0) {
        text->drawCentred("No replays yet.", middle, f.below(200.0f), 17.0f * unit, 0.9f, 0.9f, 0.9f);
        text->drawCentred("Every match played, or watched over the network, is kept here:", middle, f.below(226.0f),
                          13.0f * unit, 0.8f, 0.85f, 0.95f);
        text->drawCentred("Escape, then Return in the menu, starts one.", middle, f.below(246.0f), 13.0f * unit,
                          0.8f, 0.85f, 0.95f);
    }
    // Columns: when, who, the result, the length (right-aligned).
    const float size = 12.0f * unit, row = 20.0f * unit;
    const float whoLeft = left + 128.0f * unit, resultLeft = left + 430.0f * unit;
    for (int32_t i = first; i < count && i < first + PAGE; i++) {
        const float y = f.below(100.0f) - static_cast<float>(i - first) * row;
        const bool on = i == chosen;
        band(left, y - 4.0f * unit, right, y + size + 3.0f * unit, on ? 0.1f : 0.0f, on ? 0.25f : 0.0f,
             on ? 0.45f : 0.0f, on ? 0.85f : 0.55f);
        const Columns c = columns(entries[i]);
        const bool bad = !entries[i].read || entries[i].status != GReplayRead::OK;
        const float shade = on ? 1.0f : 0.78f;
        auto put = [&](const std::string& s, float x, float height, float r, float g, float b) {
            text->drawCentred(s.c_str(), x + MText::width(s.c_str(), height) / 2.0f, y, height, r, g, b, false);
        };
        put(c.when, left + 8.0f * unit, size, shade, shade, shade);
        put(c.who, whoLeft, fitted(c.who, 12.0f, 296.0f), shade, shade, on ? 0.6f : shade);
        put(c.result, resultLeft, size, bad ? 1.0f : 0.6f * shade, bad ? 0.45f : 0.85f * shade,
            bad ? 0.35f : 1.0f * shade);
        const float lengthWidth = MText::width(c.length.c_str(), size);
        put(c.length, right - 8.0f * unit - lengthWidth, size, shade, shade, shade);
    }
    if (count > PAGE) {
        const std::string place = std::to_string(chosen + 1) + " of " + std::to_string(count);
        text->drawCentred(place.c_str(), middle, f.below(104.0f) - static_cast<float>(PAGE) * row, 11.0f * unit,
                          0.7f, 0.7f, 0.75f);
    }
    // The question, or what could not be done, above the keys.
    std::string say = notice;
    if (confirming && count > 0) {
        const Columns c = columns(entries[chosen]);
        say = "Delete again removes " + c.when + " " + c.who + "; any other key keeps it";
    }
    if (!say.empty()) {
        text->drawCentred(say.c_str(), middle, f.below(446.0f), fitted(say, 13.0f, 620.0f), 1.0f, 0.85f, 0.35f);
    }
    text->drawCentred("Up, Down, Page Up, Page Down: choose   Return: watch   Delete: delete   Escape: back", middle,
                      f.below(470.0f), fitted("Up, Down, Page Up, Page Down: choose   Return: watch   Delete: "
                                              "delete   Escape: back", 11.0f, 620.0f),
                      0.7f, 0.7f, 0.75f);
    MText::endOverlay();
}
