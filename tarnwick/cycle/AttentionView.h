#pragma once

#include "tarnwick/logic/TarnwickExport.h"

namespace tarnwick {

// How the cycle draws the user's attention after a failure: a visible window
// comes to the front, a hidden one makes the notification icon blink. The
// tray window implements it with its window and icon; without a window there
// is nobody to tell. Every call comes on the user-interface thread.
class TARNWICK_EXPORT AttentionView
{
public:
    virtual ~AttentionView() = default;

    virtual bool IsWindowVisible() const = 0;
    virtual void ShowAndBringToFront() = 0;
    // Frames every 500 ms until StopBlinking, which puts the icon from before back.
    virtual void StartBlinking() = 0;
    virtual void StopBlinking() = 0;
};

} // namespace tarnwick
