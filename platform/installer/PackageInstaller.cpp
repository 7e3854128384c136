#include "platform/installer/PackageInstaller.h"

#include "platform/installer/FolderWalk.h"
#include "platform/installer/InstallJournal.h"
#include "platform/installer/PackageOwnership.h"
#include "platform/installer/Sha256.h"
#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetSession.h"
#include "platform/url/InternetUrl.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::installer {

namespace {

InstallResult Failed(InstallFailure failure, std::string text)
{
    uint32_t code = ERROR_INSTALL_FAILURE;
    if (failure == InstallFailure::NotFound)
        code = ERROR_FILE_NOT_FOUND;
    else if (failure == InstallFailure::NoPermission || failure == InstallFailure::OwnedByPackageManager)
        code = ERROR_ACCESS_DENIED;
    else if (failure == InstallFailure::Cancelled)
        code = ERROR_INSTALL_USEREXIT;
    return {code, failure, std::move(text)};
}

InstallResult Cancelled()
{
    return Failed(InstallFailure::Cancelled, "Die Installation wurde abgebrochen.");
}

bool IsPermissionError(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// A folder of its own inside prefix; removed with everything in it when the
// object goes, whatever happened.
class PrivateFolder
{
public:
    bool Create(const std::string& prefix, const char* kind, int& error)
    {
        std::string pattern = prefix + "/." + kind + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!::mkdtemp(buffer.data())) {
            error = errno;
            return false;
        }
        m_path = buffer.data();
        return true;
    }
    ~PrivateFolder()
    {
        if (!m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

PackageInstaller::PackageInstaller(InstallOptions options)
    : m_options(std::move(options))
{
    if (!m_options.ownedByPackageManager)
        m_options.ownedByPackageManager = IsPrefixOwnedByPackageManager;
}

void PackageInstaller::Cancel()
{
    m_cancel = true;
    m_get.Cancel();
}

InstallResult PackageInstaller::CheckPrefix(std::string& prefix)
{
    char resolved[PATH_MAX];
    if (m_options.prefix.empty() || !::realpath(m_options.prefix.c_str(), resolved))
        return Failed(InstallFailure::WriteFailed, "Der Installationsordner " + m_options.prefix + " fehlt.");
    prefix = resolved;
    if (m_options.ownedByPackageManager(prefix))
        return Failed(InstallFailure::OwnedByPackageManager,
                      "Die Installation in " + prefix
                          + " gehört zur Paketverwaltung des Systems und wird nur über sie aktualisiert.");
    return {};
}

InstallResult PackageInstaller::Install(const std::string& package, const std::string&, InstallObserver* observer)
{
    std::string prefix;
    if (auto checked = CheckPrefix(prefix); checked.code != ERROR_SUCCESS)
        return checked;
    if (m_cancel)
        return Cancelled();

    // One run at a time; what a dead run left is finished or removed first.
    const int prefixFd = ::open(prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (prefixFd < 0)
        return Failed(InstallFailure::WriteFailed, "Der Installationsordner " + EscapedName(prefix) + " fehlt.");
    struct ClosePrefix
    {
        int fd;
        ~ClosePrefix() { ::close(fd); }
    } closePrefix {prefixFd};
    InstallLock lock;
    if (!lock.TryAcquire(prefixFd)) {
        if (errno == EWOULDBLOCK)
            return Failed(InstallFailure::WriteFailed,
                          "Im Installationsordner " + EscapedName(prefix) + " läuft bereits eine Installation.");
        return Failed(IsPermissionError(errno) ? InstallFailure::NoPermission : InstallFailure::WriteFailed,
                      "Im Installationsordner " + EscapedName(prefix)
                          + " kann nicht geschrieben werden: " + std::strerror(errno));
    }
    std::string recovered;
    if (!RecoverLocked(prefixFd, prefix, recovered))
        return Failed(InstallFailure::WriteFailed, recovered);
    if (!recovered.empty())
        std::fprintf(stderr, "kestrup: %s\n", recovered.c_str());

    PrivateFolder staging;
    int error = 0;
    if (!staging.Create(prefix, "kestrup-staging", error))
        return Failed(IsPermissionError(error) ? InstallFailure::NoPermission : InstallFailure::WriteFailed,
                      "Im Installationsordner " + prefix + " kann nicht geschrieben werden: " + std::strerror(error));

    std::string file = package;
    if (package.find("://") != std::string::npos) {
        file = staging.Path() + "/package";
        if (observer)
            observer->OnStage(InstallStage::Downloading);
        if (auto downloaded = Download(package, file, observer); downloaded.code != ERROR_SUCCESS)
            return downloaded;
    } else {
        struct stat info
        {
        };
        if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return Failed(InstallFailure::NotFound, "Die Setupdatei " + EscapedName(file) + " wurde nicht gefunden.");
    }
    if (m_cancel)
        return Cancelled();

    if (!m_options.expectedSha256.empty()) {
        if (observer)
            observer->OnStage(InstallStage::Verifying);
        const std::string digest = Sha256OfFile(file);
        if (digest.empty())
            return Failed(InstallFailure::NotFound,
                          "Die Setupdatei " + EscapedName(file) + " kann nicht gelesen werden.");
        if (!Sha256Matches(m_options.expectedSha256, digest))
            return Failed(InstallFailure::ChecksumMismatch,
                          "Die Prüfsumme der Setupdatei stimmt nicht mit der Versionsinformation überein.");
    }

    if (observer)
        observer->OnStage(InstallStage::Extracting);
    PackagePlan plan;
    if (auto scanned = ScanPackage(file, m_options.limits, plan, m_cancel); scanned.code != ERROR_SUCCESS)
        return scanned;
    if (auto checked = CheckTargets(plan, prefix); checked.code != ERROR_SUCCESS)
        return checked;
    const std::string tree = staging.Path() + "/tree";
    if (::mkdir(tree.c_str(), 0755) != 0)
        return Failed(InstallFailure::WriteFailed, "Der Ordner " + tree + " kann nicht angelegt werden.");
    if (auto extracted = ExtractPackage(file, plan, tree, m_cancel); extracted.code != ERROR_SUCCESS)
        return extracted;
    // The last point at which a cancel is honoured: the swap runs to its end.
    if (m_cancel)
        return Cancelled();

    if (observer)
        observer->OnStage(InstallStage::Installing);
    PrivateFolder backup;
    if (!backup.Create(prefix, "kestrup-backup", error))
        return Failed(IsPermissionError(error) ? InstallFailure::NoPermission : InstallFailure::WriteFailed,
                      "Im Installationsordner " + prefix + " kann nicht geschrieben werden: " + std::strerror(error));
    return SwapIntoPlace(plan, tree, prefix, backup.Path(), m_options.beforeMove);
}

InstallResult PackageInstaller::Download(const std::string& address, const std::string& file, InstallObserver* observer)
{
    InternetUrl url;
    if (!ParseInternetUrl(address, url)
        || (url.serviceType != INTERNET_SERVICE_HTTP && url.serviceType != AFX_INET_SERVICE_HTTPS))
        return Failed(InstallFailure::NotFound, "Die Adresse der Setupdatei ist ungültig: " + address);

    InternetSession session(m_options.agent, 1, INTERNET_FLAG_DONT_CACHE);
    session.SetTimeouts(m_options.connectTimeout, m_options.idleTimeout);
    session.SetTransferLimits(m_options.totalTimeout, m_options.lowSpeedBytesPerSecond);
    if (observer) {
        session.SetStatusCallback(
            [observer](uintptr_t, uint32_t code, const char* info) { observer->OnInternetStatus(code, info); });
    }

    InstallResult refused;
    uint64_t total = 0;
    int fd = -1;
    const auto answered = [&](HttpRequest& request) {
        const uint32_t status = request.StatusCode();
        if (status == 404 || status == 410) {
            refused = Failed(InstallFailure::NotFound,
                             "Die Setupdatei liegt nicht auf dem Server (" + std::to_string(status) + ").");
            return false;
        }
        if (status != 200) {
            refused
                = Failed(InstallFailure::Download, "Server gab Fehler-Code: " + std::to_string(status) + " zurück!");
            return false;
        }
        if (std::string length; request.QueryHeader("Content-Length", length))
            total = std::strtoull(length.c_str(), nullptr, 10);
        if (total > m_options.maxPackageBytes) {
            refused = Failed(InstallFailure::TooLarge, "Die Setupdatei ist größer als erlaubt.");
            return false;
        }
        fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            refused = Failed(InstallFailure::WriteFailed,
                             "Die Setupdatei kann nicht gespeichert werden: " + std::string(std::strerror(errno)));
            return false;
        }
        return true;
    };

    InstallResult writing;
    uint64_t received = 0;
    const auto write = [&](std::string_view piece) {
        const char* data = piece.data();
        std::size_t left = piece.size();
        while (left > 0) {
            const ssize_t written = ::write(fd, data, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                writing = Failed(InstallFailure::WriteFailed,
                                 "Die Setupdatei kann nicht gespeichert werden: " + std::string(std::strerror(errno)));
                return false;
            }
            data += written;
            left -= static_cast<std::size_t>(written);
        }
        received += piece.size();
        if (observer)
            observer->OnDownloadProgress(received, total);
        return true;
    };

    GetRequest request;
    request.server = url.server;
    request.port = url.port;
    request.object = url.object;
    request.secure = url.serviceType == AFX_INET_SERVICE_HTTPS;
    request.flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    const GetResult got = m_get.Run(session, request, m_options.maxPackageBytes, answered, write);
    InstallResult result;
    switch (got.end) {
    case GetResult::End::Complete:
        break;
    case GetResult::End::NotRead:
        result = refused;
        break;
    case GetResult::End::Stopped:
        result = writing;
        break;
    case GetResult::End::TooLarge:
        result = Failed(InstallFailure::TooLarge, "Die Setupdatei ist größer als erlaubt.");
        break;
    case GetResult::End::Failed:
    case GetResult::End::Cancelled:
        result = m_cancel
            ? Cancelled()
            : Failed(InstallFailure::Download, "Die Setupdatei konnte nicht geladen werden: " + got.error.text);
        break;
    }
    if (fd >= 0 && ::close(fd) != 0 && result.code == ERROR_SUCCESS)
        result = Failed(InstallFailure::WriteFailed, "Die Setupdatei kann nicht gespeichert werden.");
    if (result.code == ERROR_SUCCESS && m_cancel)
        result = Cancelled();
    return result;
}

} // namespace platform::installer
