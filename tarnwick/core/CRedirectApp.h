#pragma once

#include "platform/window/RemoteWindow.h"
#include "tarnwick/core/CRedirectSettings.h"

#include <string>
#include <string_view>
#include <sys/types.h>

namespace tarnwick {

// Tarnwick's application object: what the rest of the program takes from it
// (the live settings record, the address service address, the version, the
// title, the program's directory), the start of the first instance, saving
// the settings and the logon-start entry. One per process.
class CRedirectApp
{
public:
    CRedirectApp();
    ~CRedirectApp(); // ExitInstance: the dial-up library goes
    CRedirectApp(const CRedirectApp&) = delete;
    CRedirectApp& operator=(const CRedirectApp&) = delete;

    // Strings 102, 57668 and 57672, and the program's directory and file name.
    void InitApplication();

    // The first instance's start: the settings from the registry (the product
    // key is created when missing), the dial-up functions when AutoDial is on,
    // and the component's registration when it is not registered yet.
    void LoadFirstInstanceState();

    // The dial-up functions, once, when a provider is there. The provider
    // brings NetworkManager's client library and GLib with it, so only what
    // can dial loads it: the window (its auto-dial page) and a run with
    // AutoDial on. Called on the user-interface thread before a worker reads
    // the table.
    void LoadDialUp();

    // Saves the settings to the registry (and, when asked, to the backup
    // file). What another process stored since the last load or save is kept:
    // only the fields this instance changed itself are written over it.
    void SaveSettings(bool withBackup);

    // Takes into the live record what another process stored since the last
    // load, save or adoption (a cheap look at the hive file when nothing
    // changed); the instance's own unsaved changes stay. True when stored
    // values were taken (a window shows them again).
    bool AdoptStoredSettings();

    // The logon-start entry for this program; true on success.
    bool WriteAutostartEntry() const;
    bool DeleteAutostartEntry() const;

    // The running instance's main window, found by the title; empty when none runs.
    static platform::RemoteWindow FindRunningInstance(std::string_view title);

    std::string m_strClientIpUrl;
    CRedirectSettings m_settings;
    std::string m_strVersion;
    std::string m_strProgramDir;
    std::string m_strProgramFile; // the program file's name, for the logon-start entry
    std::string m_strTitle;
    bool m_bPending = false;

private:
    struct HiveStamp
    {
        ino_t inode = 0;
        off_t size = -1;
        long long modifiedNs = -1;
        bool operator==(const HiveStamp&) const = default;
    };
    static HiveStamp CurrentHiveStamp();

    CRedirectSettings m_storedSettings; // as the registry held them at the last load, save or adoption
    HiveStamp m_hiveStamp;
    bool m_bDialUpLoadTried = false;
};

} // namespace tarnwick
