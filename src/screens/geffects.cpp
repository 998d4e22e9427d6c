// geffects.cpp: sparks, flashes, puffs and wrecks, made from a match's
// events and drawn as flat shapes facing the fixed camera.
#include "screens/geffects.h"

#include <algorithm>
#include <cmath>

#include <GL/gl.h>

#include "game/gship.h"
#include "game/gworld.h"

namespace {

constexpr float DEGREES = static_cast<float>(M_PI / 180.0);
// How much of a spark's speed is left after a second: sparks slow as they
// fade, so a burst opens fast and then hangs.
constexpr float SPARK_DRAG_PER_S = 3.0f;
// A spark is drawn as a streak along its flight, this many seconds of it
// long, and this wide.
constexpr float STREAK_S = 0.035f;
constexpr float STREAK_HALF_WIDTH = 0.24f;
// A ship's flash: a glow this far round its middle (a ship is 5.6 long).
constexpr float FLASH_RADIUS = 4.5f;
// Sparks handed to the driver in one go.
constexpr int32_t SPARKS_PER_BATCH = 32;
// The wreck's fire, before it takes the ship's colour.
constexpr float FIRE_R = 1.0f, FIRE_G = 0.85f, FIRE_B = 0.55f;

float fade(int32_t age, int32_t life) { return life > 0 ? std::max(0.0f, 1.0f - float(age) / float(life)) : 0.0f; }

}  // namespace

GEffects::GEffects() : random(0), colours{{1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}}, flashMs{0, 0} {
    sparks.reserve(MAX_SPARKS);
}

void GEffects::reset(uint32_t seed) {
    random.reseed(seed);
    jumped();
}

void GEffects::jumped() {
    flashMs[0] = flashMs[1] = 0;
    sparks.clear();
    pieces.clear();
    glows.clear();
    bursts.clear();
}

void GEffects::colourOf(GSide side, float& r, float& g, float& b) const {
    const Colour c = side == SIDE_LEFT || side == SIDE_RIGHT ? colours[side] : Colour{1.0f, 1.0f, 1.0f};
    r = c.r;
    g = c.g;
    b = c.b;
}

void GEffects::setColour(GSide side, uint8_t r, uint8_t g, uint8_t b) {
    if (side == SIDE_LEFT || side == SIDE_RIGHT) colours[side] = Colour{r / 255.0f, g / 255.0f, b / 255.0f};
}

float GEffects::unit() { return static_cast<float>(random.next()) / static_cast<float>(GRandom::MAX); }

void GEffects::throwSparks(Vec3 at, Colour colour, int32_t count, float speedLow, float speedHigh, int32_t lifeLow,
                           int32_t lifeHigh) {
    for (int32_t i = 0; i < count && sparks.size() < size_t(MAX_SPARKS); i++) {
        // Mostly across the screen: the camera looks down -z, where motion
        // would hardly show.
        const float angle = between(0.0f, 360.0f) * DEGREES;
        const float speed = between(speedLow, speedHigh);
        const Vec3 velocity(std::cos(angle) * speed, std::sin(angle) * speed, between(-0.3f, 0.3f) * speed);
        const int32_t life = lifeLow + static_cast<int32_t>(unit() * float(lifeHigh - lifeLow));
        sparks.push_back(Spark{at, velocity, colour, 0, life});
    }
}

void GEffects::wreck(Vec3 at, GSide side) {
    const Colour own = colours[side];
    glows.push_back(Glow{at, 1.5f, 11.0f, Colour{FIRE_R, FIRE_G, FIRE_B}, 0, WRECK_MS * 2 / 3});
    for (int32_t i = 0; i < WRECK_BURSTS; i++) {
        const Vec3 jitter(between(-2.0f, 2.0f), between(-1.0f, 1.0f), 0.0f);
        bursts.push_back(Burst{add(at, jitter), i % 2 == 0 ? Colour{FIRE_R, FIRE_G, FIRE_B} : own,
                               i * WRECK_BURST_EVERY_MS});
    }
    // The hull in pieces, in its own colour and a dark grey.
    for (int32_t i = 0; i < 12; i++) {
        const float angle = between(0.0f, 360.0f) * DEGREES;
        const float speed = between(2.5f, 8.0f);
        const Colour colour = i % 3 == 2 ? Colour{0.45f, 0.45f, 0.5f} : own;
        pieces.push_back(Piece{at, Vec3(std::cos(angle) * speed, std::sin(angle) * speed, 0.0f),
                               between(0.0f, 360.0f), between(-400.0f, 400.0f), between(0.6f, 1.5f), colour, 0});
    }
}

