#pragma once

// Runs queued input (mouse clicks, key presses, repaints) from inside a long loop on the
// user-interface thread. Returns true when something was processed. It returns false at
// once, doing nothing, when it last pumped events less than 10 ms ago, so that a loop
// calling it once per folder of a million-file disc does not spend its time here.
bool Yield();
