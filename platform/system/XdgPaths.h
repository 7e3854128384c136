#pragma once

#include <string>

// Where per-user files live, after the XDG base directory rules. The environment
// is read on every call, so a changed variable takes effect at once.
namespace platform {

// $XDG_CONFIG_HOME, else $HOME/.config.
std::string ConfigHome();
// $XDG_DATA_HOME, else $HOME/.local/share.
std::string DataHome();
// $XDG_RUNTIME_DIR, else a private /tmp/velt-runtime-<uid> (created 0700 when create is set).
std::string RuntimeDir(bool create = false);
// <ConfigHome>/VELT and <DataHome>/VELT, created with mode 0700 when create is set.
std::string VeltConfigDir(bool create = false);
std::string VeltDataDir(bool create = false);

// Creates dir and its missing parents; new folders get mode (existing ones are left alone).
bool MakeDirectories(const std::string& dir, unsigned mode = 0700);

} // namespace platform
