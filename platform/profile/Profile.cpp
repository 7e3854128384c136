#include "platform/profile/Profile.h"

#include "platform/profile/ProfileDocument.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Utf8.h"
#include "platform/system/XdgPaths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace platform::profile {

namespace {

// Backup files are a few kilobytes; anything this large is not one of them.
constexpr size_t kMaxProfileSize = 16 * 1024 * 1024;

bool HasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::optional<std::string> ReadValue(std::string_view section, std::string_view key, std::string_view fileName)
{
    std::string path = ResolveProfilePath(fileName);
    if (path.empty() || section.empty() || key.empty())
        return std::nullopt;
    std::string bytes;
    if (!ReadWholeFile(path, bytes, kMaxProfileSize))
        return std::nullopt;
    std::optional<std::string> value = ProfileDocument(DecodeProfileBytes(bytes)).value(section, key);
    // A stray NUL would end the caller's string early while the count says otherwise.
    if (value)
        value->erase(std::remove(value->begin(), value->end(), '\0'), value->end());
    return value;
}

// The real file behind a symbolic link, so that writing replaces the file and
// not the link.
std::string WriteTarget(const std::string& path)
{
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr)
        return resolved;
    return path;
}

} // namespace

std::string ResolveProfilePath(std::string_view fileName)
{
    try {
        if (fileName.empty() || fileName.find('\0') != std::string_view::npos)
            return {};
        if (fileName.find('/') != std::string_view::npos)
            return std::string(fileName);
        if (fileName == "." || fileName == "..")
            return {};
        return VeltConfigDir(false) + "/" + std::string(fileName);
    } catch (...) {
        return {};
    }
}

uint32_t GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                 char* buffer, uint32_t size, std::string_view fileName)
{
    if (buffer == nullptr || size == 0)
        return 0;
    try {
        std::optional<std::string> found = ReadValue(section, key, fileName);
        std::string value;
        if (found) {
            value = std::move(*found);
        } else {
            // Windows drops trailing blanks of the default too.
            value = std::string(defaultValue.substr(0, defaultValue.find('\0')));
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.pop_back();
        }
        size_t count = Utf8SafePrefix(value, size - 1);
        std::memcpy(buffer, value.data(), count);
        buffer[count] = '\0';
        return static_cast<uint32_t>(count);
    } catch (...) {
        buffer[0] = '\0';
        return 0;
    }
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue, std::string_view fileName)
{
    try {
        std::optional<std::string> value = ReadValue(section, key, fileName);
        if (!value)
            return defaultValue;
        // The leading decimal number, as Windows reads it; but a value without
        // one keeps the default instead of becoming 0, so that a damaged file
        // cannot set a zero period or port.
        const char* text = value->c_str();
        const char* digits = text + ((text[0] == '-' || text[0] == '+') ? 1 : 0);
        if (*digits < '0' || *digits > '9')
            return defaultValue;
        errno = 0;
        char* end = nullptr;
        long number = std::strtol(text, &end, 10);
        if (errno == ERANGE || number < INT_MIN || number > INT_MAX)
            return defaultValue;
        return static_cast<int>(number);
    } catch (...) {
        return defaultValue;
    }
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               std::string_view fileName)
{
    return WritePrivateProfileStrings(section, {{std::string(key), std::string(value)}}, fileName);
}

bool WritePrivateProfileStrings(std::string_view section,
                                const std::vector<std::pair<std::string, std::string>>& values,
                                std::string_view fileName)
{
    if (section.empty() || HasLineBreakOrNul(section) || section.find(']') != std::string_view::npos)
        return false;
    for (const auto& [key, value] : values) {
        if (key.empty() || HasLineBreakOrNul(key) || HasLineBreakOrNul(value) || key.find('=') != std::string::npos
            || key.front() == '[' || key.front() == ';')
            return false;
    }
    try {
        std::string path = ResolveProfilePath(fileName);
        if (path.empty())
            return false;
        if (fileName.find('/') == std::string_view::npos && !MakeDirectories(VeltConfigDir(false), 0700))
            return false;
        path = WriteTarget(path);

        std::string bytes;
        bool missing = false;
        mode_t mode = 0600;
        if (!ReadWholeFile(path, bytes, kMaxProfileSize, &missing)) {
            if (!missing)
                return false;
        } else {
            // A binary file is not a profile; rewriting it as text would destroy it.
            bool utf16 = bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE";
            if (!utf16 && bytes.find('\0') != std::string::npos)
                return false;
            struct stat info = {};
            if (stat(path.c_str(), &info) == 0)
                mode = info.st_mode & 07777;
        }
        ProfileDocument document(DecodeProfileBytes(bytes));
        for (const auto& [key, value] : values)
            document.setValue(section, key, value);
        return WriteFileAtomically(path, document.text(), mode);
    } catch (...) {
        return false;
    }
}

} // namespace platform::profile
