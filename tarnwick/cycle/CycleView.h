#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <cstdint>
#include <string_view>

namespace tarnwick {

// What the redirect cycle shows on the main window (the icon's part is
// AttentionView). The tray window implements it with widgets, the headless
// mode with lines on standard output, tests with a recorder. Every call
// comes on the user-interface thread.
class TARNWICK_EXPORT CycleView
{
public:
    virtual ~CycleView() = default;

    // Button labels, mnemonics included: control 1008 ("&IPs ermitteln" /
    // "A&bbrechen"), 1014 ("Umleitbefehl hoch&laden" / "A&bbrechen") and 1019
    // ("&Start" / "&Stopp").
    virtual void SetAddressesButtonLabel(std::string_view label) = 0;
    virtual void SetCycleButtonLabel(std::string_view label) = 0;
    virtual void SetPeriodicButtonLabel(std::string_view label) = 0;
    // The interval field 1017 is disabled while periodic redirecting runs.
    virtual void SetIntervalEnabled(bool enabled) = 0;

    // The address fields 1000 (local) and 1001 (remote): a dotted IPv4 or a
    // canonical IPv6 address, "" = cleared.
    virtual void SetLocalAddress(std::string_view address) = 0;
    virtual void SetRemoteAddress(std::string_view address) = 0;
    // Field 1022, the generated redirect address.
    virtual void SetRedirectAddress(std::string_view address) = 0;

    // The status list 1021: emptied, or one more line already formatted
    // "%d.%m.%Y %H:%M - text" (AppendStatusLine gives the list's joining rule).
    virtual void ClearStatusList() = 0;
    virtual void AddStatusLine(std::string_view line) = 0;
};

} // namespace tarnwick
