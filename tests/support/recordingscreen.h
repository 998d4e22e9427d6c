// recordingscreen.h: a screen that writes down every call it receives, and
// can be told to do something from inside a call (switch screens, quit).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "screens/hscreen.h"

class RecordingScreen : public HScreen {
public:
    explicit RecordingScreen(std::vector<std::string>* log, std::string name = "screen")
        : log_(log), name_(std::move(name)) {}
    ~RecordingScreen() override { log_->push_back(name_ + " destroyed"); }

    void keyUp(uint8_t key) override { log_->push_back(name_ + " keyUp " + std::to_string(key)); }
    void keyDown(uint8_t key) override {
        log_->push_back(name_ + " keyDown " + std::to_string(key));
        if (!onKeyDown) return;
        onKeyDown();
        // As after update: a screen deleted inside its own call shows here.
        log_->push_back(name_ + " keyDown done");
    }
    void update(int32_t ms) override {
        log_->push_back(name_ + " update " + std::to_string(ms));
        if (onUpdate) onUpdate();
        // Touches its own state after the action, as the match does after
        // handing over its result: a premature delete shows up here under
        // AddressSanitizer.
        updatesSeen++;
        log_->push_back(name_ + " update done");
    }
    void draw() override {
        log_->push_back(name_ + " draw");
        if (onDraw) onDraw();
    }

    bool unchanged() const override { return still; }
    bool typing() const override { return takesText; }

    bool still = false;  // what unchanged() answers
    bool takesText = false;  // what typing() answers
    std::function<void()> onKeyDown;
    std::function<void()> onUpdate;
    std::function<void()> onDraw;
    int updatesSeen = 0;

private:
    std::vector<std::string>* log_;
    std::string name_;
};
