#include "platform/profile/ProfileDocument.h"

#include "platform/system/AsciiText.h"
#include "platform/system/TextCase.h"
#include "platform/system/Utf8.h"

namespace platform::profile {

namespace {

bool SectionName(std::string_view line, std::string_view& name)
{
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[')
        return false;
    line.remove_prefix(1);
    name = TrimBlanks(line.substr(0, line.find(']')));
    return true;
}

bool KeyLine(std::string_view line, std::string_view& key, std::string_view& value)
{
    std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return false;
    size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = TrimBlanks(trimmed.substr(0, equals));
    value = TrimBlanks(trimmed.substr(equals + 1));
    return true;
}

} // namespace

std::string DecodeProfileBytes(std::string_view bytes)
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE")
        return Utf16LeToUtf8(bytes.substr(2));
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return Windows1252ToUtf8(bytes);
}

ProfileDocument::ProfileDocument(std::string_view text)
{
    m_finalLineEnd = text.empty() || text.back() == '\n';
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_lines.emplace_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
}

std::optional<size_t> ProfileDocument::findSection(std::string_view section) const
{
    std::string_view name;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (SectionName(m_lines[i], name) && EqualsNoCase(name, TrimBlanks(section)))
            return i;
    }
    return std::nullopt;
}

std::optional<size_t> ProfileDocument::findKey(size_t sectionLine, std::string_view key) const
{
    std::string_view name, lineKey, lineValue;
    for (size_t i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (SectionName(m_lines[i], name))
            break;
        if (KeyLine(m_lines[i], lineKey, lineValue) && EqualsNoCase(lineKey, TrimBlanks(key)))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileDocument::value(std::string_view section, std::string_view key) const
{
    std::optional<size_t> sectionLine = findSection(section);
    if (!sectionLine)
        return std::nullopt;
    std::optional<size_t> keyLine = findKey(*sectionLine, key);
    if (!keyLine)
        return std::nullopt;
    std::string_view lineKey, lineValue;
    KeyLine(m_lines[*keyLine], lineKey, lineValue);
    if (lineValue.size() >= 2 && (lineValue.front() == '"' || lineValue.front() == '\'')
        && lineValue.back() == lineValue.front())
        lineValue = lineValue.substr(1, lineValue.size() - 2);
    return std::string(lineValue);
}

void ProfileDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    std::optional<size_t> sectionLine = findSection(section);
    if (!sectionLine) {
        if (!m_lines.empty() && !TrimBlanks(m_lines.back()).empty())
            m_lines.emplace_back();
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(std::string(key) + "=" + std::string(value));
        m_finalLineEnd = true;
        return;
    }
    if (std::optional<size_t> keyLine = findKey(*sectionLine, key)) {
        // Keep the spelling the file already uses for the key.
        std::string_view lineKey, lineValue;
        KeyLine(m_lines[*keyLine], lineKey, lineValue);
        m_lines[*keyLine] = std::string(lineKey) + "=" + std::string(value);
        return;
    }
    // After the section's last non-blank line, so that the blank line that
    // separates it from the next section stays in place.
    size_t insertAt = *sectionLine + 1;
    std::string_view name;
    for (size_t i = *sectionLine + 1; i < m_lines.size() && !SectionName(m_lines[i], name); ++i) {
        if (!TrimBlanks(m_lines[i]).empty())
            insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   std::string(key) + "=" + std::string(value));
    if (insertAt == m_lines.size() - 1)
        m_finalLineEnd = true;
}

std::string ProfileDocument::text() const
{
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i];
        if (i + 1 < m_lines.size() || m_finalLineEnd)
            out += m_lineEnd;
    }
    return out;
}

} // namespace platform::profile
