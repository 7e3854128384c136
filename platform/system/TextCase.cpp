#include "platform/system/TextCase.h"

namespace platform {

std::string FoldCase(std::string_view text)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + ('a' - 'A'));
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // U+00C0..U+00DE are encoded C3 80..C3 9E; their lower-case forms
            // are 0x20 higher. U+00D7 (multiplication sign) has none.
            unsigned char next = static_cast<unsigned char>(out[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97)
                out[i + 1] = static_cast<char>(next + 0x20);
            ++i;
        }
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

} // namespace platform
