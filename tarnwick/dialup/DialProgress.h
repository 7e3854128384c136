#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/dialup/DialSession.h"
#include "tarnwick/dialup/RasFunctionTable.h"

#include <QObject>

#include <functional>
#include <string>

namespace tarnwick {

// What a dial shows while it runs: the dial progress dialog's controls, or
// status lines without a window. Called on the thread of the DialProgress.
class TARNWICK_EXPORT DialProgressView
{
public:
    virtual ~DialProgressView() = default;
    virtual void SetStatusText(const std::string& text) = 0; // control 1066
    virtual void SetEntryName(const std::string& name) = 0; // control 1073
    virtual void SetPhoneNumber(const std::string& number) = 0; // control 1072
    // A message box "Fehler" with the stop icon; returns when it is confirmed.
    virtual void ShowError(const std::string& text) = 0;
};

// One dial of the settings' phonebook entry as the dial progress dialog runs
// it, without any widget: the dialog is a thin view on it, and without a
// window its texts become status lines. Lives on one thread with an event
// loop; the provider's notifications reach it only as queued calls there.
// Only one dial runs at a time. It never hangs up by itself: after any end
// but kDialOk the caller calls HangUp (which also ends a dial still going on).
class TARNWICK_EXPORT DialProgress : public QObject
{
public:
    static constexpr const char* kNoDialUpText = "RASAPI32.DLL konnte nicht geladen werden!\r\n"
                                                 "Automatische Anwahl einer DFÜ-Verbindung ist nicht möglich.";
    static constexpr const char* kPreparingText = "Anwahl wird vorbereitet...";
    static constexpr const char* kAlreadyConnectedText = "Die Verbindung besteht bereits.";
    static constexpr int kNoDialUpDelayMs = 1000;
    static constexpr int kAlreadyConnectedDelayMs = 500;

    using Finished = std::function<void(int result)>;

    DialProgress(const RasFunctionTable& table, DialProgressView& view, Finished finished, QObject* parent = nullptr);
    ~DialProgress() override;

    // Starts the dial (the dialog's initialisation). The end is reported to
    // finished once, at once or after the early ends' pause.
    void Start(const DialRequest& request);
    // The user's "Abbrechen": ends with kDialCancel at once; the dial goes on.
    // During the pause of an early end it ends with kDialOk at once.
    void Cancel();
    // Ends the connection this dial made (never one found already up);
    // false when there is none. Callable from another thread once the dial ended.
    bool HangUp();

    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }

private:
    void End(int result);
    void OnNotify(uint32_t state, uint32_t error);
    static void DialNotify(uint32_t message, uint32_t state, uint32_t error);

    const RasFunctionTable& m_table;
    DialProgressView& m_view;
    Finished m_finished;
    HRASCONN m_hRasConn = nullptr;
    bool m_ended = false;
    bool m_failing = false; // an error notification's message is open
    bool m_endsWithOk = false; // an early end (no dial-up, already connected) is pending
    int m_result = kDialCancel;
};

} // namespace tarnwick
