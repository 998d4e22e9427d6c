// Randomized comparison of HTimerWheel with a small reference model.
//
// Each sequence drives a fresh wheel and the model through the same random
// operations (insert, remove, activate, deactivate, setTiming, destroying an
// object, advances of -3000..6000 ms) and compares every call the wheel makes:
// which object, onFrame or tick, in which absolute millisecond, and in which
// order within a millisecond. The re-entrant variant also lets ticks and
// onFrame calls remove, insert and deactivate objects, themselves included.
//
// The model keeps, for each object, the absolute millisecond of its next
// tick and advances from event to event. Ideal times of a fractional period
// come from closed formulas (the k-th tick after setTiming lands at
// floor((2*a*k + a mod b) / (2*b)) ms for a ratio a/b over a millisecond,
// and so on); nothing in it knows buckets or lists. Where the wheel's defined
// behaviour is not "next due = last tick + period", the model follows the
// wheel's rules on purpose, each in one obvious place:
//  - a delay d of 999 or more parks the object and it is first ticked
//    d + 2 ms after insertion, not d + 1 (insertModel);
//  - an object that is inactive when its millisecond comes is looked at
//    again 1000 ms later; a parked object that is inactive at a revolution
//    end (every 1000th millisecond) waits 1000 ms longer (processMs, rearm);
//  - within a millisecond the most recently (re)scheduled object goes
//    first (the stamps), every-frame objects likewise.
// The wheel side learns the absolute millisecond of a tick from a metronome
// object ticked every millisecond: during millisecond m its count is m-1 or
// m, and the wheel's bucket tells which.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sched/htimerwheel.h"

namespace {

constexpr int OBJECTS = 6;
constexpr int OPS = 26;
constexpr int64_t REV = HTimerWheel::REVOLUTION_MS;

using Rng = std::mt19937_64;

int64_t uniform(Rng& rng, int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); }
bool chance(Rng& rng, double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }

int32_t bucketOf(int64_t ms) { return static_cast<int32_t>((ms - 1) % REV) + 1; }

// --- timing ---------------------------------------------------------------------

enum class Mode { Whole, RatioLong, RatioShort, FixedLong, FixedShort };

struct Timing {
    Mode mode = Mode::Whole;
    uint32_t a = 1;
    uint32_t b = 0;
    bool fixed() const { return mode == Mode::FixedLong || mode == Mode::FixedShort; }
};

// A period of the given mode with random terms.
Timing randomTimingOfMode(Rng& rng, Mode mode) {
    Timing t;
    t.mode = mode;
    auto wholeMs = [&]() -> uint32_t {
        double r = std::uniform_real_distribution<double>(0, 1)(rng);
        if (r < 0.6) return static_cast<uint32_t>(uniform(rng, 1, 60));
        if (r < 0.75) return static_cast<uint32_t>(uniform(rng, 995, 1005));
        if (r < 0.9) return static_cast<uint32_t>(uniform(rng, 1006, 3500));
        return static_cast<uint32_t>(uniform(rng, 41, 994));
    };
    switch (mode) {
    case Mode::Whole:
        t.a = wholeMs();
        t.b = static_cast<uint32_t>(uniform(rng, 0, 1));
        break;
    case Mode::RatioLong:
        t.a = chance(rng, 0.7) ? static_cast<uint32_t>(uniform(rng, 3, 60)) : static_cast<uint32_t>(uniform(rng, 900, 2500));
        t.b = static_cast<uint32_t>(uniform(rng, 2, t.a - 1));
        break;
    case Mode::FixedLong:
        t.a = wholeMs();
        t.b = static_cast<uint32_t>(uniform(rng, 0, UINT32_MAX));
        break;
    case Mode::RatioShort: // at most 4 ticks per ms, well under the bound
        t.b = static_cast<uint32_t>(uniform(rng, 2, 12));
        t.a = static_cast<uint32_t>(uniform(rng, (t.b + 3) / 4, t.b));
        break;
    case Mode::FixedShort:
        t.a = 0;
        t.b = static_cast<uint32_t>(uniform(rng, uint32_t{1} << 30, UINT32_MAX));
        break;
    }
    return t;
}