void GEffects::hear(const GEventList& events, const GWorld& world) {
    for (int32_t i = 0; i < events.count; i++) {
        const GEvent& e = events.items[i];
        const bool stale = e.staleAt(world.elapsedMs);
        switch (e.kind) {
        case GEvent::SHIP_HIT:
            if (stale) break;
            if (e.side == SIDE_LEFT || e.side == SIDE_RIGHT) {
                const GSide shooter = e.side == SIDE_LEFT ? SIDE_RIGHT : SIDE_LEFT;
                throwSparks(e.at, colours[shooter], 24, 8.0f, 22.0f, HIT_SPARK_MS * 3 / 4, HIT_SPARK_MS * 5 / 4);
                glows.push_back(Glow{e.at, 1.2f, 2.4f, colours[shooter], 0, HIT_SPARK_MS / 2});
                flashMs[e.side] = FLASH_MS;
            }
            break;
        case GEvent::SHIPS_BOUNCED:
            if (stale) break;
            throwSparks(e.at, Colour{0.85f, 0.85f, 0.9f}, 10, 3.0f, 9.0f, PUFF_MS * 2 / 3, PUFF_MS);
            break;
        case GEvent::MATCH_WON:
        case GEvent::MATCH_DRAWN:
            for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
                const GShip* ship = world.shipOf(side);
                if (ship != nullptr && ship->health <= 0) wreck(ship->position, side);
            }
            break;
        case GEvent::SHOT_FIRED:
        case GEvent::LOW_HEALTH:
            break;
        }
    }
}

void GEffects::advance(int32_t ms) {
    if (ms <= 0) return;
    const float seconds = float(ms) / 1000.0f;
    for (int32_t& flash : flashMs) flash = std::max(0, flash - ms);

    // Bursts come due first, so that their sparks age with the rest.
    for (Burst& burst : bursts) burst.dueMs -= ms;
    for (const Burst& burst : bursts) {
        if (burst.dueMs <= 0) throwSparks(burst.at, burst.colour, 22, 4.0f, 16.0f, 350, 700);
    }
    bursts.erase(std::remove_if(bursts.begin(), bursts.end(), [](const Burst& b) { return b.dueMs <= 0; }),
                 bursts.end());

    const float kept = std::max(0.0f, 1.0f - SPARK_DRAG_PER_S * seconds);
    for (Spark& s : sparks) {
        s.age += ms;
        s.position = add(s.position, Vec3(s.velocity.x * seconds, s.velocity.y * seconds, s.velocity.z * seconds));
        s.velocity = Vec3(s.velocity.x * kept, s.velocity.y * kept, s.velocity.z * kept);
    }
    sparks.erase(std::remove_if(sparks.begin(), sparks.end(), [](const Spark& s) { return s.age >= s.life; }),
                 sparks.end());
    for (Piece& p : pieces) {
        p.age += ms;
        p.position = add(p.position, Vec3(p.velocity.x * seconds, p.velocity.y * seconds, 0.0f));
        p.angle += p.spin * seconds;
    }
    pieces.erase(std::remove_if(pieces.begin(), pieces.end(), [](const Piece& p) { return p.age >= WRECK_MS; }),
                 pieces.end());
    for (Glow& g : glows) g.age += ms;
    glows.erase(std::remove_if(glows.begin(), glows.end(), [](const Glow& g) { return g.age >= g.life; }),
                glows.end());
}

bool GEffects::flashing(GSide side) const { return (side == SIDE_LEFT || side == SIDE_RIGHT) && flashMs[side] > 0; }

void GEffects::drawGlow(Vec3 at, float radius, Colour colour, float alpha) {
    glBegin(GL_TRIANGLE_FAN);
    glColor4f(colour.r, colour.g, colour.b, alpha);
    glVertex3f(at.x, at.y, at.z);
    glColor4f(colour.r, colour.g, colour.b, 0.0f);
    for (int32_t i = 0; i <= 16; i++) {
        const float a = float(i) * (360.0f / 16.0f) * DEGREES;
        glVertex3f(at.x + std::cos(a) * radius, at.y + std::sin(a) * radius, at.z);
    }
    glEnd();
}

