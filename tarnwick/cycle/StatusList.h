#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <ctime>
#include <string>
#include <string_view>

// The status list of the main window: time-stamped lines joined by CR LF,
// never trimmed.
namespace tarnwick {

// The local time formatted "%d.%m.%Y %H:%M" and the text, joined by " - ".
TARNWICK_EXPORT std::string FormatStatusLine(std::time_t when, std::string_view text);

// Appends a formatted line to the list text: CR LF first when the list is not
// empty and does not end with one; the line gets no line end of its own.
TARNWICK_EXPORT void AppendStatusLine(std::string& list, std::string_view line);

} // namespace tarnwick
