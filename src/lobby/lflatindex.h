// lflatindex.h: a fixed-size hash index from 64-bit keys to 32-bit slot
// numbers, for the lobby's tables (codes, introductions, addresses).
//
// Open addressing with linear probing in one array sized once: nothing is
// allocated after the constructor, so a request never costs the allocator
// anything, and the memory a lobby can use is known when it starts. Erasing
// shifts the entries behind back into the hole (no tombstones), so that a
// long-lived index never degrades into full scans.
//
// Keys come from strangers (addresses, nonces): they are mixed with a salt
// drawn at start, so that no one can aim keys at one run of the table.
#pragma once

#include <cstdint>
#include <vector>

class LFlatIndex {
public:
    static constexpr uint32_t NONE = UINT32_MAX;

    // Room for `most` keys; the table is at least twice that, a power of two,
    // so that probes stay short at the fullest.
    LFlatIndex(uint32_t most, uint64_t salt) : salt(salt) {
        uint32_t size = 16;
        while (size < 2u * most) size *= 2;
        mask = size - 1;
        keys.assign(size, 0);
        values.assign(size, NONE);
        limit = most;
    }

    // The value kept for `key`, or NONE.
    uint32_t find(uint64_t key) const {
        for (uint32_t i = home(key);; i = (i + 1) & mask) {
            if (values[i] == NONE) return NONE;
            if (keys[i] == key) return values[i];
        }
    }

    // Keeps `value` (not NONE) for `key`, replacing any. False when the
    // index already holds its `most` keys and `key` is not among them.
    bool insert(uint64_t key, uint32_t value) {
        uint32_t i = home(key);
        for (; values[i] != NONE; i = (i + 1) & mask) {
            if (keys[i] == key) {
                values[i] = value;
                return true;
            }
        }
        if (count >= limit) return false;
        keys[i] = key;
        values[i] = value;
        count++;
        return true;
    }

    // Forgets `key`; false if it was not kept.
    bool erase(uint64_t key) {
        uint32_t hole = home(key);
        for (;; hole = (hole + 1) & mask) {
            if (values[hole] == NONE) return false;
            if (keys[hole] == key) break;
        }
        // Each entry after the hole, up to the next empty one, moves into the
        // hole unless its home lies cyclically in (hole, entry].
        for (uint32_t i = (hole + 1) & mask; values[i] != NONE; i = (i + 1) & mask) {
            const uint32_t h = home(keys[i]);
            const bool stays = hole <= i ? (hole < h && h <= i) : (hole < h || h <= i);
            if (stays) continue;
            keys[hole] = keys[i];
            values[hole] = values[i];
            hole = i;
        }
        values[hole] = NONE;
        count--;
        return true;
    }

    uint32_t size() const { return count; }
    uint32_t most() const { return limit; }
    // Bytes held, for the lobby's memory figure.
    size_t bytes() const { return keys.size() * (sizeof(uint64_t) + sizeof(uint32_t)); }

private:
    uint32_t home(uint64_t key) const {
        // SplitMix64's finalizer: every key bit reaches every index bit.
        uint64_t z = key ^ salt;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<uint32_t>(z) & mask;
    }

    uint64_t salt;
    uint32_t mask = 0;
    uint32_t limit = 0;
    uint32_t count = 0;
    std::vector<uint64_t> keys;
    std::vector<uint32_t> values;
};