Timing randomTiming(Rng& rng, bool singleTickOnly) {
    // Periods under a millisecond are a sixth of the picks: each one ticks
    // every millisecond of the sequence, which is what the test time goes on.
    const int pick = static_cast<int>(uniform(rng, 0, singleTickOnly ? 9 : 11));
    const Mode mode = pick < 5    ? Mode::Whole
                      : pick < 7  ? Mode::RatioLong
                      : pick < 10 ? Mode::FixedLong
                      : pick < 11 ? Mode::RatioShort
                                  : Mode::FixedShort;
    return randomTimingOfMode(rng, mode);
}

bool underAMillisecond(Mode mode) { return mode == Mode::RatioShort || mode == Mode::FixedShort; }

int64_t floorDiv(int64_t n, int64_t d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }
int64_t ceilDiv(int64_t n, int64_t d) { return -floorDiv(-n, d); }

// Milliseconds from a tick to the next, for the k-th re-scheduling since
// setTiming (k = 1, 2, ...).
int64_t intervalOf(const Timing& t, int64_t k) {
    const int64_t a = t.a, b = t.b;
    switch (t.mode) {
    case Mode::Whole:
        return a;
    case Mode::RatioLong: {
        // Ideal k-th time a*k/b, rounded down after adding half the remainder.
        auto at = [&](int64_t j) { return floorDiv(2 * a * j + a % b, 2 * b); };
        return at(k) - at(k - 1);
    }
    case Mode::FixedLong: {
        auto at = [&](int64_t j) { return a * j + ((b * j) >> 32); };
        return at(k) - at(k - 1);
    }
    default:
        return 1;
    }
}

// Ticks made by the end of the k-th millisecond the object is handled since
// setTiming (k = 0, 1, ...), for a period under a millisecond.
int64_t ticksBy(const Timing& t, int64_t k) {
    const int64_t a = t.a, b = t.b;
    if (k == 0) return 0;
    if (t.mode == Mode::RatioShort) {
        // b/a ticks per ms, the j-th (j >= 0) at (2j + 1) * a / 2b ms: those
        // before k ms, ceil((2bk - a) / 2a).
        return ceilDiv(2 * b * k - a, 2 * a);
    }
    // Ticks at j * b / 2^32 ms, j >= 0: those before k ms.
    return ceilDiv(k << 32, b);
}

int64_t ticksOf(const Timing& t, int64_t k) { return ticksBy(t, k) - ticksBy(t, k - 1); }

// --- what both sides record ------------------------------------------------------

struct Call {
    bool frame;
    int id;
    int64_t ms;
    bool operator==(const Call& o) const { return frame == o.frame && id == o.id && ms == o.ms; }
};

std::string describe(const std::vector<Call>& calls, size_t from) {
    std::ostringstream out;
    for (size_t i = from; i < calls.size() && i < from + 6; ++i) {
        out << (calls[i].frame ? " frame(" : " tick(") << calls[i].id << "@" << calls[i].ms << ")";
    }
    if (from + 6 < calls.size()) out << " ...";
    if (from >= calls.size()) out << " (nothing)";
    return out.str();
}

// A re-entrant action, drawn from the same stream on both sides at each call.
struct Action {
    enum Kind {
        None,
        RemoveSelf,
        RemoveOther,
        InsertOther,
        DeactivateSelf,
        ActivateOther,
        DeactivateOther,
        Reinsert,
        RetimeSelf  // setTiming on itself, keeping the kind of period
    } kind = None;
    int other = 0;
    int32_t delay = 0;
    bool everyFrame = false;
    Timing timing;
};

// What the calls of a sequence may do: nothing; anything (objects keep to one
// tick per handling, so that the model need not follow removals in the
// middle of a millisecond); or only retime themselves, periods under a
// millisecond included.
enum class Calls { Plain, Reentrant, Retiming };

int32_t randomDelay(Rng& rng) {
    double r = std::uniform_real_distribution<double>(0, 1)(rng);
    if (r < 0.03) return static_cast<int32_t>(uniform(rng, -3, -1));
    if (r < 0.6) return static_cast<int32_t>(uniform(rng, 0, 60));
    if (r < 0.8) return static_cast<int32_t>(uniform(rng, 990, 1010));
    if (r < 0.9) return static_cast<int32_t>(uniform(rng, 61, 989));
    return static_cast<int32_t>(uniform(rng, 1011, 4500));
}

