// gmastercontroller.cpp: the master's observations, its model of the next
// ticks and its choice of plan.
#include "game/gmastercontroller.h"

#include "game/gcomputermodel.h"
#include "game/gprojectile.h"
#include "game/greplay.h"  // Required for: vkr::FLAG_*
#include "game/gship.h"
#include "game/gworld.h"

using vkm::absOf;
using vkm::clampTo;
using vkm::KEEP;
using vkm::RESPONSE;
using vkm::STRIKE_X;
using vkm::STRIKE_Y;

namespace {

// The model's clock: 5 ms beats, the largest step on which both a ship's
// 25 ms and a shot's 15 ms fall.
constexpr int32_t BEAT_MS = 5;
constexpr int32_t SHIP_BEATS = GShip::PERIOD_MS / BEAT_MS;
constexpr int32_t SHOT_BEATS = GProjectile::PERIOD_MS / BEAT_MS;
static_assert(SHIP_BEATS * BEAT_MS == GShip::PERIOD_MS && SHOT_BEATS * BEAT_MS == GProjectile::PERIOD_MS,
              "ship and shot periods are whole beats");

// Shots followed at once: the seen ones and the guessed ones fired since.
constexpr int32_t GUESSED = (GMasterController::RING + GMasterController::PLAN_TICKS) / GShip::FIRE_INTERVAL_TICKS + 1;
constexpr int32_t MAX_TRACKS = GMasterController::MAX_SHOTS + GUESSED;
constexpr int32_t MAX_TICKS = GMasterController::RING + GMasterController::PLAN_TICKS;
constexpr int32_t MAX_BEATS = MAX_TICKS * SHIP_BEATS;
constexpr int32_t MAX_STEPS = MAX_BEATS / SHOT_BEATS + 1;
// A guessed shot weighs this much of a seen one: its place is a guess.
// Tuned on vk-duel against the ace (seeds 1 to 60, both sides): 0.5 and
// 1.0 came out alike, 0.7 between.
constexpr float GUESS_WEIGHT = 0.7f;
// A plan's own shots count for this share of what the model expects of
// them. The model carries the opponent on without thrust, and a player
// that dodges is seldom there: counted whole (1.0), a likely hit on the
// opponent outweighed a certain one taken, and the master traded shots and
// lost all 20 matches to the ace; at 0.25 to 0.4 it won about 9 in 10,
// at 0.6 about 8.
constexpr float OFFENCE_WEIGHT = 0.3f;
// How far off its line a shot still counts as a likely hit, world units:
// SPREAD wide at the observation, wider by SPREAD_PER_TICK each tick ahead,
// as the opponent's seen motion tells less and less.
constexpr float SPREAD = 1.0f;
constexpr float SPREAD_PER_TICK = 0.02f;
// Beyond that, each unit a shot misses by costs this share of a hit, so
// that a target far off every line still draws the aim: without it every
// plan scored alike, the first won, and the master sat at the bottom
// edge below a target in the top corner.
constexpr float AIM_PULL = 0.01f;
// A shot just fired lies this close to its ship in x.
constexpr float FRESH_X = 2.0f;
// Distance held from the opponent in x. At the ace's 32 a shot crosses in
// about 21 ticks and both sides dodge what they see: the first master
// won 79 and 88 of 100 against the ace (seeds 1001 to 1100). At 20 it
// crosses in about 14, and the master, which also dodges the shots it only
// guesses, won 200 of 200 on either side; but two masters then dodged
// nearly everything, mirror matches lasted 269 s on average and 11 of 200
// ran to the 10 minute cut-off. At 18 and 19 the mirror was as long; at 17
// a shot comes about as soon as it can be seen, the mirror lasted 67 s on
// average (longest 203 s, none cut off, 98 and 102 wins) and the ace still
// lost 185 and 186 of 200. At 14 the ships crowd each other and the ace
// won half.
constexpr float DISTANCE = 17.0f;
// Its aim is off the opponent's line by up to AIM_ERROR, a new draw every
// AIM_HOLD_TICKS. Without it two masters read each other perfectly, dodge
// everything and all 20 mirror matches ran to the 10 minute cut-off;
// with 1.5 four in 20 still did, with 3 none (longest 127 s), and the ace
// still lost 49 of 50.
constexpr float AIM_ERROR = 3.0f;
constexpr int32_t AIM_HOLD_TICKS = 12;
// Ticks ahead of the observation at which the steered plans take the
// opponent's line: the delay and about half a flight.
constexpr int32_t STEER_AHEAD = 18;
// What the plan of the tick before is preferred by, in health.
constexpr float KEEP_BONUS = 0.05f;
// The error only holds whole for an opponent seen moving at least this
// fast in y, units per tick, and shrinks with its speed below: an error of
// 3 at a ship standing still missed it for ever.
constexpr float MOVING_VY = 0.02f;
// Keeping off the top and bottom costs this much health per unit past
// EDGE_FREE at the end of a plan: a ship against an edge can dodge one way.
constexpr float EDGE_FREE = GShip::FIELD_HALF_HEIGHT - 2.0f;
constexpr float EDGE_COST = 0.2f;

// Not the skilled players' salts: a master and an ace of one match and side
// would otherwise draw the same numbers, the first tick they fire on too.
constexpr uint32_t SIDE_SALT[2] = {0x85EBCA6Bu, 0xC2B2AE35u};

// A shot's way, one entry a shot tick: x[0], y[0] where it stands at
// `start` (a beat), x[k], y[k] after its k-th tick at start + k shot beats,
// up to `steps`; past the last it has left the field.
struct Track {
    float weight;
    int32_t start;
    int32_t steps;
    float x[MAX_STEPS + 1];
    float y[MAX_STEPS + 1];
};

void fly(Track& track, GMasterController::Seen shot, float direction, int32_t lastBeat) {
    track.x[0] = shot.x;
    track.y[0] = shot.y;
    track.steps = 0;
    for (int32_t beat = track.start + SHOT_BEATS; beat <= lastBeat && track.steps < MAX_STEPS; beat += SHOT_BEATS) {
        shot.vx = KEEP * shot.vx + RESPONSE * direction;
        shot.vy = KEEP * shot.vy;
        shot.x += shot.vx;
        shot.y += shot.vy;
        track.steps++;
        track.x[track.steps] = shot.x;
        track.y[track.steps] = shot.y;
        // GProjectile dies once its x truncates past the limit.
        if (absOf(shot.x) >= vkm::SHOT_FIELD_LIMIT) break;
    }
}

// One vertical plan: `first` held for `firstTicks`, then `then`.
// `then` is STEER: from then on thrust brings the ship's stopping point
// (where it comes to rest with no thrust) onto `line`, as the skilled
// players steer; a held thrust alone cannot make a long move and stop.
constexpr int8_t STEER = 2;
constexpr float STOP_COAST = KEEP / RESPONSE;  // KEEP + KEEP^2 + ... for ever
constexpr float STEER_BAND = 0.25f;
struct Plan {
    int8_t first, then;
    int32_t firstTicks;
    float line;
    int32_t at(int32_t tick, float y, float vy) const {
        if (tick < firstTicks) return first;
        if (then != STEER) return then;
        const float stop = y + vy * STOP_COAST;
        return stop < line - STEER_BAND ? 1 : (stop > line + STEER_BAND ? -1 : 0);
    }
};

}  // namespace

