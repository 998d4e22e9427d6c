// shell.cpp: SDL and OpenGL set-up, the event pump and the main loop.
#include "app/shell.h"

#include <cstdio>
#include <cstdlib>  // Required for: atexit(), exit()
#include <ctime>    // Required for: time(), to seed rand()
#include <new>      // Required for: std::nothrow
#include <string>

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include "app/happlication.h"
#include "app/hframepacer.h"
#include "app/hgamepads.h"
#include "app/hinput.h"
#include "app/viewshape.h"
#include "assets/htexturestore.h"
#include "config/hcontrols.h"
#include "config/settings.h"
#include "game/greplay.h"
#include "net/nsession.h"
#include "sound/hmixer.h"
#include "sound/hsound.h"

uint32_t (*shellTicks)() = SDL_GetTicks;
uint8_t (*shellAppState)() = SDL_GetAppState;
void (*shellDelay)(uint32_t ms) = SDL_Delay;

bool vsyncTook = false;

int32_t desktopWidth = 0;
int32_t desktopHeight = 0;

// The pads the main loop samples; null while there are none.
static const HGamepads* openPads = nullptr;

int runGame() { return runGame(GameOptions()); }

int runGame(const GameOptions& options) {
    // Line by line even into a file or a pipe, so that the progress lines
    // are there at once and a crash cannot swallow them.
    setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);

    // Initialization ---------------------------------------------------------
    loadSettings();
    printf("Setting Loaded.\n");
    initVideo();
    // After the video start-up, where SDL learns its keys' names.
    loadControls();
    // The pads come after the video start-up and quietly: without one the
    // run, its output included, is as it always was.
    HGamepads pads;
    if (pads.open() > 0) openPads = &pads;
    // Sound comes after the video too. Without a device the mixer has said
    // why in one line, and the game runs silent with theSound null.
    HMixer mixer;
    HSound sound(&mixer, effectsVolume, musicVolume);
    if (mixer.open(HSound::CHANNELS)) {
        sound.loadSounds();
        theSound = &sound;
    }
    // Typed characters come with the key events (an address on the network
    // screen).
    SDL_EnableUNICODE(1);
    printf("SDL Inicialized.\n");
    // Normally the size asked for; but SDL takes a zero width or height as
    // the display's, and the view must fill the window actually opened.
    const SDL_Surface* screen = SDL_GetVideoSurface();
    initGl(screen ? screen->w : screenWidth, screen ? screen->h : screenHeight);
    printf("OpenGL Inicialized.\n");
    createApplication();
    startNetwork(options);
    watchReplayFile(options.replayFile);
    printf("Game Inicialized.\n");
    uint32_t previous = shellTicks();
    uint32_t now = shellTicks();
    printf("Entering main game loop.\n");

    // Main loop --------------------------------------------------------------
    runMainLoop(previous, now);

    // De-initialization ------------------------------------------------------
    saveChoicesIfChanged();
    printf("Delleting all..");
    if (theApplication) {
        delete theApplication;
        theApplication = nullptr;
    }
    // Whatever is still held goes while the OpenGL context exists; the
    // store's own destruction at exit comes after SDL is gone.
    theTextureStore.releaseAll();
    openPads = nullptr;
    pads.close();
    theSound = nullptr;
    mixer.close();
    SDL_Quit();
    printf("OK\nEnd.\n");
    return 0;
}

// The settings' window, or else 640 x 480 as asked, or else a plain 640 x
// 480 window of the display's depth: a player who started the game from the
// desktop never sees standard error, so a window that tells them what was
// kept beats an exit. Every value reaching here is within its range
// (config/settings.h); only the display can still refuse. Each refusal is
// one line, and the settings then hold what opened.
static void openFirstWindow() {
    const std::string asked = std::to_string(screenWidth) + "x" + std::to_string(screenHeight) +
                              (fullScreen ? " full screen" : "");
    for (int32_t attempt = 0;; attempt++) {
        if (attempt > 0) {
            screenWidth = 640;
            screenHeight = 480;
        }
        if (attempt > 1) bitsPerPixel = fullScreen = 0;
        const Uint32 flags = SDL_OPENGL | (fullScreen ? SDL_FULLSCREEN : 0);
        if (SDL_SetVideoMode(screenWidth, screenHeight, bitsPerPixel, flags)) {
            if (attempt > 0) settingsRefused("the display refused " + asked + ", 640x480 opened");
            return;
        }
        fprintf(stderr, "Unable to create OpenGL screen: %s\n", SDL_GetError());
        if (attempt == 2) {
            SDL_Quit();
            exit(2);
        }
    }
}

