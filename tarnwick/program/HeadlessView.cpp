#include "tarnwick/program/HeadlessView.h"

#include <string>

namespace tarnwick {

void HeadlessView::AddStatusLine(std::string_view line)
{
    // One status line is one line of the log: a text with line breaks inside
    // (a server's answer, a system text) is joined with blanks.
    std::string text;
    text.reserve(line.size() + 1);
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\r' && i + 1 < line.size() && line[i + 1] == '\n')
            continue;
        text += (c == '\r' || c == '\n') ? ' ' : c;
    }
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), m_out);
    std::fflush(m_out);
}

} // namespace tarnwick