// `selfMode` is the caller's kind of period, which a retiming keeps.
Action drawAction(Rng& rng, Calls calls, Mode selfMode) {
    Action a;
    if (calls == Calls::Plain || !chance(rng, 0.2)) return a;
    a.kind = calls == Calls::Retiming ? Action::RetimeSelf : static_cast<Action::Kind>(uniform(rng, 1, 8));
    a.other = static_cast<int>(uniform(rng, 0, OBJECTS - 1));
    a.delay = randomDelay(rng);
    a.everyFrame = chance(rng, 0.15);
    if (a.kind == Action::RetimeSelf) a.timing = randomTimingOfMode(rng, selfMode);
    return a;
}

// --- the reference model -----------------------------------------------------------

class Model {
public:
    struct Obj {
        bool scheduled = false, active = false, everyFrame = false, parked = false;
        int64_t due = 0;      // absolute millisecond of the next tick
        uint64_t stamp = 0;   // when last (re)scheduled: newest goes first
        Timing timing;
        int64_t handled = 0;  // re-schedulings since setTiming
        int64_t done = 0;     // ticks since setTiming, periods under a ms
    };

    Model(uint64_t seed, Calls kind) : objs(OBJECTS), actions(seed), kind(kind) {}

    bool insert(int id, int32_t delay, bool everyFrame) {
        Obj& o = objs[id];
        if (o.scheduled) return false;
        o.everyFrame = everyFrame;
        if (!everyFrame && delay < 0) return false;
        o.scheduled = true;
        o.stamp = ++stamps;
        o.parked = false;
        if (!everyFrame) {
            // Parking counts from the revolution end: one more millisecond.
            o.parked = delay >= HTimerWheel::PARK_DELAY;
            o.due = now + delay + (o.parked ? 2 : 1);
        }
        return true;
    }
    bool remove(int id) {
        Obj& o = objs[id];
        if (!o.scheduled) return false;
        o.scheduled = false;
        o.active = false;
        return true;
    }
    void setTiming(int id, const Timing& t) {
        objs[id].timing = t;
        objs[id].handled = 0;
        objs[id].done = 0;
    }
    void recreate(int id, const Timing& t) {
        objs[id] = Obj();
        setTiming(id, t);
    }

    void advance(int32_t elapsed) {
        framePass();
        if (elapsed <= 0) return;
        const int64_t end = now + elapsed;
        for (;;) {
            int64_t next = (now / REV + 1) * REV; // the next revolution end
            for (const Obj& o : objs) {
                if (o.scheduled && !o.everyFrame && !o.parked) {
                    EXPECT_GT(o.due, now) << "model: a missed tick";
                    next = std::min(next, o.due);
                }
            }
            if (next > end) break;
            now = next;
            processMs(now);
            if (now % REV == 0) rearm(now);
        }
        now = end;
    }

    std::vector<Obj> objs;
    std::vector<Call> calls;
    int64_t now = 0; // milliseconds processed so far

private:
    // The objects that `want` picks (and that are due in `ms`, if given),
    // newest first. A small fixed list: this runs for every busy millisecond.
    struct Pending {
        std::pair<uint64_t, int> items[OBJECTS];
        int count = 0;
        const std::pair<uint64_t, int>* begin() const { return items; }
        const std::pair<uint64_t, int>* end() const { return items + count; }
    };
    Pending newestFirst(bool (*want)(const Obj&), int64_t ms = -1) const {
        Pending list;
        for (int i = 0; i < OBJECTS; ++i) {
            if (want(objs[i]) && (ms < 0 || objs[i].due == ms)) list.items[list.count++] = {objs[i].stamp, i};
        }
        for (int i = 1; i < list.count; ++i) { // insertion sort, newest first
            for (int j = i; j > 0 && list.items[j - 1].first < list.items[j].first; --j) {
                std::swap(list.items[j - 1], list.items[j]);
            }
        }
        return list;
    }
    // Still holding the same node as when the list was taken?
    bool same(int id, uint64_t stamp) const { return objs[id].scheduled && objs[id].stamp == stamp; }

    void framePass() {
        for (auto [stamp, id] : newestFirst([](const Obj& o) { return o.scheduled && o.everyFrame; })) {
            if (!same(id, stamp) || !objs[id].active) continue;
            calls.push_back({true, id, now});
            act(id);
        }
    }

