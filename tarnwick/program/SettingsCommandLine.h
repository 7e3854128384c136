#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "tarnwick/settings/CRedirectSettings.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

// The command-line options that read and change the stored settings without
// a window or display: --print-page, --set Name=Value, --get Name,
// --save-backup [FILE], --load-backup FILE, --help. A refused command line
// writes nothing.
class TARNWICK_EXPORT SettingsCommandLine
{
public:
    static constexpr int kExitSuccess = 0;
    // A step failed: the registry or a file could not be read or written.
    static constexpr int kExitFailure = 1;
    // The command line was refused; nothing was written.
    static constexpr int kExitUsage = 2;

    // The page and read values go to out; messages and status lines to err.
    SettingsCommandLine(std::ostream& out, std::ostream& err);

    // True when args (without the program name) hold one of these options.
    static bool Handles(const std::vector<std::string>& args);

    // Runs args (without the program name); returns the exit code.
    int Run(const std::vector<std::string>& args);

private:
    enum class Action { None, PrintPage, Set, Get, SaveBackup, LoadBackup, Help, Version };

    int PrintPage();
    int SetValues(const std::vector<std::pair<std::string, std::string>>& assignments);
    int GetValues(const std::vector<std::string>& names);
    int SaveBackup(const std::optional<std::string>& file);
    int LoadBackup(const std::string& file);
    int Help();

    bool LoadStoredSettings(CRedirectSettings& settings);
    int StoreFailed(CRedirectSettings::StoreResult result);
    int Refuse(const std::string& message);
    int Fail(const std::string& message);

    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace tarnwick