GMasterController::GMasterController(uint32_t seed, GSide side, int32_t delay) : delayTicks(delay) {
    if (delayTicks > RING - 2) delayTicks = RING - 2;  // the one before it is read too
    if (delayTicks < 0) delayTicks = 0;
    state.random.reseed(seed ^ SIDE_SALT[side == SIDE_RIGHT ? 1 : 0]);
    state.firstShotTick = static_cast<uint32_t>(delayTicks) +
                          static_cast<uint32_t>(state.random.next() % GShip::FIRE_INTERVAL_TICKS);
}

void GMasterController::observe(const GWorld& world, const GShip& own, Observation& now) {
    now.take(world, own);
    now.opponentFired = false;
    for (int32_t i = 0; i < now.shotCount; i++) {
        const Seen& shot = now.shots[i];
        if (absOf(shot.x - now.opponent.x) < FRESH_X && absOf(shot.y - now.opponent.y) < STRIKE_Y) {
            now.opponentFired = true;
        }
    }
}

uint8_t GMasterController::decide(uint32_t seenAt) {
    const Observation& old = state.ring[seenAt % RING];
    const int32_t past = static_cast<int32_t>(state.ticks - seenAt);  // ticks flown since, by known flags
    const int32_t totalTicks = past + PLAN_TICKS;
    const int32_t lastBeat = totalTicks * SHIP_BEATS;
    const Seen& opponent = old.opponent;
    const float towards = opponent.x > old.own.x ? 1.0f : -1.0f;  // the way own shots fly

    // The opponent's rhythm of fire, from the first sight of each shot.
    const bool freshShot = old.opponentFired && !(seenAt > 0 && state.ring[(seenAt - 1) % RING].opponentFired);
    if (freshShot) state.opponentShotAt = static_cast<int32_t>(seenAt);

    // The opponent carried forward by its seen velocity, no thrust: where it
    // comes to rest, which is where a ship that holds still is, and the best
    // guess short of its intentions.
    float oppX[MAX_TICKS + 1], oppY[MAX_TICKS + 1], oppVY[MAX_TICKS + 1];
    {
        Seen o = opponent;
        for (int32_t i = 0; i <= totalTicks; i++) {
            oppX[i] = o.x;
            oppY[i] = o.y;
            oppVY[i] = o.vy;
            o.vx *= KEEP;
            o.vy *= KEEP;
            o.x = clampTo(o.x + o.vx, GShip::FIELD_HALF_WIDTH);
            o.y = clampTo(o.y + o.vy, GShip::FIELD_HALF_HEIGHT);
        }
    }

    // The shots: seen ones from beat 0, guessed ones from where the
    // opponent would fire them.
    Track tracks[MAX_TRACKS];  // about 11 KB of scratch, nothing carried between calls
    int32_t trackCount = 0;
    for (int32_t i = 0; i < old.shotCount; i++) {
        Track& t = tracks[trackCount++];
        t.weight = 1.0f;
        t.start = 0;
        fly(t, old.shots[i], -towards, lastBeat);
    }
    {
        const int32_t interval = GShip::FIRE_INTERVAL_TICKS;
        // None before the first is seen: a ship that never fires is
        // no danger on its own line, and guessing shots from it kept the
        // master off the line of a target standing still.
        int32_t next = state.opponentShotAt >= 0 ? state.opponentShotAt + interval : INT32_MAX - interval;
        while (next <= static_cast<int32_t>(seenAt)) next += interval;
        for (; next - static_cast<int32_t>(seenAt) < totalTicks && trackCount < MAX_TRACKS; next += interval) {
            const int32_t i = next - static_cast<int32_t>(seenAt);
            Track& t = tracks[trackCount++];
            t.weight = GUESS_WEIGHT;
            t.start = i * SHIP_BEATS;
            fly(t, Seen{oppX[i], oppY[i], 0.0f, oppVY[i]}, -towards, lastBeat);
        }
    }

    // In x: the ace's rule, from where the own ship is now. It does not
    // depend on the plan, and neither does the ship's x, so every plan
    // shares the x of its ticks and of its shots.
    int32_t thrustX[MAX_TICKS], thrustY[MAX_TICKS];
    for (int32_t i = 0; i < past; i++) {
        const uint8_t f = state.ring[(seenAt + static_cast<uint32_t>(i)) % RING].flags;
        thrustX[i] = (f & vkr::FLAG_RIGHT) ? 1 : ((f & vkr::FLAG_LEFT) ? -1 : 0);
        thrustY[i] = (f & vkr::FLAG_DOWN) ? -1 : ((f & vkr::FLAG_UP) ? 1 : 0);
    }
    Seen ownNow = old.own;
    for (int32_t i = 0; i < past; i++) {
        ownNow.vx = KEEP * ownNow.vx + RESPONSE * static_cast<float>(thrustX[i]);
        ownNow.x = clampTo(ownNow.x + ownNow.vx, GShip::FIELD_HALF_WIDTH);
        ownNow.vy = KEEP * ownNow.vy + RESPONSE * static_cast<float>(thrustY[i]);
        ownNow.y = clampTo(ownNow.y + ownNow.vy, GShip::FIELD_HALF_HEIGHT);
    }
    const int32_t horizontal = vkm::holdDistance(ownNow.x, ownNow.vx, opponent.x, DISTANCE);
    for (int32_t i = past; i < totalTicks; i++) thrustX[i] = horizontal;
    const bool firing = state.ticks >= state.firstShotTick;

    // The ship's x after each tick's step, before the clamp (where the
    // collision pass tests it) and after.
    float stepX[MAX_TICKS], restX[MAX_TICKS], shipVX[MAX_TICKS];
    {
        float x = old.own.x, vx = old.own.vx;
        for (int32_t i = 0; i < totalTicks; i++) {
            vx = KEEP * vx + RESPONSE * static_cast<float>(thrustX[i]);
            stepX[i] = x + vx;
            x = restX[i] = clampTo(stepX[i], GShip::FIELD_HALF_WIDTH);
            shipVX[i] = vx;
        }
    }

    // Where a shot can strike, by x alone: at a ship tick, the ship's new
    // x against the shot where it stands; at a shot tick, the shot's new x
    // against the ship where it rests. Ship ticks go first within a beat.
    // Each plan then only compares y at these moments.
    struct Moment {
        int16_t tick;   // the ship's tick whose y counts
        bool stepping;  // the ship's y before the clamp (its own step)
        float shotY;
    };
    constexpr int32_t MAX_MOMENTS = 24;
    Moment moments[MAX_TRACKS][MAX_MOMENTS];
    int32_t momentCount[MAX_TRACKS];
    for (int32_t j = 0; j < trackCount; j++) {
        const Track& t = tracks[j];
        int32_t count = 0;
        for (int32_t beat = t.start; beat <= lastBeat && count < MAX_MOMENTS; beat++) {
            const int32_t k = (beat - t.start) / SHOT_BEATS;
            if (k > t.steps) break;
            if (beat % SHIP_BEATS == 0 && beat < lastBeat) {
                const int32_t i = beat / SHIP_BEATS;
                if (absOf(stepX[i] - t.x[k]) < STRIKE_X) moments[j][count++] = Moment{static_cast<int16_t>(i), true, t.y[k]};
            }
            if (beat > t.start && (beat - t.start) % SHOT_BEATS == 0 && count < MAX_MOMENTS) {
                const int32_t i = beat / SHIP_BEATS - (beat % SHIP_BEATS == 0 && beat == lastBeat ? 1 : 0);
                const int32_t rest = i < totalTicks ? i : totalTicks - 1;
                if (absOf(restX[rest] - t.x[k]) < STRIKE_X) moments[j][count++] = Moment{static_cast<int16_t>(rest), false, t.y[k]};
            }
        }
        momentCount[j] = count;
    }

    if (--state.aimHold <= 0) {
        state.aimOffset =
            AIM_ERROR * (static_cast<float>(state.random.next()) / static_cast<float>(GRandom::MAX) * 2.0f - 1.0f);
        state.aimHold = AIM_HOLD_TICKS;
    }
    // An opponent seen still is where it was: no guess to be wrong about.
    const float moving = absOf(opponent.vy) / MOVING_VY;
    const float aimOffset = state.aimOffset * (moving < 1.0f ? moving : 1.0f);
    // The plan's own shots: they go on the ticks the gun allows, whatever
    // the plan, and their x and the tick they cross the opponent's x do not
    // depend on it; their y is the ship's y and vy at firing, carried by
    // the coast of the flight.
    struct Volley {
        int16_t tick;
        float coast;  // the flight's KEEP + KEEP^2 + ...: y gains vy times it
        float targetY;
        float reach;  // the miss at which it stops counting
    };
    Volley volleys[PLAN_TICKS / GShip::FIRE_INTERVAL_TICKS + 2];
    int32_t volleyCount = 0;
    {
        int32_t cooldown = state.cooldown;
        for (int32_t i = past; i < totalTicks; i++) {
            const bool fire = firing || state.ticks + static_cast<uint32_t>(i - past) >= state.firstShotTick;
            if (fire && cooldown == 0) {
                cooldown = GShip::FIRE_INTERVAL_TICKS;
                float x = restX[i], vx = shipVX[i], sum = 0.0f, factor = 1.0f;
                for (int32_t n = 1; n <= MAX_STEPS; n++) {
                    vx = KEEP * vx + RESPONSE * towards;
                    x += vx;
                    factor *= KEEP;
                    sum += factor;
                    const int32_t a = (i * SHIP_BEATS + n * SHOT_BEATS) / SHIP_BEATS;
                    const int32_t at = a < totalTicks ? a : totalTicks;
                    if (absOf(x - oppX[at]) < STRIKE_X) {
                        const float spread = SPREAD + SPREAD_PER_TICK * static_cast<float>(a);
                        volleys[volleyCount++] = Volley{static_cast<int16_t>(i), sum, oppY[at] + aimOffset, 2.0f * spread};
                        break;
                    }
                    if (absOf(x) >= vkm::SHOT_FIELD_LIMIT) break;
                }
            }
            if (cooldown != 0) cooldown--;
        }
    }

    // A plan's health difference at its end.
    auto weigh = [&](const Plan& plan) {
        float stepY[MAX_TICKS], restY[MAX_TICKS], shipVY[MAX_TICKS];
        float y = old.own.y, vy = old.own.vy;
        for (int32_t i = 0; i < totalTicks; i++) {
            const int32_t ty = i < past ? thrustY[i] : plan.at(i - past, y, vy);
            vy = KEEP * vy + RESPONSE * static_cast<float>(ty);
            stepY[i] = y + vy;
            y = restY[i] = clampTo(stepY[i], GShip::FIELD_HALF_HEIGHT);
            shipVY[i] = vy;
        }
        float taken = 0.0f;
        for (int32_t j = 0; j < trackCount; j++) {
            for (int32_t m = 0; m < momentCount[j]; m++) {
                const Moment& at = moments[j][m];
                const float shipY = at.stepping ? stepY[at.tick] : restY[at.tick];
                if (absOf(shipY - at.shotY) < STRIKE_Y) {
                    taken += tracks[j].weight;
                    break;
                }
            }
        }
        float given = 0.0f;
        for (int32_t v = 0; v < volleyCount; v++) {
            const Volley& shot = volleys[v];
            const float miss = absOf(restY[shot.tick] + shipVY[shot.tick] * shot.coast - shot.targetY);
            if (miss < shot.reach) given += 1.0f - miss / shot.reach;
            given -= AIM_PULL * miss;
        }
        const float endY = absOf(restY[totalTicks - 1]);
        const float edge = endY > EDGE_FREE ? (endY - EDGE_FREE) * EDGE_COST : 0.0f;
        return static_cast<float>(GProjectile::HIT_DAMAGE) * (OFFENCE_WEIGHT * given - taken) - edge;
    };

    // The plan of the tick before, one tick on, competes too and wins ties
    // by a little: a plan that waits before it moves would otherwise be
    // chosen again each tick and never move (a ship below a target in a
    // corner held "down one tick, then up" for ever).
    const Plan kept = state.planFirstTicks > 1 || state.planThen == STEER
                          ? Plan{state.planFirst, state.planThen, state.planFirstTicks > 0 ? state.planFirstTicks - 1 : 0,
                                 state.planLine}
                          : Plan{state.planThen, state.planThen, 1, 0.0f};
    Plan best = kept;
    float bestScore = weigh(kept) + KEEP_BONUS;
    auto consider = [&](const Plan& plan) {
        const float score = weigh(plan);
        if (score > bestScore) {
            bestScore = score;
            best = plan;
        }
    };
    static const int32_t FIRST_TICKS[] = {1, 3, 6, 12};
    for (int8_t first = -1; first <= 1; first++) {
        for (int32_t firstTicks : FIRST_TICKS) {
            for (int8_t then = -1; then <= 1; then++) {
                if (then == first && firstTicks != 1) continue;  // the same plan again
                consider(Plan{first, then, firstTicks, 0.0f});
            }
        }
    }
    // Steered onto lines about the aim: the opponent's line a typical
    // flight ahead, off by the aim error; with a dodge first or not.
    const int32_t typical = past + STEER_AHEAD < totalTicks ? past + STEER_AHEAD : totalTicks;
    const float aimLine = oppY[typical] + aimOffset;
    static const float OFFSETS[] = {0.0f, -1.5f, 1.5f, -4.0f, 4.0f};
    static const struct { int8_t first; int32_t ticks; } PREFIXES[] = {{0, 0}, {1, 3}, {-1, 3}, {1, 6}, {-1, 6}};
    for (float offset : OFFSETS) {
        for (const auto& prefix : PREFIXES) consider(Plan{prefix.first, STEER, prefix.ticks, aimLine + offset});
    }
    state.planFirst = best.first;
    state.planThen = best.then;
    state.planFirstTicks = static_cast<int8_t>(best.firstTicks);
    state.planLine = best.line;

    uint8_t flags = firing ? vkr::FLAG_FIRE : 0;
    const int32_t vertical = best.at(0, ownNow.y, ownNow.vy);
    if (vertical > 0) flags |= vkr::FLAG_UP;
    if (vertical < 0) flags |= vkr::FLAG_DOWN;
    if (horizontal > 0) flags |= vkr::FLAG_RIGHT;
    if (horizontal < 0) flags |= vkr::FLAG_LEFT;
    return flags;
}

uint8_t GMasterController::flags(GWorld& world, GSide side, uint32_t tick) {
    (void)tick;
    const GShip* own = world.shipOf(side);
    if (own == nullptr) return 0;
    observe(world, *own, state.ring[state.ticks % RING]);
    uint8_t flags = 0;
    const uint32_t delay = static_cast<uint32_t>(delayTicks);
    // Until something old enough has been seen, the ship waits.
    if (state.ticks >= delay) flags = decide(state.ticks - delay);
    state.ring[state.ticks % RING].flags = flags;
    // The own gun, followed as the ship's tick runs it.
    if ((flags & vkr::FLAG_FIRE) && state.cooldown == 0) state.cooldown = GShip::FIRE_INTERVAL_TICKS;
    if (state.cooldown != 0) state.cooldown--;
    state.ticks++;
    return flags;
}
