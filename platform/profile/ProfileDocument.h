#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::profile {

// The lines of an initialisation file, read and changed as Windows does:
// "[section]" headers and "key=value" lines, names compared without regard to
// case, the first of several equal sections or keys winning. Lines it does not
// change are written back exactly as they were.
class ProfileDocument
{
public:
    // text must already be UTF-8 (see DecodeProfileBytes).
    explicit ProfileDocument(std::string_view text);

    // The value with surrounding blanks (and one pair of matching quotes) removed.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the first key of that name in the first such section, or adds it
    // at the end of the section, or adds the section at the end of the file.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    // The whole file with CRLF line ends, as Windows writes them: a backup file
    // moves between systems, and both kinds of line end are read.
    std::string text() const;

private:
    std::optional<size_t> findSection(std::string_view section) const;
    std::optional<size_t> findKey(size_t sectionLine, std::string_view key) const;

    std::vector<std::string> m_lines;
    std::string m_lineEnd = "\r\n";
    bool m_finalLineEnd = true;
};

// Bytes of a file as UTF-8: a UTF-8 byte-order mark is dropped, UTF-16 with
// its mark is converted, and text that is not valid UTF-8 is taken as
// Windows-1252, the code page of files written on German Windows.
std::string DecodeProfileBytes(std::string_view bytes);

} // namespace platform::profile
