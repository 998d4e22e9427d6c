// vk_modelcheck.h: vk-modelinfo --check: what the game will do with a
// model file, and what a model maker can do about it.
//
// Input: model file names, as a model maker would drop them into the game's
// data folder. Output on standard output, per file: how the game reads it,
// which of its models it would replace, its materials, meshes and size
// against the place the game gives that model, then one "warning:" line
// per problem, and a last line saying whether the game draws the model as
// the file describes. The reader's own messages go to standard error.
//
// Textures are looked for next to the model file: the game loads both by
// plain name from its working directory, so a model checked where it will
// be used finds its textures where the game will.
#pragma once

// Checks every file; returns the exit code: 0 when the game draws each one
// as its file describes, 1 when it would draw some file differently (or
// not at all). Warnings about size alone (the model fits its place badly,
// a mesh nears the format's limit) do not change the exit code.
int checkModels(int count, char* const files[]);
