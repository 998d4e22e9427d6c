// grandom.h: the random source of one match.
//
// Every random number of a match comes from here, seeded with the match's
// seed, so that the seed and the players' flags decide the whole match. Not
// rand(): anything else in the program that called it (a menu, a sound)
// would shift the match's numbers, and two machines playing one match
// could not be sure their C libraries agree.
//
// The generator is a permuted congruential one (64-bit state, 32-bit
// output by a xorshift and a rotation), small, fast and fully defined by
// its arithmetic, so the same seed gives the same numbers everywhere.
#pragma once

#include <cstdint>
#include <cstdlib>  // Required for: rand(), for drawMatchSeed

class GRandom {
public:
    // The largest value next() returns, as rand() has RAND_MAX: draws are
    // used as `next() % n`, and 31 bits keep them non-negative as int.
    static constexpr int32_t MAX = 0x7FFFFFFF;

    explicit GRandom(uint32_t seed = 0) { reseed(seed); }

    void reseed(uint32_t seed) {
        state = 0;
        nextRaw();
        state += seed;
        nextRaw();
    }

    // 0..MAX.
    int32_t next() { return static_cast<int32_t>(nextRaw() >> 1); }

    uint64_t state;

private:
    static constexpr uint64_t MULTIPLIER = 6364136223846793005ull;
    static constexpr uint64_t INCREMENT = 1442695040888963407ull;  // odd

    uint32_t nextRaw() {
        const uint64_t old = state;
        state = old * MULTIPLIER + INCREMENT;
        const uint32_t shifted = static_cast<uint32_t>(((old >> 18) ^ old) >> 27);
        const uint32_t rotation = static_cast<uint32_t>(old >> 59);
        return (shifted >> rotation) | (shifted << ((32 - rotation) & 31));
    }
};

// A new match's seed: the one place rand() (seeded from the clock at
// start-up) still serves, since a seed is meant to differ from run to run.
// rand() gives 31 bits; two draws make all 32.
inline uint32_t drawMatchSeed() {
    const uint32_t high = static_cast<uint32_t>(rand());
    const uint32_t low = static_cast<uint32_t>(rand());
    return (high << 16) ^ low;
}
