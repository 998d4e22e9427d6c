// vk_json.cpp: JSON strings for the tools' output.
#include "vk_json.h"

#include <cstdio>
#include <cstring>

namespace {

// Length of the valid UTF-8 sequence at s (at most left bytes), or 0.
size_t utf8Length(const unsigned char* s, size_t left) {
    size_t length;
    uint32_t min;
    if (s[0] >= 0xC2 && s[0] <= 0xDF) {
        length = 2;
        min = 0x80;
    } else if (s[0] >= 0xE0 && s[0] <= 0xEF) {
        length = 3;
        min = 0x800;
    } else if (s[0] >= 0xF0 && s[0] <= 0xF4) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (length > left) return 0;
    uint32_t code = s[0] & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (s[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string quote(const char* text) {
    std::string out = "\"";
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t left = strlen(text);
    while (left > 0) {
        const unsigned char c = *s;
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const size_t n = utf8Length(s, left)) {
            out.append(reinterpret_cast<const char*>(s), n);
            s += n;
            left -= n;
            continue;
        } else {
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        }
        ++s;
        --left;
    }
    return out + "\"";
}

std::string statsObject(uint64_t shots, uint64_t hits, uint64_t bounces, uint64_t longestUnhitMs, uint64_t aheadMs) {
    char text[240];
    snprintf(text, sizeof text,
             "{\"shots\": %llu, \"hits\": %llu, \"accuracy\": %.4f, \"bounces\": %llu, \"longestUnhitMs\": %llu, "
             "\"aheadMs\": %llu}",
             static_cast<unsigned long long>(shots), static_cast<unsigned long long>(hits),
             shots > 0 ? static_cast<double>(hits) / static_cast<double>(shots) : 0.0,
             static_cast<unsigned long long>(bounces), static_cast<unsigned long long>(longestUnhitMs),
             static_cast<unsigned long long>(aheadMs));
    return text;
}
