#pragma once

// The logic library hides its symbols; what the program, the window module,
// the updater and the tests use across it is marked with TARNWICK_EXPORT.
#define TARNWICK_EXPORT __attribute__((visibility("default")))
