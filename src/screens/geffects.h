// geffects.h: what a match looks like when something happens in it.
//
// A shot that strikes throws a burst of sparks in the shooter's colour
// where it struck, and the ship struck flashes; two ships that bounce throw
// a small puff where they meet; a ship whose health runs out breaks up in
// staggered bursts, a growing glow and pieces drifting apart.
//
// All of it is light added to the picture, untextured and unlit, in one
// OpenGL state: the software renderer compiles and keeps a variant of its
// pipeline for every state it meets, so each new one costs memory for the
// rest of the run.
//
// Made from the world's events after each update (hear), aged by the
// screen's time (advance) and drawn over the world by the view. Nothing
// here is read by the world: the effects keep a random source of their own,
// seeded with the match's seed, so that a replay watched throws the same
// sparks as the match did, and a match, its replay and its hash are the
// same with or without them. A network match hands over each event once,
// after its corrections, so an effect is made once as its sound is played
// once; a hit or a bounce that comes stale (GEvent::STALE_MS) throws
// nothing, while a wreck always breaks up.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/vec3.h"
#include "game/gevent.h"
#include "game/grandom.h"

class GWorld;

class GEffects : public GEventListener {
public:
    // Lifetimes, in milliseconds of the screen's time (a pause holds them).
    static constexpr int32_t HIT_SPARK_MS = 330;  // a hit's sparks on average, a quarter more or less
    static constexpr int32_t FLASH_MS = 150;      // the ship struck, and its health bar
    static constexpr int32_t PUFF_MS = 250;       // a bounce
    static constexpr int32_t WRECK_MS = 1500;     // the glow and the pieces of a wreck
    // The wreck's bursts, from the moment the health ran out: staggered so
    // that the break-up reads as one ship coming apart, not one bang.
    static constexpr int32_t WRECK_BURSTS = 5;
    static constexpr int32_t WRECK_BURST_EVERY_MS = 140;
    // At most this many sparks at once; a burst beyond it throws fewer.
    static constexpr int32_t MAX_SPARKS = 600;

    GEffects();

    // Forgets every effect; the sparks of a match are drawn from `seed`.
    void reset(uint32_t seed);
    // The colour of each side's shots and ships (0 to 255 a channel).
    void setColour(GSide side, uint8_t r, uint8_t g, uint8_t b);
    // That colour, 0 to 1 a channel (white for SIDE_NONE).
    void colourOf(GSide side, float& r, float& g, float& b) const;
    // Makes the effects of one update's events. The wrecks are placed at
    // their ships in `world` as it stands after the update.
    void hear(const GEventList& events, const GWorld& world) override;
    // A replay was sought: every effect goes, from the moment left.
    void jumped() override;
    // Ages every effect by `ms`; the dead ones go.
    void advance(int32_t ms);
    // Needs the OpenGL context and the view's camera in the modelview
    // matrix; a flash is drawn where its ship stands in `world`. Leaves
    // blending off, textures on and the colour white.
    void draw(const GWorld& world) const;

    // The one OpenGL state every effect is drawn in, and back: light added
    // to what is behind it, untextured and unlit, leaving no depth. Also
    // for a health bar's flash. Leaves blending off, textures on and the
    // colour white.
    static void beginLight();
    static void endLight();

    // Whether the ship of `side` is in its flash.
    bool flashing(GSide side) const;
    // Counts, for tests and benchmarks.
    int32_t sparkCount() const { return static_cast<int32_t>(sparks.size()); }
    int32_t pieceCount() const { return static_cast<int32_t>(pieces.size()); }
    int32_t glowCount() const { return static_cast<int32_t>(glows.size()); }

private:
    struct Colour {
        float r, g, b;
    };
    struct Spark {
        Vec3 position, velocity;
        Colour colour;
        int32_t age, life;  // ms
    };
    struct Piece {
        Vec3 position, velocity;
        float angle, spin, size;  // degrees, degrees a second, units
        Colour colour;
        int32_t age;
    };
    struct Glow {
        Vec3 at;
        float from, to;  // radius at birth and at death, units
        Colour colour;
        int32_t age, life;
    };
    // A wreck's burst still to come.
    struct Burst {
        Vec3 at;
        Colour colour;
        int32_t dueMs;
    };

    // 0 .. 1, from the effects' own source.
    float unit();
    float between(float low, float high) { return low + (high - low) * unit(); }
    void throwSparks(Vec3 at, Colour colour, int32_t count, float speedLow, float speedHigh, int32_t lifeLow,
                     int32_t lifeHigh);
    void wreck(Vec3 at, GSide side);
    static void drawGlow(Vec3 at, float radius, Colour colour, float alpha);

    GRandom random;
    Colour colours[2];
    int32_t flashMs[2];
    std::vector<Spark> sparks;
    std::vector<Piece> pieces;
    std::vector<Glow> glows;
    std::vector<Burst> bursts;
};
