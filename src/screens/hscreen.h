// hscreen.h: the interface every screen of the game implements.
//
// The application (HApplication, every screen's host: screens/hscreenhost.h)
// owns exactly one current screen and hands it keys, elapsed time and
// drawing. The base does nothing in every slot so that a screen overrides
// only what it uses.
#pragma once

#include <cstdint>

class HScreen {
public:
    virtual ~HScreen() {}

    // Keys arrive as the SDL key symbol when it is 255 or less: 13 is
    // Return, 27 Escape, 'o' and 'p' their character codes. Every key above
    // (arrows, F keys, keypad, modifiers) arrives as 0. A gamepad's fire
    // buttons arrive as Return.
    virtual void keyUp(uint8_t key) { (void)key; }
    virtual void keyDown(uint8_t key) { (void)key; }
    // A key pressed, as its full SDL key symbol `sym`, its key code `key`
    // and the character it types (`typed`, printable ASCII, 0 for none).
    // Screens that need keys above 255 (the settings screen: cursor keys to
    // move, any key to bind) or text (the network screen's address) take
    // this; the rest get keyDown.
    virtual void symbolDown(uint32_t sym, uint8_t key, char typed) {
        (void)sym;
        (void)typed;
        keyDown(key);
    }

    // Whether the screen takes text now (an address or a code being
    // typed): the shell's own letter, m for the sound's mute, then types
    // an m like any other, which a host name or a code may hold.
    virtual bool typing() const { return false; }

    // Elapsed time in whole milliseconds since the previous update.
    virtual void update(int32_t ms) { (void)ms; }

    // Renders into the current frame. Never clears and never swaps:
    // HApplication::draw does both around it.
    virtual void draw() {}

    // Whether the frame draw() would make now is the very one it made last,
    // and stays so until a key reaches the screen: the host may then leave
    // that frame in the window rather than draw it again, so that a paused
    // match, a result or settings nobody touches cost a sleeping process
    // instead of a frame rate. The host draws anyway after a switch, after
    // every key it hands on, and when the window is resized or exposed; a
    // screen whose picture changes by itself (time, the network, a pad read
    // in update) must answer false until it has drawn the change. The
    // default draws every frame.
    virtual bool unchanged() const { return false; }

    // Only the match calls this, on itself, from its own update.
    virtual void checkEnd() {}
};
