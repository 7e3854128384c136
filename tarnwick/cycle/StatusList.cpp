#include "tarnwick/cycle/StatusList.h"

namespace tarnwick {

std::string FormatStatusLine(std::time_t when, std::string_view text)
{
    std::tm local {};
    localtime_r(&when, &local);
    char stamp[64];
    const size_t length = std::strftime(stamp, sizeof stamp, "%d.%m.%Y %H:%M", &local);
    std::string line(stamp, length);
    line += " - ";
    line += text;
    return line;
}

void AppendStatusLine(std::string& list, std::string_view line)
{
    if (!list.empty() && !(list.size() >= 2 && list.compare(list.size() - 2, 2, "\r\n") == 0))
        list += "\r\n";
    list += line;
}

} // namespace tarnwick
