#pragma once

#include "platform/installer/FileSwap.h"
#include "platform/installer/InstallResult.h"
#include "platform/installer/PackageArchive.h"
#include "platform/internet/CancellableGet.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace platform {
class InternetSession;
}

namespace platform::installer {

enum class InstallStage { Downloading, Verifying, Extracting, Installing };

// Hears what an installation does, on the thread that runs it.
class InstallObserver
{
public:
    virtual void OnStage(InstallStage) { }
    // Progress reports of the package download (INTERNET_STATUS_* codes).
    virtual void OnInternetStatus(uint32_t /*code*/, const std::string& /*info*/) { }
    // Bytes of the package received so far; total 0 when the server did not say.
    virtual void OnDownloadProgress(uint64_t /*received*/, uint64_t /*total*/) { }

protected:
    ~InstallObserver() = default;
};

struct InstallOptions
{
    // The installation folder (the folder above the programs' "bin").
    std::string prefix;
    // SHA-256 of the package in hex; empty: not checked.
    std::string expectedSha256;
    std::string agent = "VELT Programm Online-Update";
    uint64_t maxPackageBytes = 256ull * 1024 * 1024;
    PackageLimits limits;
    std::chrono::milliseconds connectTimeout {30000};
    std::chrono::milliseconds idleTimeout {60000};
    // The whole download, and the least average speed over the idle time:
    // a server that trickles cannot keep the updater waiting without end.
    std::chrono::milliseconds totalTimeout {std::chrono::minutes(30)};
    long lowSpeedBytesPerSecond = 64;
    // Whether the installation belongs to the system's package manager.
    std::function<bool(const std::string& prefix)> ownedByPackageManager;
    // Seam for the failure of a single move while files are swapped.
    MoveHook beforeMove;
};

// Installs one of the project's packages (a tar.gz of an installed tree,
// whatever its name) over the installation in prefix: fetches it when it is
// an address, checks its SHA-256 when one is expected, checks every entry,
// extracts it into a staging folder inside prefix and swaps the files in with
// a backup folder to roll back from. Whatever fails, the old installation
// stays complete and no staging or backup folder is left. The command line
// (installer properties such as "REINSTALL=ALL REINSTALLMODE=vomus") is
// accepted and ignored: a package always replaces every file it holds.
class PackageInstaller
{
public:
    explicit PackageInstaller(InstallOptions options);

    // Blocks until the installation has ended. package: a file path or an
    // http(s) address.
    InstallResult Install(const std::string& package, const std::string& commandLine, InstallObserver* observer);

    // Any thread: ends a running download or extraction with
    // ERROR_INSTALL_USEREXIT. Once files are being swapped the installation
    // completes.
    void Cancel();

private:
    InstallResult Download(const std::string& url, const std::string& file, InstallObserver* observer);
    InstallResult CheckPrefix(std::string& prefix);

    InstallOptions m_options;
    std::atomic<bool> m_cancel {false};
    CancellableGet m_get;
};

} // namespace platform::installer
