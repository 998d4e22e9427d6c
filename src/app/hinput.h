// hinput.h: the keyboard and the pads, sampled into the game's input
// snapshot.
#pragma once

class HGamepads;
struct GInput;

// Copies SDL's key state array (which the event pump keeps current) and the
// state of each pad of `pads` (may be null: none) into `input`. Once per
// pass of the main loop, after the events are pumped.
void sampleInput(GInput& input, const HGamepads* pads);
