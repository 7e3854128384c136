#pragma once

#include "tarnwick/cycle/AttentionView.h"
#include "tarnwick/cycle/CycleView.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnwick::test {

// The one QCoreApplication of the test program, made on first use.
void EnsureQtApplication();

// Runs the event loop until done() holds or the time is up; true when it held.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Lets the event loop run for a while.
void PumpFor(std::chrono::milliseconds duration);

// "dd.mm.yyyy hh:mm - " and a text without CR: one line of the status list.
bool IsStampedStatusLine(std::string_view line);

// The program's directory in the build tree, ending in "/": the component
// module is found from it.
std::string BuildProgramDirectory();

// LocalServerName as the product key holds it (the record does not load it):
// what a program that saved its settings left there.
std::string StoredLocalServerName();

// A window that records what the cycle shows and does.
class RecordingView : public CycleView, public AttentionView
{
public:
    void SetAddressesButtonLabel(std::string_view label) override { addressesLabel = label; }
    void SetCycleButtonLabel(std::string_view label) override { cycleLabel = label; }
    void SetPeriodicButtonLabel(std::string_view label) override { periodicLabel = label; }
    void SetIntervalEnabled(bool enabled) override { intervalEnabled = enabled; }
    void SetLocalAddress(std::string_view address) override { localAddress = address; }
    void SetRemoteAddress(std::string_view address) override { remoteAddress = address; }
    void SetRedirectAddress(std::string_view address) override { redirectAddress = address; }
    void ClearStatusList() override { lines.clear(); }
    void AddStatusLine(std::string_view line) override { lines.emplace_back(line); }
    bool IsWindowVisible() const override { return visible; }
    void ShowAndBringToFront() override { ++broughtToFront; }
    void StartBlinking() override { blinking = true; }
    void StopBlinking() override { blinking = false; }

    // The texts of the status lines, without their time stamps.
    std::vector<std::string> Texts() const;
    // All texts joined by "\n", for failure messages and searching.
    std::string Joined() const;

    std::string addressesLabel = "&IPs ermitteln";
    std::string cycleLabel = "Umleitbefehl hoch&laden";
    std::string periodicLabel = "&Start";
    bool intervalEnabled = true;
    std::string localAddress = "unset";
    std::string remoteAddress = "unset";
    std::string redirectAddress;
    std::vector<std::string> lines;
    bool visible = false;
    int broughtToFront = 0;
    bool blinking = false;
};

} // namespace tarnwick::test
