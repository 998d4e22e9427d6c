// vk_json.h: JSON strings for the tools' output.
#pragma once

#include <string>

// `text` as a JSON string, quotes included. Names in model files and file
// names are bytes of no stated encoding: valid UTF-8 passes through, any
// other byte is taken as Latin-1.
std::string quote(const char* text);