    void processMs(int64_t ms) {
        for (auto [stamp, id] : newestFirst([](const Obj& o) { return o.scheduled && !o.everyFrame && !o.parked; }, ms)) {
            if (!same(id, stamp)) continue;
            Obj& o = objs[id];
            if (!o.active) {
                o.due += REV; // passed over, the node stays in its bucket
                continue;
            }
            // Under a millisecond the ticks due by the end of this one, at
            // least one (the wheel always ticks a due object once).
            const bool several = underAMillisecond(o.timing.mode);
            int64_t target = several ? std::max(o.done + 1, ticksBy(o.timing, o.handled + 1)) : o.done + 1;
            bool first = true;
            bool msEnds = false;  // a late retiming under a ratio ends the ms
            while (o.done < target) {
                calls.push_back({false, id, ms});
                ++o.done;
                const bool retimed = act(id);
                if (!same(id, stamp) || !o.active) break;
                if (retimed) {
                    // The retiming tick is the first of the new period. Under
                    // a ratio, in an extra tick, the millisecond already paid
                    // for its ticks: the new pattern starts with the next
                    // one. Otherwise this millisecond is its first.
                    o.done = 1;
                    o.handled = 0;
                    if (o.timing.mode == Mode::RatioShort && !first) {
                        msEnds = true;
                        break;
                    }
                    target = several ? std::max<int64_t>(1, ticksBy(o.timing, 1)) : 1;
                }
                first = false;
            }
            if (!same(id, stamp)) continue; // removed during its tick
            if (!o.active) {
                o.due += REV;
                continue;
            }
            const int64_t k = o.handled + 1;
            const int64_t d = intervalOf(o.timing, k);
            if (!msEnds) o.handled = k;
            o.due = ms + d;
            o.parked = d >= REV;
            o.stamp = ++stamps;
        }
    }

    void rearm(int64_t ms) {
        for (auto [stamp, id] : newestFirst([](const Obj& o) { return o.scheduled && !o.everyFrame && o.parked; })) {
            Obj& o = objs[id];
            if (!o.active) {
                o.due += REV; // an inactive parked object does not count down
            } else if (o.due - ms <= REV) {
                o.parked = false;
                o.stamp = ++stamps;
            }
        }
    }

    // Whether the caller retimed itself.
    bool act(int self) {
        Action a = drawAction(actions, kind, objs[self].timing.mode);
        Obj& other = objs[a.other];
        switch (a.kind) {
        case Action::None: break;
        case Action::RetimeSelf: setTiming(self, a.timing); return true;
        case Action::RemoveSelf: remove(self); break;
        case Action::RemoveOther: remove(a.other); break;
        case Action::InsertOther: insert(a.other, a.delay, other.scheduled ? other.everyFrame : a.everyFrame); break;
        case Action::DeactivateSelf: objs[self].active = false; break;
        case Action::ActivateOther: other.active = true; break;
        case Action::DeactivateOther: other.active = false; break;
        case Action::Reinsert: {
            bool ef = objs[self].everyFrame;
            remove(self);
            insert(self, a.delay, ef);
            objs[self].active = true;
            break;
        }
        }
        return false;
    }

    uint64_t stamps = 0;
    Rng actions;
    Calls kind;
};

// --- the wheel side ------------------------------------------------------------------

class WheelSide {
public:
    class Obj : public HTimedObject {
    public:
        Obj(WheelSide* side, int id) : side(side), id(id) {}
        void tick() override { side->called(false, id); }
        void onFrame(int32_t) override { side->called(true, id); }
        WheelSide* side;
        int id;
    };
    class Metronome : public HTimedObject {
    public:
        void tick() override { ++count; }
        int64_t count = 0;
    };

    WheelSide(uint64_t seed, Calls kind) : wheel(new HTimerWheel), modes(OBJECTS), actions(seed), kind(kind) {
        metronome.delay = 0;
        metronome.setTiming(1, 0, false);
        wheel->insert(&metronome);
        metronome.active = 1;
        for (int i = 0; i < OBJECTS; ++i) objs.push_back(std::make_unique<Obj>(this, i));
    }

    bool insert(int id, int32_t delay, bool everyFrame) {
        Obj& o = *objs[id];
        // A parked object's delay is its remainder: leave scheduled ones be.
        if (o.node == nullptr) {
            o.everyFrame = everyFrame ? 1 : 0;
            o.delay = delay;
        }
        return wheel->insert(&o);
    }
    void setTiming(int id, const Timing& t) {
        objs[id]->setTiming(t.a, t.b, t.fixed());
        modes[id] = t.mode;
    }
    void recreate(int id, const Timing& t) {
        objs[id] = std::make_unique<Obj>(this, id);
        setTiming(id, t);
    }
    void advance(int32_t elapsed) {
        frameMs = now;
        wheel->advance(elapsed);
        if (elapsed > 0) now += elapsed;
    }