void initVideo() {
    srand(static_cast<unsigned>(time(NULL)));

    // Without either, SDL 1.2 falls back to a text-mode driver that fills
    // the terminal with escape codes and then fails to set the mode. An
    // empty value is as good as none to SDL's X11 driver.
    const char* display = getenv("DISPLAY");
    const char* driver = getenv("SDL_VIDEODRIVER");
    if ((display == nullptr || *display == 0) && (driver == nullptr || *driver == 0)) {
        fprintf(stderr, "No display: neither DISPLAY nor SDL_VIDEODRIVER is set.\n");
        exit(1);
    }
    // No SDL_INIT_TIMER: the game sets no SDL timer (SDL_GetTicks and
    // SDL_Delay work without it), and SDL 1.2's timer thread wakes every
    // millisecond, 1.4 % of a core in a window that has nothing to draw.
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "Unable to initialize SDL: %s\n", SDL_GetError());
        exit(1);
    }
    atexit(SDL_Quit);

    // Before any mode is set SDL reports the display's own.
    if (const SDL_VideoInfo* info = SDL_GetVideoInfo()) {
        desktopWidth = info->current_w;
        desktopHeight = info->current_h;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Asked for only with a frame limit: without one the loop draws
    // unpaced, as it always did. SDL keeps it for every later mode.
    if (frameLimit > 0) SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    openFirstWindow();
    // What the driver says, which is not always what it does: SDL answers
    // from what was asked where the driver cannot be asked back, and a
    // software renderer may take the interval and never wait. The frame
    // pacer's sleep holds the limit either way (app/hframepacer.h).
    int swapControl = 0;
    vsyncTook = frameLimit > 0 && SDL_GL_GetAttribute(SDL_GL_SWAP_CONTROL, &swapControl) == 0 && swapControl > 0;
    SDL_WM_SetCaption("Vektorak", NULL);
    SDL_ShowCursor(SDL_DISABLE);
}

bool applyVideoMode() {
    const SDL_Surface* before = SDL_GetVideoSurface();
    if (before == nullptr) return true;  // no window yet: the settings take effect when one opens
    const int32_t width = before->w, height = before->h, flags = before->flags;
    Uint32 wanted = SDL_OPENGL;
    if (fullScreen) wanted |= SDL_FULLSCREEN;
    const SDL_Surface* screen = SDL_SetVideoMode(screenWidth, screenHeight, bitsPerPixel, wanted);
    if (screen == nullptr) {
        fprintf(stderr, "Unable to change the window to %dx%d: %s\n", static_cast<int>(screenWidth),
                static_cast<int>(screenHeight), SDL_GetError());
        screen = SDL_SetVideoMode(width, height, bitsPerPixel, flags);
    }
    if (screen != nullptr) initGl(screen->w, screen->h);
    return screen != nullptr && screen->w == screenWidth && screen->h == screenHeight;
}

void initGl(int32_t width, int32_t height) {
    glViewport(0, 0, width, height);
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window the window system has squashed to no height still gets a
    // finite projection.
    const int32_t aspectHeight = height < 1 ? 1 : height;
    const double aspect = static_cast<double>(width) / aspectHeight;
    gluPerspective(viewFovY(aspect), aspect, static_cast<double>(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
}

void createApplication() {
    theApplication = new (std::nothrow) HApplication();
    if (!theApplication) {
        fprintf(stderr, "Unable to create game\n");
        SDL_Quit();
        exit(3);
    }
    theApplication->showMenu();
}

void startNetwork(const GameOptions& options) {
    if (theApplication == nullptr) return;
    theApplication->runLobby = options.lobby;
    if (options.mode == GameOptions::Mode::LOCAL) return;
    // Its failure is said on standard error and in the menu.
    if (options.mode == GameOptions::Mode::JOIN_CODE) {
        theApplication->joinOnline(options.code, false);
        return;
    }
    NSession* session = new (std::nothrow) NSession();
    if (session == nullptr) {
        fprintf(stderr, "Unable to start the network: no memory\n");
        return;
    }
    if (options.mode == GameOptions::Mode::HOST) {
        session->host(options.port);
    } else if (options.mode == GameOptions::Mode::WATCH) {
        session->watch(options.hostName.c_str(), options.port);
    } else {
        session->join(options.hostName.c_str(), options.port);
    }
    theApplication->attachNet(session);
}

void watchReplayFile(const std::string& path) {
    if (path.empty() || theApplication == nullptr) return;
    GReplay replay;
    std::string why;
    if (loadReplay(path.c_str(), replay, why) != GReplayRead::OK) {
        fprintf(stderr, "Unable to watch %s: %s\n", path.c_str(), why.c_str());
        // Started from a file manager, the player never sees standard
        // error: the menu says it too, under the file's own name.
        const size_t slash = path.rfind('/');
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        noteFileFaults(name.c_str(), "cannot be watched (" + why + ")");
        return;
    }
    theApplication->watchReplay(replay, "");
}

uint8_t screenKeyCode(uint32_t sym) {
    // Above 255 (F keys, keypad, arrows, modifiers) the low byte would alias
    // a character: F2 is 283, whose low byte 27 is Escape. Screens act only
    // on characters, so such keys reach them as 0, which none acts on and
    // which still counts as a key where any key will do.
    return sym <= 255 ? static_cast<uint8_t>(sym) : 0;
}

bool pumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
            // F1 and m belong to the shell; no screen ever sees them pressed,
            // but for m where one takes text.
            if (event.key.keysym.sym == SDLK_F1) {
                toggleFullScreen();
            } else if (event.key.keysym.sym == SDLK_m && !(theApplication && theApplication->typing())) {
                if (theSound) theSound->toggleMute();
            } else if (theApplication) {
                // The character needs the shift keys as they were at this
                // event, not as the next snapshot finds them.
                const uint16_t unicode = event.key.keysym.unicode;
                const char typed = unicode >= 0x20 && unicode <= 0x7E ? static_cast<char>(unicode) : 0;
                theApplication->symbolDown(event.key.keysym.sym, screenKeyCode(event.key.keysym.sym), typed);
            }
            break;
        case SDL_KEYUP:
            // Nor m released: the mute key is nothing to any screen.
            if (theApplication && event.key.keysym.sym != SDLK_m)
                theApplication->keyUp(screenKeyCode(event.key.keysym.sym));
            break;
        // A fire button is Return to the screens: the menu starts a match
        // with it (under Return's rule) and the result screen takes it as any
        // key, so players need not reach for the keyboard between matches.
        // In a match Return does nothing, so firing there changes nothing;
        // the players read the buttons from the input snapshot.
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
            if (event.jbutton.button >= GPads::FIRE_BUTTONS || !theApplication) break;
            if (event.type == SDL_JOYBUTTONDOWN) {
                theApplication->symbolDown(SDLK_RETURN, screenKeyCode(SDLK_RETURN), 0);
            } else {
                theApplication->keyUp(screenKeyCode(SDLK_RETURN));
            }
            break;
        case SDL_QUIT:
            return false;
        case SDL_VIDEORESIZE:
            initGl(event.resize.w, event.resize.h);
            if (theApplication) theApplication->redraw();
            break;
        case SDL_VIDEOEXPOSE:
            if (theApplication) theApplication->draw();
            break;
        default:
            break;
        }
    }
    return true;
}

