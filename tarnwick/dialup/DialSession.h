#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <functional>
#include <memory>
#include <string>

namespace tarnwick {

// Results of a dial, as the dial progress dialog ends.
inline constexpr int kDialOk = 1; // IDOK: a connection is up (or dial-up is not available at all)
inline constexpr int kDialCancel = 2; // IDCANCEL: every other end

// What a dial needs from the settings record, copied for the worker thread.
struct TARNWICK_EXPORT DialRequest
{
    std::string entryName; // AutoDialConnection
    std::string userName; // AutoDialUsername
    std::string password; // AutoDialPW, clear text as held in memory
};

// One dial of the settings' phonebook entry, as the dial progress dialog
// performs it; the only place where Tarnwick dials. Run blocks the calling
// thread (the address worker) until the dial ends. A session never hangs up
// by itself: on any result but kDialOk the caller calls HangUp.
class TARNWICK_EXPORT DialSession
{
public:
    virtual ~DialSession() = default;
    virtual int Run(const DialRequest& request) = 0;
    // Ends the connection the session holds (also a dial still in progress);
    // false when it holds none.
    virtual bool HangUp() = 0;
};

// Progress texts of a dial (the dialog's status line), for a caller that shows them.
using DialStatusSink = std::function<void(const std::string& text)>;

// Makes the session for one dial. The window program installs one that
// shows the progress dialog; without one, DefaultDialSessionFactory applies.
using DialSessionFactory = std::function<std::unique_ptr<DialSession>(const DialStatusSink& status)>;

struct RasFunctionTable;

// Sessions without a window: the dial runs on the calling thread over table
// (which must outlive the sessions) and its progress texts (and error texts)
// go to the status sink.
TARNWICK_EXPORT DialSessionFactory DefaultDialSessionFactory(const RasFunctionTable& table);

class DialProgress;

// The window's part in a dial that a worker needs: it asks the user-interface
// thread (through its sent-message channel) to make a DialProgress there and
// run the dial progress dialog over it, and blocks the calling worker until
// the dialog has ended.
class TARNWICK_EXPORT DialDialogHost
{
public:
    virtual ~DialDialogHost() = default;
    // Called on the worker thread; gives the dialog's result. progress
    // receives the dial, which lives on the user-interface thread (release it
    // there, with deleteLater); its HangUp may be called from the worker.
    virtual int RunDialDialog(const DialRequest& request, std::shared_ptr<DialProgress>& progress) = 0;
};

// Sessions that show the dialog through host (the window mode's factory).
TARNWICK_EXPORT DialSessionFactory HostedDialSessionFactory(DialDialogHost& host);
// The same for a host that the sessions keep alive: a worker may still dial
// after the window that made the host has gone.
TARNWICK_EXPORT DialSessionFactory HostedDialSessionFactory(std::shared_ptr<DialDialogHost> host);

} // namespace tarnwick
