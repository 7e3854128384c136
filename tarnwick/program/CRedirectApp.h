#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "platform/window/RemoteWindow.h"
#include "tarnwick/settings/CRedirectSettings.h"

#include <string>
#include <string_view>
#include <sys/types.h>

namespace tarnwick {

// Tarnwick's application object: what the rest of the program takes from it
// (the live settings record, the address service address, the version, the
// title, the program's directory), the start of the first instance, saving
// the settings and the logon-start entry. One per process.
class TARNWICK_EXPORT CRedirectApp
{
public:
    CRedirectApp();
    ~CRedirectApp();
    CRedirectApp(const CRedirectApp&) = delete;
    CRedirectApp& operator=(const CRedirectApp&) = delete;

    // Strings 102, 57668 and 57672, and the program's directory and file name.
    void InitApplication();

    // The first instance's start: the settings from the registry (the product
    // key is created when missing) and the component's registration when it
    // is not registered yet. (The session loads the dial-up functions.)
    void LoadFirstInstanceState();

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
};

} // namespace tarnwick