void GEffects::beginLight() {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    // Light adds to what is behind it; and nothing here hides anything
    // drawn after it.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
}

void GEffects::endLight() {
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void GEffects::draw(const GWorld& world) const {
    if (sparks.empty() && pieces.empty() && glows.empty() && flashMs[0] == 0 && flashMs[1] == 0) return;
    beginLight();

    for (const Glow& g : glows) {
        const float left = fade(g.age, g.life);
        drawGlow(g.at, g.from + (g.to - g.from) * (1.0f - left * left), g.colour, left);
    }
    // A ship struck lights up white where it stands, a little larger than
    // itself, fading as the flash ends.
    for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
        const GShip* ship = world.shipOf(side);
        if (flashMs[side] > 0 && ship != nullptr) {
            drawGlow(ship->position, FLASH_RADIUS, Colour{1.0f, 1.0f, 1.0f}, 0.9f * fade(FLASH_MS - flashMs[side], FLASH_MS));
        }
    }

    for (const Piece& p : pieces) {
        // Whole until the last 40 % of the wreck, then fading out.
        const float alpha = std::min(1.0f, fade(p.age, WRECK_MS) / 0.4f);
        glPushMatrix();
        glTranslatef(p.position.x, p.position.y, p.position.z);
        glRotatef(p.angle, 0.0f, 0.0f, 1.0f);
        glColor4f(p.colour.r, p.colour.g, p.colour.b, alpha);
        glBegin(GL_TRIANGLES);
        glVertex3f(-p.size, -0.5f * p.size, 0.0f);
        glVertex3f(p.size, -0.2f * p.size, 0.0f);
        glVertex3f(-0.2f * p.size, 0.6f * p.size, 0.0f);
        glEnd();
        glPopMatrix();
    }

    // In batches of a fixed size: the driver keeps buffers as large as the
    // largest batch it has been handed, and a batch of every spark alive
    // would grow them whenever a match threw more than any before it.
    int32_t inBatch = 0;
    glBegin(GL_TRIANGLES);
    for (const Spark& s : sparks) {
        if (inBatch++ == SPARKS_PER_BATCH) {
            glEnd();
            glBegin(GL_TRIANGLES);
            inBatch = 1;
        }
        // A streak from where the spark was a moment ago to a bright head.
        const float alpha = fade(s.age, s.life);
        const float length = std::sqrt(s.velocity.x * s.velocity.x + s.velocity.y * s.velocity.y);
        const float dx = length > 0.001f ? s.velocity.x / length : 1.0f;
        const float dy = length > 0.001f ? s.velocity.y / length : 0.0f;
        const float tail = std::max(0.4f, length * STREAK_S);
        const Vec3 head(s.position.x + dx * 0.25f, s.position.y + dy * 0.25f, s.position.z);
        const Vec3 back(s.position.x - dx * tail, s.position.y - dy * tail, s.position.z);
        const float sx = -dy * STREAK_HALF_WIDTH, sy = dx * STREAK_HALF_WIDTH;
        // White-hot at the head, the shooter's colour along the streak.
        glColor4f(0.5f + 0.5f * s.colour.r, 0.5f + 0.5f * s.colour.g, 0.5f + 0.5f * s.colour.b, alpha);
        glVertex3f(head.x, head.y, head.z);
        glColor4f(s.colour.r, s.colour.g, s.colour.b, alpha);
        glVertex3f(s.position.x + sx, s.position.y + sy, s.position.z);
        glColor4f(s.colour.r, s.colour.g, s.colour.b, 0.0f);
        glVertex3f(back.x, back.y, back.z);
        glColor4f(0.5f + 0.5f * s.colour.r, 0.5f + 0.5f * s.colour.g, 0.5f + 0.5f * s.colour.b, alpha);
        glVertex3f(head.x, head.y, head.z);
        glColor4f(s.colour.r, s.colour.g, s.colour.b, 0.0f);
        glVertex3f(back.x, back.y, back.z);
        glColor4f(s.colour.r, s.colour.g, s.colour.b, alpha);
        glVertex3f(s.position.x - sx, s.position.y - sy, s.position.z);
    }
    glEnd();
    endLight();
}
