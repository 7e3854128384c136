#include "tarnwick/program/AutostartEntry.h"

#include "platform/system/XdgPaths.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr std::string_view kEntryFileName = "TarnwickTray.desktop";

// Quoting of the Exec key: inside double quotes `"`, "`", "$" and "\" take a
// backslash; then the value itself escapes every backslash once more, and a
// literal "%" is written "%%".
bool QuoteForExec(std::string_view path, std::string& out)
{
    std::string quoted = "\"";
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    out.clear();
    for (char c : quoted) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return true;
}

} // namespace

std::string AutostartEntryPath()
{
    return platform::ConfigHome() + "/autostart/" + std::string(kEntryFileName);
}

std::string AutostartCommand(std::string_view programDir, std::string_view programFileName)
{
    return "\"" + std::string(programDir) + std::string(programFileName) + "\" /pending";
}

std::string AutostartDesktopEntry(std::string_view programDir, std::string_view programFileName)
{
    std::string exec;
    if (!QuoteForExec(std::string(programDir) + std::string(programFileName), exec))
        return {};
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=VELT Tarnwick\n"
           "Comment=Hält die Umleitung auf den eigenen Webserver aktuell\n"
           "Icon=tarnwick\n"
           "Exec="
        + exec
        + " /pending\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
}

bool WriteAutostartEntry(std::string_view programDir, std::string_view programFileName)
{
    const std::string content = AutostartDesktopEntry(programDir, programFileName);
    const std::string folder = platform::ConfigHome() + "/autostart";
    if (content.empty() || !platform::MakeDirectories(folder, 0700))
        return false;
    const std::string path = AutostartEntryPath();
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

bool DeleteAutostartEntry()
{
    return ::unlink(AutostartEntryPath().c_str()) == 0;
}

} // namespace tarnwick
