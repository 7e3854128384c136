#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>

namespace tarnwick {

// One line for the status list, as information or as an error (the main
// window's WM_INFO_TEXT and WM_ERROR_TEXT).
struct TARNWICK_EXPORT StatusLine
{
    enum class Kind { Information, Error };

    Kind kind = Kind::Information;
    std::string text;

    bool operator==(const StatusLine&) const = default;
};

} // namespace tarnwick
