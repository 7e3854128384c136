#include "tarnwick/core/WindowModule.h"

namespace tarnwick {

std::vector<std::string> WindowModuleCandidates(const std::string& programDirectory)
{
    return {programDirectory + "libtarnwick_gui.so", programDirectory + TARNWICK_GUI_MODULE_INSTALLED};
}

std::string WindowlessMarkerTitle(const std::string& title)
{
    return title + " (ohne Fenster)";
}

} // namespace tarnwick
