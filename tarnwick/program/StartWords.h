#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <string_view>

namespace tarnwick {

// The words of a plain start (no "--" option). A word counts when it occurs
// in the lower-cased command line at a position after the first character,
// as in "/quit"; at the very first character it is not recognised.
struct TARNWICK_EXPORT StartWords
{
    bool quit = false;
    bool execNow = false;
    bool pending = false;
};

// The command line without the program name: the arguments joined by blanks.
TARNWICK_EXPORT std::string JoinCommandLine(int argc, const char* const* argv);

// True when the first occurrence of word (lower case) in the lower-cased
// line lies after its first character.
TARNWICK_EXPORT bool CommandLineHasWord(std::string_view line, std::string_view word);

TARNWICK_EXPORT StartWords ParseStartWords(std::string_view line);

} // namespace tarnwick