void toggleFullScreen() {
    SDL_Surface* surface = SDL_GetVideoSurface();
    if (!surface || SDL_WM_ToggleFullScreen(surface) != 1) {
        fprintf(stderr, "Unable to toggle fullscreen: %s\n", SDL_GetError());
    }
}

// Sleeps after a pass: a minimised window for a while, since nothing is
// drawn and only a network game has anything to do; otherwise until the
// next frame is due. The clock is read after the frame, so that the sleep
// is what remains of the frame, not the frame again. A pass that left its
// frame out (the screen had not changed) keeps to the schedule as if it
// had drawn, and without a limit sleeps STILL_PAUSE_MS rather than spin.
static void pauseAfterPass(bool active, bool drew, HFramePacer& pacer) {
    if (!active) {
        shellDelay(MINIMISED_PAUSE_MS);
    } else if (frameLimit <= 0 && !drew) {
        shellDelay(STILL_PAUSE_MS);
    } else if (frameLimit > 0) {
        const uint32_t drawnAt = shellTicks();
        pacer.drawn(drawnAt);
        const int32_t pause = pacer.pauseMs(drawnAt);
        if (pause > 0) shellDelay(static_cast<uint32_t>(pause));
    }
}

void runMainLoop(uint32_t previous, uint32_t now) {
    HFramePacer pacer(frameLimit, vsyncTook, now);
    while (theApplication && theApplication->running) {
        if (!pumpEvents()) break;
        // Once per pass, and never inside a match's steps: a step taken
        // again for a tick of the past must not read the keys of now. So a
        // key waits at most for the pass under way and the pause after it.
        if (theApplication) sampleInput(theApplication->input, openPads);

        // Every pass is at least 1 ms long, so every update carries at least
        // 1 ms; the match inside steps each of them on its own. Paced, the
        // sleep has nearly always seen to it; unpaced, this is a busy wait,
        // as the loop always was.
        while (static_cast<int32_t>(now - previous) < 1) now = shellTicks();

        // While minimised nothing runs and the time away is dropped, not
        // saved up for the first update after. A network game runs on: the
        // other machine is playing, and would take silence for leaving.
        const bool active = (shellAppState() & SDL_APPACTIVE) != 0;
        // A game being met through the lobby has a session that is not
        // open yet, and punches all the same.
        const bool networked = theApplication && theApplication->net != nullptr &&
                               (theApplication->net->open() || theApplication->onlineClient != nullptr);
        bool drew = false;
        if ((active || networked) && theApplication) {
            theApplication->update(static_cast<int32_t>(now - previous));
            if (theApplication && active) drew = theApplication->drawIfChanged();
        }
        previous = now;
        if (theApplication && theApplication->running) pauseAfterPass(active, drew, pacer);
    }
}
