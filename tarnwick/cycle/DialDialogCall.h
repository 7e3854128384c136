#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/dialup/DialSession.h"
#include "tarnwick/messages/MessageTarget.h"
#include "tarnwick/messages/WindowMessages.h"

#include <memory>

namespace tarnwick {

// What WM_RUN_DIAL_DIALOG carries: the worker waits while the user-interface
// thread runs the dialog, so the thread that handles it may fill these in.
struct TARNWICK_EXPORT DialDialogCall
{
    const DialRequest* request = nullptr;
    std::shared_ptr<DialProgress>* progress = nullptr; // set as soon as the dial exists
    int result = kDialCancel;
};

// The window mode's dial host: asks the user-interface thread for the dialog
// through the window's sent-message channel and blocks the worker until it
// ends. A channel that has closed (the window went) answers with Cancel.
class TARNWICK_EXPORT ChannelDialDialogHost final : public DialDialogHost
{
public:
    explicit ChannelDialDialogHost(std::shared_ptr<MessageTarget> window)
        : m_window(std::move(window))
    {
    }

    int RunDialDialog(const DialRequest& request, std::shared_ptr<DialProgress>& progress) override
    {
        DialDialogCall call {&request, &progress, kDialCancel};
        m_window->SendMessage(WM_RUN_DIAL_DIALOG, 0, reinterpret_cast<intptr_t>(&call));
        return call.result;
    }

private:
    std::shared_ptr<MessageTarget> m_window;
};

} // namespace tarnwick
