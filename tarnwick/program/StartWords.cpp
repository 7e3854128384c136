#include "tarnwick/program/StartWords.h"

namespace tarnwick {

std::string JoinCommandLine(int argc, const char* const* argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return line;
}

bool CommandLineHasWord(std::string_view line, std::string_view word)
{
    std::string lower(line);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    const size_t position = lower.find(word);
    return position != std::string::npos && position > 0;
}

StartWords ParseStartWords(std::string_view line)
{
    StartWords words;
    words.quit = CommandLineHasWord(line, "quit");
    words.execNow = CommandLineHasWord(line, "execnow");
    words.pending = CommandLineHasWord(line, "pending");
    return words;
}

} // namespace tarnwick
