// gskilledcontroller.cpp: the pilot's and the ace's observations and
// decisions.
#include "game/gskilledcontroller.h"

#include "game/gcomputermodel.h"
#include "game/gprojectile.h"
#include "game/gship.h"
#include "game/gworld.h"

using vkm::absOf;
using vkm::clampTo;
using vkm::coast;
using vkm::KEEP;
using vkm::RESPONSE;
using vkm::STRIKE_X;
using vkm::STRIKE_Y;

namespace {

// A shot flies this many of its ticks per ship tick.
constexpr float SHOT_TICKS_PER_SHIP_TICK =
    static_cast<float>(GShip::PERIOD_MS) / static_cast<float>(GProjectile::PERIOD_MS);
// Longest flight looked at, shot ticks: the width of the field and more.
constexpr int32_t MAX_FLIGHT = 120;
// Keeps aim targets off the top and bottom edges, world units: a ship
// pressed there can leave a line only one way. Only as far as that still
// strikes: an opponent on a line further out is aimed at from EDGE_REACH
// inside it. A margin alone was a refuge: one 1 unit from an edge (where
// both ships start) or against it was never struck, since the stopping
// point rests within AIM_BAND of the aim and a shot must pass closer than
// STRIKE_Y.
constexpr float EDGE_MARGIN = 2.0f;
// Ship ticks a shot takes to pass a ship: 2 * STRIKE_X at about a unit per
// shot tick.
constexpr int32_t PASS_TICKS = 4;
// Half-width of the band in which the stopping point counts as on target.
constexpr float AIM_BAND = 0.25f;
// Halfway into the strike, whichever end of the band the stopping point
// rests at; not 0, which would press the own ship against the edge.
constexpr float EDGE_REACH = 0.5f * STRIKE_Y;
static_assert(EDGE_REACH + AIM_BAND < STRIKE_Y, "the aim by an edge must strike");

// The seeds of the two sides' sources differ by more than the low bits.
constexpr uint32_t SIDE_SALT[2] = {0x9E3779B9u, 0x7F4A7C15u};

// A shot from `from`, flying along x towards `direction` (+1 or -1): the
// shot ticks until it comes within STRIKE_X of `targetX` and its y then, or
// -1 when it leaves the field first.
int32_t flight(const GSkilledController::Seen& from, float direction, float targetX, float& lineY) {
    float x = from.x;
    float y = from.y;
    float vx = from.vx;
    float vy = from.vy;
    for (int32_t n = 1; n <= MAX_FLIGHT; n++) {
        vx = KEEP * vx + RESPONSE * direction;
        vy = KEEP * vy;
        x += vx;
        y += vy;
        if (absOf(x - targetX) < STRIKE_X) {
            lineY = y;
            return n;
        }
        if (absOf(x) > vkm::SHOT_FIELD_LIMIT) return -1;
    }
    return -1;
}

}  // namespace

const GSkilledController::Skill GSkilledController::PILOT = {12, 0.7f, 1.2f, 16, 0.55f, 1.8f, 36.0f};
const GSkilledController::Skill GSkilledController::ACE = {8, 1.0f, 0.4f, 12, 0.65f, 2.0f, 32.0f};

GSkilledController::GSkilledController(uint32_t seed, GSide side, const Skill& chosen) : skill(chosen) {
    if (skill.delayTicks >= RING) skill.delayTicks = RING - 1;
    if (skill.delayTicks < 0) skill.delayTicks = 0;
    state.random.reseed(seed ^ SIDE_SALT[side == SIDE_RIGHT ? 1 : 0]);
    state.firstShotTick = static_cast<uint32_t>(skill.delayTicks) +
                          static_cast<uint32_t>(state.random.next() % GShip::FIRE_INTERVAL_TICKS);
}

float GSkilledController::uniform() {
    return static_cast<float>(state.random.next()) / static_cast<float>(GRandom::MAX) * 2.0f - 1.0f;
}

GSkilledController::Seen GSkilledController::ownNow(uint32_t seenAt, float speed) const {
    Seen own = state.ring[seenAt % RING].own;
    for (uint32_t t = seenAt; t < state.ticks; t++) {
        const uint8_t flags = state.ring[t % RING].flags;
        float tx = 0.0f;
        float ty = 0.0f;
        if (flags & FLAG_UP) ty = 1.0f;
        if (flags & FLAG_DOWN) ty = -1.0f;
        if (flags & FLAG_LEFT) tx = -1.0f;
        if (flags & FLAG_RIGHT) tx = 1.0f;
        own.vx = KEEP * own.vx + RESPONSE * tx * speed;
        own.vy = KEEP * own.vy + RESPONSE * ty * speed;
        own.x = clampTo(own.x + own.vx, GShip::FIELD_HALF_WIDTH);
        own.y = clampTo(own.y + own.vy, GShip::FIELD_HALF_HEIGHT);
    }
    return own;
}

