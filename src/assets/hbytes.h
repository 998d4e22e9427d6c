// hbytes.h: little-endian numbers to and from bytes, the one place that
// knows byte order, for 3DS models, replays and network packets alike (it
// was once mended in one of four copies and not in the others).
//
// A reader that streams (the replay's, with its CRC) hands each number's
// bytes to hReadLittle; the rest read through an HByteReader over memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>  // Required for: memcpy (float bits)
#include <vector>

// The `size` bytes at `p` (at most 8) as one number, lowest byte first.
inline uint64_t hReadLittle(const uint8_t* p, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; i++) value |= uint64_t(p[i]) << (8 * i);
    return value;
}

// The low `size` bytes of `value` (at most 8) to `p`, lowest byte first.
inline void hWriteLittle(uint8_t* p, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; i++) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The same, highest byte first: network order, for the online lobby's
// datagrams, which carry IPv4 addresses and ports as every tool shows them.
inline uint64_t hReadBig(const uint8_t* p, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; i++) value = (value << 8) | p[i];
    return value;
}
inline void hWriteBig(uint8_t* p, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; i++) p[i] = static_cast<uint8_t>(value >> (8 * (size - 1 - i)));
}

// Numbers read in turn from `size` bytes at `data`, which it never reads
// past. A read that would run past the end gives 0 and marks the reader
// short, and so does every read after it, even one that would fit: a parser
// may read a whole record and ask ok() once. Floats are IEEE 754 singles.
class HByteReader {
public:
    HByteReader(const uint8_t* data, size_t size) : data(data), size(size) {}

    uint8_t u8() { return static_cast<uint8_t>(take(1)); }
    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    uint32_t u32() { return static_cast<uint32_t>(take(4)); }
    uint64_t u64() { return take(8); }
    float f32() {
        const uint32_t bits = u32();
        float value;
        memcpy(&value, &bits, sizeof value);
        return value;
    }

    // False once a read ran past the end.
    bool ok() const { return !ranOut; }
    // Every byte read, and none past the end.
    bool atEnd() const { return !ranOut && at == size; }

private:
    uint64_t take(size_t count) {
        if (ranOut || size - at < count) {
            ranOut = true;
            return 0;
        }
        const uint64_t value = hReadLittle(data + at, count);
        at += count;
        return value;
    }

    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool ranOut = false;
};

// Numbers appended to a buffer that grows as needed.
class HByteWriter {
public:
    void u8(uint8_t value) { buffer.push_back(value); }
    void u16(uint16_t value) { little(value, 2); }
    void u32(uint32_t value) { little(value, 4); }
    void u64(uint64_t value) { little(value, 8); }
    void f32(float value) {
        uint32_t bits;
        memcpy(&bits, &value, sizeof bits);
        u32(bits);
    }
    void bytes(const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        if (size > 0) buffer.insert(buffer.end(), p, p + size);
    }
    // Overwrites `size` bytes from offset `at`, all of them already
    // written: for a length known only once what it counts is written.
    void patch(size_t at, uint64_t value, size_t size) { hWriteLittle(buffer.data() + at, value, size); }

    // The bytes so far.
    const std::vector<uint8_t>& data() const { return buffer; }
    size_t size() const { return buffer.size(); }

private:
    void little(uint64_t value, size_t size) {
        buffer.resize(buffer.size() + size);
        hWriteLittle(buffer.data() + buffer.size() - size, value, size);
    }

    std::vector<uint8_t> buffer;
};
