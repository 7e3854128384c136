#pragma once

namespace platform {

// Whether a window can be shown: a display (X or Wayland), or a Qt platform
// chosen explicitly (the tests' offscreen one).
bool HasDisplay();

} // namespace platform
