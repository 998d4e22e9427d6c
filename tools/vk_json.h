// vk_json.h: JSON strings for the tools' output.
#pragma once

#include <cstdint>
#include <string>

#include "game/gmatchstats.h"

// `text` as a JSON string, quotes included. Names in model files and file
// names are bytes of no stated encoding: valid UTF-8 passes through, any
// other byte is taken as Latin-1.
std::string quote(const char* text);

// A ship's statistics as a JSON object: {"shots", "hits", "accuracy",
// "bounces", "longestUnhitMs", "aheadMs"}, accuracy hits / shots (0
// without a shot) with four decimals. Wide enough for vk-duel's sums.
std::string statsObject(uint64_t shots, uint64_t hits, uint64_t bounces, uint64_t longestUnhitMs, uint64_t aheadMs);
inline std::string statsObject(const GShipStats& s) {
    return statsObject(s.shots, s.hits, s.bounces, s.longestUnhitMs, s.aheadMs);
}