uint8_t GSkilledController::decide(const Observation& old, const Seen& own) {
    const Seen& opponent = old.opponent;
    const float towards = opponent.x > own.x ? 1.0f : -1.0f;  // the way own shots fly
    const float delayTicks = static_cast<float>(skill.delayTicks);

    // Aim: the own line onto the opponent's, led over the flight.
    if (--state.aimHold <= 0) {
        state.aimOffset = skill.aimError * uniform();
        state.aimHold = skill.aimHoldTicks;
    }
    float ownLine = own.y + own.vy * coast(60);
    int32_t flightTicks = flight(own, towards, opponent.x, ownLine);
    if (flightTicks < 0) flightTicks = 60;
    const float ahead = delayTicks + static_cast<float>(flightTicks) / SHOT_TICKS_PER_SHIP_TICK;
    const float opponentY = clampTo(opponent.y + skill.lead * opponent.vy * ahead, GShip::FIELD_HALF_HEIGHT);
    const float edgeLimit = GShip::FIELD_HALF_HEIGHT - EDGE_MARGIN;
    const float reachable = absOf(opponentY) - EDGE_REACH;
    const float aimY = clampTo(opponentY + state.aimOffset, reachable > edgeLimit ? reachable : edgeLimit);
    const float steer = aimY - ownLine;  // > 0: go up

    // Dodge. Every incoming shot is looked at once, when first seen, and
    // is then either watched or overlooked until it has gone by: the
    // player's chance of noticing it is the skill's. It is known again
    // from tick to tick by its line and its arrival, which change little
    // in flight.
    for (int32_t i = 0; i < state.trackedCount;) {
        if (--state.tracked[i].arrival < -2) {
            state.tracked[i] = state.tracked[--state.trackedCount];
        } else {
            i++;
        }
    }
    for (int32_t i = 0; i < old.shotCount; i++) {
        float line = 0.0f;
        const int32_t n = flight(old.shots[i], -towards, own.x, line);
        if (n < 0) continue;
        // Ship ticks from now until it arrives; it has flown for the delay.
        const int32_t arrival = static_cast<int32_t>(static_cast<float>(n) / SHOT_TICKS_PER_SHIP_TICK - delayTicks);
        if (arrival < 0) continue;  // gone by already
        bool known = false;
        for (int32_t j = 0; j < state.trackedCount && !known; j++) {
            if (absOf(state.tracked[j].line - line) < 0.5f && state.tracked[j].arrival - arrival <= 2 &&
                arrival - state.tracked[j].arrival <= 2) {
                state.tracked[j].line = line;
                state.tracked[j].arrival = arrival;
                known = true;
            }
        }
        if (known || state.trackedCount >= MAX_SHOTS) continue;
        const bool watched = state.random.next() % 1000 < static_cast<int32_t>(skill.noticeChance * 1000.0f);
        state.tracked[state.trackedCount++] = Tracked{line, arrival, watched};
    }

    // Each of up, nothing and down, held: the noticed shots it runs into,
    // the sooner the worse, then how far it leaves the aim.
    int32_t vertical = steer > AIM_BAND ? 1 : (steer < -AIM_BAND ? -1 : 0);
    if (state.trackedCount > 0) {
        float best = 0.0f;
        for (int32_t u = -1; u <= 1; u++) {
            float cost = absOf(steer - 0.9f * static_cast<float>(u)) * 0.01f;
            for (int32_t j = 0; j < state.trackedCount; j++) {
                if (!state.tracked[j].watched) continue;
                const int32_t arrival = state.tracked[j].arrival < 0 ? 0 : state.tracked[j].arrival;
                // The shot takes a few ticks to pass the ship's length.
                float miss = GShip::FIELD_HALF_HEIGHT * 2.0f;
                for (int32_t k = arrival; k <= arrival + PASS_TICKS; k += 2) {
                    const float c = coast(k);
                    const float y = clampTo(own.y + own.vy * c + static_cast<float>(u) * (static_cast<float>(k) - c),
                                            GShip::FIELD_HALF_HEIGHT);
                    const float off = absOf(y - state.tracked[j].line);
                    if (off < miss) miss = off;
                }
                const int32_t k = arrival;
                if (miss < skill.dodgeClearance) cost += (skill.dodgeClearance - miss) / static_cast<float>(k + 1);
            }
            if (u == -1 || cost < best) {
                best = cost;
                vertical = u;
            }
        }
    }

    uint8_t flags = state.ticks >= state.firstShotTick ? FLAG_FIRE : 0;
    if (vertical > 0) flags |= FLAG_UP;
    if (vertical < 0) flags |= FLAG_DOWN;

    const int32_t horizontal = vkm::holdDistance(own.x, own.vx, opponent.x, skill.distance);
    if (horizontal > 0) flags |= FLAG_RIGHT;
    if (horizontal < 0) flags |= FLAG_LEFT;
    return flags;
}

uint8_t GSkilledController::flags(GWorld& world, GSide side, uint32_t tick) {
    (void)tick;
    const GShip* own = world.shipOf(side);
    if (own == nullptr) return 0;
    Observation& now = state.ring[state.ticks % RING];
    now.take(world, *own);
    uint8_t flags = 0;
    const uint32_t delay = static_cast<uint32_t>(skill.delayTicks);
    // Until something old enough has been seen, the ship waits.
    if (state.ticks >= delay) {
        const uint32_t seenAt = state.ticks - delay;
        flags = decide(state.ring[seenAt % RING], ownNow(seenAt, own->speed));
    }
    now.flags = flags;
    state.ticks++;
    return flags;
}
