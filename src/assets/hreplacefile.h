// hreplacefile.h: writing a file the game keeps, whole or not at all.
//
// The bytes go to PATH.tmp, which then takes PATH's place with a rename:
// a crash, a full disk or a kill half way leaves the file there before, never
// half of the new one. Whatever fails is said on standard error ("Unable to
// write PATH: reason"), and the temporary file goes.
#pragma once

#include <cstdio>
#include <functional>

// `write` puts the new contents into the open file; false when it could not.
// True once PATH holds them.
bool hReplaceFile(const char* path, const std::function<bool(FILE*)>& write);
