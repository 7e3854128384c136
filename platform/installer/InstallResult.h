#pragma once

#include <cstdint>
#include <string>

namespace platform::installer {

// Result codes of an installation, as the installer's callers know them.
inline constexpr uint32_t ERROR_SUCCESS = 0;
// The package does not exist: a missing local file, or 404/410 from the server.
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
// The installation prefix may not be changed by this user, or it belongs to
// the system's package manager (updates come through that manager then).
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INSTALL_USEREXIT = 1602;
// Damaged, unrecognised or refused package, checksum mismatch, disk full,
// any failure while the files were put in place (rolled back).
inline constexpr uint32_t ERROR_INSTALL_FAILURE = 1603;

// Why an installation failed, for callers that word the cause themselves.
enum class InstallFailure {
    None,
    NotFound,
    NoPermission,
    OwnedByPackageManager,
    Cancelled,
    Download,
    ChecksumMismatch,
    BadPackage,
    UnsafeEntry,
    TooLarge,
    WriteFailed,
};

struct InstallResult
{
    uint32_t code = ERROR_SUCCESS;
    InstallFailure failure = InstallFailure::None;
    // German description of the cause; empty on success.
    std::string text;
};

} // namespace platform::installer
