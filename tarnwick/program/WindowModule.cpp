#include "tarnwick/program/WindowModule.h"

namespace tarnwick {

std::vector<std::string> WindowModuleCandidates(const std::string& programDirectory)
{
    return {programDirectory + "libtarnwick_gui.so",
            programDirectory + "../" TARNWICK_PRIVATE_LIBDIR "/libtarnwick_gui.so"};
}

std::string WindowlessMarkerTitle(const std::string& title)
{
    return title + " (ohne Fenster)";
}

} // namespace tarnwick
