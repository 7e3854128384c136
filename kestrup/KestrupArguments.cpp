#include "kestrup/KestrupArguments.h"

#include "platform/system/TextCase.h"

namespace kestrup {

namespace {

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsWhiteSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsWhiteSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The text behind the key's first occurrence (searched in a lower-case copy
// of the same length), trimmed; nothing when the key is absent.
bool TextBehindKey(std::string_view text, std::string_view key, std::string_view& rest)
{
    if (text.empty() || key.empty())
        return false;
    const size_t at = platform::FoldCase(text).find(key);
    if (at == std::string::npos)
        return false;
    rest = Trim(text.substr(at + key.size()));
    return true;
}

} // namespace

std::string JoinArguments(const std::vector<std::string>& args)
{
    std::string line;
    for (const auto& arg : args) {
        if (!line.empty())
            line += ' ';
        const size_t equals = arg.find('=');
        const bool keyValue = equals != std::string::npos && equals > 0 && arg.find_first_of(" \t") > equals
            && arg.find('"') == std::string::npos;
        if (keyValue && arg.find(' ', equals) != std::string::npos)
            line += arg.substr(0, equals + 1) + '"' + arg.substr(equals + 1) + '"';
        else
            line += arg;
    }
    return line;
}

std::string GetArgument(std::string_view commandLine, std::string_view key)
{
    std::string_view rest;
    if (!TextBehindKey(commandLine, key, rest))
        return {};
    if (!rest.empty() && rest.front() == '"') {
        const size_t close = rest.find('"', 1);
        if (close != std::string_view::npos)
            return std::string(rest.substr(1, close - 1));
    }
    return std::string(rest.substr(0, rest.find(' ')));
}

std::string GetTextValue(std::string_view text, std::string_view key)
{
    std::string_view rest;
    if (!TextBehindKey(text, key, rest))
        return {};
    size_t end = rest.find("\r\n");
    if (end == std::string_view::npos)
        end = rest.find('\n');
    return std::string(rest.substr(0, end));
}

std::string CompleteMsiFile(const std::string& value, const std::string& programDir)
{
    if (!value.empty() && value.find('/') == std::string::npos)
        return programDir + value;
    return value;
}

std::string CompleteMsiDownloadUrl(const std::string& value, std::string_view host)
{
    if (!value.empty() && value.find("://") == std::string::npos)
        return "http://" + std::string(host) + value;
    return value;
}

std::string VersionTextPath(const std::string& objectPath)
{
    const size_t dot = objectPath.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return objectPath;
    return objectPath.substr(0, dot) + ".txt";
}

} // namespace kestrup