    std::unique_ptr<HTimerWheel> wheel;
    Metronome metronome;
    std::vector<std::unique_ptr<Obj>> objs;
    std::vector<Mode> modes;  // each object's kind of period
    std::vector<Call> calls;
    int64_t now = 0;

private:
    void called(bool frame, int id) {
        int64_t ms = frameMs;
        if (!frame) {
            int32_t bucket = wheel->current - 1;
            int64_t c = metronome.count;
            ms = bucketOf(c) == bucket && c > 0 ? c : bucketOf(c + 1) == bucket ? c + 1 : -1;
        }
        calls.push_back({frame, id, ms});
        Action a = drawAction(actions, kind, modes[id]);
        Obj& self = *objs[id];
        Obj& other = *objs[a.other];
        switch (a.kind) {
        case Action::None: break;
        case Action::RetimeSelf: setTiming(id, a.timing); break;
        case Action::RemoveSelf: wheel->remove(&self); break;
        case Action::RemoveOther: wheel->remove(&other); break;
        case Action::InsertOther: insert(a.other, a.delay, a.everyFrame); break;
        case Action::DeactivateSelf: self.active = 0; break;
        case Action::ActivateOther: other.active = 1; break;
        case Action::DeactivateOther: other.active = 0; break;
        case Action::Reinsert:
            wheel->remove(&self);
            insert(id, a.delay, self.everyFrame != 0);
            self.active = 1;
            break;
        }
    }

    Rng actions;
    Calls kind;
    int64_t frameMs = 0;
};

// --- one sequence ----------------------------------------------------------------------

// Runs one random sequence; returns an empty string or what went wrong.
std::string runSequence(uint64_t seed, Calls calls) {
    Rng rng(seed);
    Model model(seed ^ 0x9e3779b97f4a7c15ull, calls);
    auto side = std::make_unique<WheelSide>(seed ^ 0x9e3779b97f4a7c15ull, calls);
    // Periods under a millisecond tick in every millisecond of a sequence and
    // cost the most test time: every fifth sequence has them, every
    // retiming one. Re-entrant sequences keep to one tick per handling.
    const bool singleTick = calls == Calls::Reentrant || (calls == Calls::Plain && seed % 5 != 0);

    for (int id = 0; id < OBJECTS; ++id) {
        Timing t = randomTiming(rng, singleTick);
        model.setTiming(id, t);
        side->setTiming(id, t);
    }

    std::ostringstream history;
    for (int op = 0; op < OPS; ++op) {
        double r = std::uniform_real_distribution<double>(0, 1)(rng);
        int id = static_cast<int>(uniform(rng, 0, OBJECTS - 1));
        std::ostringstream what;
        if (r < 0.25) {
            int32_t delay = randomDelay(rng);
            bool everyFrame = chance(rng, 0.1);
            bool activate = chance(rng, 0.85);
            what << "insert " << id << " delay " << delay << (everyFrame ? " every-frame" : "");
            bool m = model.insert(id, delay, everyFrame);
            bool w = side->insert(id, delay, everyFrame);
            if (m != w) return "insert result differs: " + what.str();
            if (activate) {
                model.objs[id].active = true;
                side->objs[id]->active = 1;
            }
        } else if (r < 0.33) {
            what << "remove " << id;
            if (model.remove(id) != side->wheel->remove(side->objs[id].get())) return "remove result differs";
        } else if (r < 0.48) {
            bool on = chance(rng, 0.6);
            what << (on ? "activate " : "deactivate ") << id;
            model.objs[id].active = on;
            side->objs[id]->active = on ? 1 : 0;
        } else if (r < 0.55) {
            Timing t = randomTiming(rng, singleTick);
            what << "setTiming " << id << " (" << t.a << ", " << t.b << (t.fixed() ? ", fixed)" : ")");
            model.setTiming(id, t);
            side->setTiming(id, t);
        } else if (r < 0.59) {
            Timing t = randomTiming(rng, singleTick);
            what << "destroy and recreate " << id;
            model.recreate(id, t);
            side->recreate(id, t);
        } else {
            double s = std::uniform_real_distribution<double>(0, 1)(rng);
            int32_t e = s < 0.05   ? 0
                        : s < 0.1  ? static_cast<int32_t>(uniform(rng, -3000, -1))
                        : s < 0.6  ? static_cast<int32_t>(uniform(rng, 1, 20))
                        : s < 0.9  ? static_cast<int32_t>(uniform(rng, 21, 400))
                        : s < 0.98 ? static_cast<int32_t>(uniform(rng, 401, 2500))
                                   : static_cast<int32_t>(uniform(rng, 2501, 6000));
            what << "advance " << e << " from ms " << model.now;
            model.advance(e);
            side->advance(e);
        }
        history << "\n  " << op << ": " << what.str();

        auto fail = [&](const std::string& why) {
            return why + "\nseed " + std::to_string(seed) +
                   (calls == Calls::Reentrant ? " (re-entrant)" : calls == Calls::Retiming ? " (retiming)" : "") +
                   ", operations:" +
                   history.str();
        };
        const std::vector<Call>& want = model.calls;
        const std::vector<Call>& got = side->calls;
        if (want != got) {
            size_t i = 0;
            while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
            return fail("calls differ from call " + std::to_string(i) + ":\n  model:" + describe(want, i) +
                        "\n  wheel:" + describe(got, i));
        }
        model.calls.clear();
        side->calls.clear();
        if (side->wheel->current != bucketOf(model.now + 1)) return fail("current is off");
        for (int i = 0; i < OBJECTS; ++i) {
            const WheelSide::Obj& o = *side->objs[i];
            if ((o.node != nullptr) != model.objs[i].scheduled || (o.active != 0) != model.objs[i].active) {
                return fail("scheduled or active differs for object " + std::to_string(i));
            }
        }
    }

    // Teardown in either order must touch no freed node (ASan).
    if (rng() & 1) {
        side->wheel.reset();
        for (auto& o : side->objs) {
            if (o->node != nullptr) return "a node survived the wheel, seed " + std::to_string(seed);
        }
    } else {
        side->objs.clear();
        side->wheel.reset();
    }
    return "";
}

