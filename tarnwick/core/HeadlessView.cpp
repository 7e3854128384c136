#include "tarnwick/core/HeadlessView.h"

#include <string>

namespace tarnwick {

void HeadlessView::AddStatusLine(std::string_view line)
{
    // Texts with CR LF inside (server answers) become lines of a log.
    std::string text;
    text.reserve(line.size() + 1);
    for (char c : line) {
        if (c != '\r')
            text += c;
    }
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), m_out);
    std::fflush(m_out);
}

} // namespace tarnwick
