#include "platform/installer/PackageEntry.h"

#include "platform/installer/FolderWalk.h"

#include <array>
#include <sys/stat.h>

namespace platform::installer {

std::optional<std::vector<std::string>> SplitEntryPath(std::string_view path)
{
    if (path.empty() || path.front() == '/')
        return std::nullopt;
    std::vector<std::string> parts;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return std::nullopt;
        parts.emplace_back(part);
    }
    return parts;
}

bool LinkStaysInside(const std::vector<std::string>& linkDir, std::string_view target)
{
    if (target.empty() || target.front() == '/')
        return false;
    std::vector<std::string> where = linkDir;
    while (!target.empty()) {
        const size_t slash = target.find('/');
        const std::string_view part = target.substr(0, slash);
        target = slash == std::string_view::npos ? std::string_view() : target.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (where.empty())
                return false;
            where.pop_back();
        } else {
            where.emplace_back(part);
        }
    }
    return true;
}

std::optional<std::string> CheckEntry(const PackageEntry& entry)
{
    const auto parts = SplitEntryPath(entry.path);
    if (!parts)
        return "Das Paket enthält einen unzulässigen Pfad: " + EscapedName(entry.path);
    switch (entry.type) {
    case PackageEntry::Type::File:
    case PackageEntry::Type::Directory:
        break;
    case PackageEntry::Type::Symlink: {
        std::vector<std::string> dir = *parts;
        if (!dir.empty())
            dir.pop_back();
        if (!LinkStaysInside(dir, entry.linkTarget))
            return "Das Paket enthält eine Verknüpfung aus dem Installationsordner hinaus: " + EscapedName(entry.path);
        break;
    }
    case PackageEntry::Type::HardLink:
        return "Das Paket enthält einen harten Link: " + EscapedName(entry.path);
    case PackageEntry::Type::Other:
        return "Das Paket enthält eine Gerätedatei, FIFO oder einen Socket: " + EscapedName(entry.path);
    }
    if (entry.mode & (S_ISUID | S_ISGID))
        return "Das Paket enthält eine Datei mit Set-User-ID- oder Set-Group-ID-Recht: " + EscapedName(entry.path);
    return std::nullopt;
}

std::optional<std::string> CommonTopFolder(const std::vector<std::vector<std::string>>& paths)
{
    static constexpr std::array<std::string_view, 9> kInstallFolders
        = {"bin", "sbin", "lib", "lib64", "libexec", "share", "include", "etc", "var"};
    std::optional<std::string> top;
    bool anyBelow = false;
    for (const auto& parts : paths) {
        if (parts.empty())
            continue;
        if (top && *top != parts.front())
            return std::nullopt;
        top = parts.front();
        anyBelow = anyBelow || parts.size() > 1;
    }
    if (!top || !anyBelow)
        return std::nullopt;
    for (const auto name : kInstallFolders) {
        if (*top == name)
            return std::nullopt;
    }
    return top;
}

} // namespace platform::installer
