#include "tarnwick/cycle/TemplateReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr const char* kTooLongText = "Datei ist größer als 20 KB und wird verkürzt übertragen!";

// The reason of a failed read or close: German for what a user meets with a
// template, the system's text otherwise.
std::string FileErrorText(const std::string& path, int error)
{
    std::string reason;
    switch (error) {
    case EACCES:
    case EPERM:
        reason = "Zugriff verweigert.";
        break;
    case EISDIR:
        reason = "Der Name bezeichnet ein Verzeichnis, keine Datei.";
        break;
    case EIO:
        reason = "Das System kann nicht von dem angegebenen Gerät lesen.";
        break;
    case EAGAIN:
        reason = "Die Datei liefert zurzeit keine Daten.";
        break;
    case ENOSPC:
        reason = "Auf dem Datenträger ist nicht genügend Speicherplatz verfügbar.";
        break;
    default:
        reason = std::strerror(error);
        break;
    }
    std::string text = "Fehler beim Lesen der Vorlage \"" + path + "\": " + reason;
    // The status list takes at most 2047 characters of a system error text.
    if (text.size() > 2047)
        text.resize(2047);
    return text;
}

} // namespace

std::string TemplatePath(std::string_view uploadFile, std::string_view programDirectory)
{
    if (uploadFile.empty())
        return {};
    if (uploadFile.find('/') != std::string_view::npos)
        return std::string(uploadFile);
    return std::string(programDirectory) + std::string(uploadFile);
}

TemplateText ReadTemplate(const std::string& path)
{
    TemplateText result;
    if (path.empty())
        return result;
    // Non-blocking, so that a pipe without a writer cannot hold the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return result;

    struct stat info
    {
    };
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    bool tooLong = regular && info.st_size > static_cast<off_t>(kTemplateLimit);
    if (tooLong)
        result.status.push_back({StatusLine::Kind::Error, kTooLongText});

    // One byte more than the limit tells a long special file from a fitting one.
    std::string buffer(kTemplateLimit + 1, '\0');
    size_t got = 0;
    int readError = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            readError = errno;
            break;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (!readError && got > kTemplateLimit) {
        got = kTemplateLimit;
        if (!tooLong) {
            tooLong = true;
            result.status.push_back({StatusLine::Kind::Error, kTooLongText});
        }
    }

    if (readError) {
        result.status.push_back({StatusLine::Kind::Error, FileErrorText(path, readError)});
        ::close(fd);
        return result;
    }
    buffer.resize(got);
    const size_t zero = buffer.find('\0');
    if (zero != std::string::npos)
        buffer.resize(zero);
    result.text = std::move(buffer);

    if (::close(fd) != 0)
        result.status.push_back({StatusLine::Kind::Error, FileErrorText(path, errno)});
    return result;
}

} // namespace tarnwick
