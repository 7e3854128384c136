#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/cycle/AttentionView.h"
#include "tarnwick/cycle/CycleView.h"

#include <cstdio>

namespace tarnwick {

// The cycle's view without a window: every status line goes to a stream
// (standard output in the headless mode), one line each (line breaks inside
// a text become blanks), flushed at once so that a service manager's log
// shows it in time. Labels, fields and the
// icon have nothing to show.
class TARNWICK_EXPORT HeadlessView : public CycleView, public AttentionView
{
public:
    explicit HeadlessView(std::FILE* out = stdout)
        : m_out(out)
    {
    }

    void SetAddressesButtonLabel(std::string_view) override { }
    void SetCycleButtonLabel(std::string_view) override { }
    void SetPeriodicButtonLabel(std::string_view) override { }
    void SetIntervalEnabled(bool) override { }
    void SetLocalAddress(std::string_view) override { }
    void SetRemoteAddress(std::string_view) override { }
    void SetRedirectAddress(std::string_view) override { }
    void ClearStatusList() override { }
    void AddStatusLine(std::string_view line) override;
    bool IsWindowVisible() const override { return false; }
    void ShowAndBringToFront() override { }
    void StartBlinking() override { }
    void StopBlinking() override { }

private:
    std::FILE* m_out;
};

} // namespace tarnwick