void runRange(uint64_t first, uint64_t count, Calls calls) {
    for (uint64_t seed = first; seed < first + count; ++seed) {
        std::string failure = runSequence(seed, calls);
        if (!failure.empty()) {
            ADD_FAILURE() << failure;
            return; // the first failing seed is the one to reproduce
        }
    }
}

// 10,000 sequences in all, in slices so that CTest can spread them.
TEST(TimerWheelRandom, Sequences0To1999) { runRange(0, 2000, Calls::Plain); }
TEST(TimerWheelRandom, Sequences2000To3999) { runRange(2000, 2000, Calls::Plain); }
TEST(TimerWheelRandom, Sequences4000To5999) { runRange(4000, 2000, Calls::Plain); }
TEST(TimerWheelRandom, ReentrantSequences0To1999) { runRange(0, 2000, Calls::Reentrant); }
TEST(TimerWheelRandom, ReentrantSequences2000To3999) { runRange(2000, 2000, Calls::Reentrant); }
TEST(TimerWheelRandom, RetimingSequences0To999) { runRange(0, 1000, Calls::Retiming); }

// The model itself: its closed formulas against hand-worked patterns.
TEST(TimerWheelRandom, ModelFormulasMatchHandWorkedPatterns) {
    std::vector<int64_t> got;
    for (int k = 1; k <= 6; ++k) got.push_back(intervalOf({Mode::RatioLong, 5, 2}, k));
    EXPECT_EQ(got, std::vector<int64_t>({2, 3, 2, 3, 2, 3}));
    got.clear();
    for (int k = 1; k <= 6; ++k) got.push_back(ticksOf({Mode::RatioShort, 2, 3}, k));
    EXPECT_EQ(got, std::vector<int64_t>({1, 2, 1, 2, 1, 2}));
    got.clear();
    for (int k = 1; k <= 4; ++k) got.push_back(ticksOf({Mode::FixedShort, 0, 0x40000000u}, k));
    EXPECT_EQ(got, std::vector<int64_t>({4, 4, 4, 4}));
    got.clear();
    for (int k = 1; k <= 4; ++k) got.push_back(intervalOf({Mode::FixedLong, 1, 0x80000000u}, k));
    EXPECT_EQ(got, std::vector<int64_t>({1, 2, 1, 2}));
}

} // namespace
