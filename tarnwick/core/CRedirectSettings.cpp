#include "tarnwick/core/CRedirectSettings.h"

#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/system/TextCase.h"
#include "platform/url/InternetUrl.h"
#include "tarnwick/core/PasswordScrambler.h"
#include "tarnwick/resources/RegistryPaths.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {

namespace reg = platform::registry;

namespace {

// Windows buffer sizes the stored form has always been read with.
constexpr uint32_t kStringBuffer = 256;
constexpr std::string_view kBackupSection = "Options";

// A REG_SZ that fits the 256-byte buffer; anything else leaves the field alone.
bool QueryString(reg::HKEY key, std::string_view name, std::string& field)
{
    char buffer[kStringBuffer] = {};
    uint32_t type = reg::REG_NONE;
    uint32_t size = sizeof buffer;
    if (reg::RegQueryValue(key, name, &type, buffer, &size) != reg::kSuccess || type != reg::REG_SZ)
        return false;
    field.assign(buffer, strnlen(buffer, std::min<uint32_t>(size, sizeof buffer)));
    return true;
}

bool QueryDword(reg::HKEY key, std::string_view name, uint32_t& value)
{
    uint32_t data = 0;
    uint32_t type = reg::REG_NONE;
    uint32_t size = sizeof data;
    if (reg::RegQueryValue(key, name, &type, &data, &size) != reg::kSuccess || type != reg::REG_DWORD
        || size != sizeof data)
        return false;
    value = data;
    return true;
}

void QueryInt(reg::HKEY key, std::string_view name, int& field)
{
    uint32_t value = 0;
    if (QueryDword(key, name, value))
        field = static_cast<int>(value);
}

void QueryPort(reg::HKEY key, std::string_view name, uint16_t& field)
{
    uint32_t value = 0;
    if (QueryDword(key, name, value))
        field = static_cast<uint16_t>(value & 0xFFFF);
}

// An empty stored text is the empty password (it is what an empty password
// is saved as), so a reload does not keep a password the user has cleared.
void QueryPassword(reg::HKEY key, std::string_view name, std::string_view scrambleKey, std::string& field)
{
    std::string stored;
    if (!QueryString(key, name, stored))
        return;
    if (stored.empty()) {
        field.clear();
        return;
    }
    UnscramblePassword(stored, field, scrambleKey);
}

// The backup file's strings are held to the registry's 255 bytes: a longer
// value is left out rather than cut (a cut address or name would be wrong
// without anyone noticing). The spare bytes let a value cut at a character
// boundary still show that it was too long.
constexpr uint32_t kBackupReadBuffer = kStringBuffer + 8;
constexpr std::string_view kMissingMarker = "\x01missing\x01";

enum class BackupRead { Value, Missing, TooLong };

BackupRead ReadBackupString(std::string_view key, std::string_view file, std::string& value)
{
    char buffer[kBackupReadBuffer] = {};
    const uint32_t count
        = platform::profile::GetPrivateProfileString(kBackupSection, key, kMissingMarker, buffer, sizeof buffer, file);
    const std::string_view text(buffer, std::min<uint32_t>(count, sizeof buffer - 1));
    if (text == kMissingMarker)
        return BackupRead::Missing;
    if (text.size() >= kStringBuffer)
        return BackupRead::TooLong;
    value.assign(text);
    return BackupRead::Value;
}

bool FileIsReadable(std::string_view fileName)
{
    const std::string path = platform::profile::ResolveProfilePath(fileName);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

CRedirectSettings::CRedirectSettings()
{
    CopyFrom(nullptr);
}

CRedirectSettings::~CRedirectSettings() = default;

void CRedirectSettings::CopyFrom(const CRedirectSettings* source)
{
    if (source) {
        *this = *source;
        return;
    }
    m_ExtMessages = 0;
    m_ClientIpByServer = 0;
    m_AutoDialConnection.clear();
    m_AutoDialUsername.clear();
    m_AutoDialPW.clear();
    m_AutoDial = 0;
    m_AutoStart = 0;
    m_WaitTimeInMin = 2;
    m_UploadDir = "/";
    m_UploadServer = "domain";
    m_UploadServiceType = 1;
    m_RedirectUrl = "http://domain/index.htm";
    m_BackupFile = "values.bak";
    m_UserName = "anonymous";
    m_Password.clear();
    m_UploadFile.clear();
    m_LocalUrl.clear();
    m_PhysicalWebDir.clear();
    m_LocalStartPage.clear();
    m_LocalServerName.clear();
    m_LocalWebObject = "/";
    m_LocalServiceType = 3;
    m_LocalPort = 80;
    m_UploadPort = 21;
    m_Modified = 0;
}

void CRedirectSettings::SetExact(std::string& field, std::string_view value)
{
    if (field == value)
        return;
    field.assign(value);
    m_Modified = 1;
}

void CRedirectSettings::SetCaseInsensitive(std::string& field, std::string_view value)
{
    if (platform::EqualsNoCase(field, value))
        return;
    field.assign(value);
    m_Modified = 1;
}

void CRedirectSettings::SetNumber(int& field, int value)
{
    if (field == value)
        return;
    field = value;
    m_Modified = 1;
}

void CRedirectSettings::SetExtMessages(int value)
{
    SetNumber(m_ExtMessages, value);
}

void CRedirectSettings::SetClientIpByServer(int value)
{
    SetNumber(m_ClientIpByServer, value);
}

void CRedirectSettings::SetAutoDialConnection(std::string_view value)
{
    SetExact(m_AutoDialConnection, value);
}

void CRedirectSettings::SetAutoDialUsername(std::string_view value)
{
    SetExact(m_AutoDialUsername, value);
}

void CRedirectSettings::SetAutoDialPW(std::string_view value)
{
    SetExact(m_AutoDialPW, value);
}

void CRedirectSettings::SetAutoDial(int value)
{
    SetNumber(m_AutoDial, value);
}

void CRedirectSettings::SetAutoStart(int value)
{
    SetNumber(m_AutoStart, value);
}

void CRedirectSettings::SetWaitTimeInMin(int value)
{
    if (value < 1 || value > 120)
        return;
    SetNumber(m_WaitTimeInMin, value);
}

void CRedirectSettings::SetUploadDir(std::string_view value)
{
    if (platform::EqualsNoCase(m_UploadDir, value))
        return;
    m_UploadDir.assign(value);
    if (m_UploadDir.empty() || m_UploadDir.front() != '/')
        m_UploadDir.insert(0, 1, '/');
    m_Modified = 1;
}

void CRedirectSettings::SetUploadServer(std::string_view value)
{
    SetCaseInsensitive(m_UploadServer, value);
}

void CRedirectSettings::SetUploadServiceType(int value)
{
    SetNumber(m_UploadServiceType, value);
}

void CRedirectSettings::SetRedirectUrl(std::string_view value)
{
    SetCaseInsensitive(m_RedirectUrl, value);
}

void CRedirectSettings::SetBackupFile(std::string_view value)
{
    SetCaseInsensitive(m_BackupFile, value);
}

void CRedirectSettings::SetUserName(std::string_view value)
{
    SetExact(m_UserName, value);
}

void CRedirectSettings::SetPassword(std::string_view value)
{
    SetExact(m_Password, value);
}

void CRedirectSettings::SetUploadFile(std::string_view value)
{
    SetCaseInsensitive(m_UploadFile, value);
}

void CRedirectSettings::SetLocalUrl(std::string_view value)
{
    SetExact(m_LocalUrl, value);
}

void CRedirectSettings::SetPhysicalWebDir(std::string_view value)
{
    SetExact(m_PhysicalWebDir, value);
}

void CRedirectSettings::SetLocalStartPage(std::string_view value)
{
    SetExact(m_LocalStartPage, value);
}

void CRedirectSettings::SetLocalServerName(std::string_view value)
{
    SetExact(m_LocalServerName, value);
}

void CRedirectSettings::SetLocalWebObject(std::string_view value)
{
    if (m_LocalWebObject == value)
        return;
    m_LocalWebObject.assign(value);
    if (m_LocalWebObject.empty() || m_LocalWebObject.front() != '/')
        m_LocalWebObject.insert(0, 1, '/');
    m_Modified = 1;
}

void CRedirectSettings::SetLocalServiceType(int value)
{
    SetNumber(m_LocalServiceType, value);
}

void CRedirectSettings::SetLocalPort(uint16_t value)
{
    if (m_LocalPort == value)
        return;
    m_LocalPort = value;
    m_Modified = 1;
}

void CRedirectSettings::SetUploadPort(uint16_t value)
{
    if (m_UploadPort == value)
        return;
    m_UploadPort = value;
    m_Modified = 1;
}

void CRedirectSettings::SetModified(int value)
{
    m_Modified = value;
}

std::string CRedirectSettings::GetRedirectAddress()
{
    m_LocalUrl = ComposeUrl(m_LocalServiceType, m_LocalServerName, m_LocalPort, m_LocalWebObject);
    return m_LocalUrl;
}

std::string CRedirectSettings::GetPageFileName(std::string_view address) const
{
    if (address.empty())
        address = m_RedirectUrl;
    platform::InternetUrl url;
    if (!platform::ParseInternetUrl(address, url) || url.serviceType != platform::INTERNET_SERVICE_HTTP)
        return {};
    const size_t slash = url.object.rfind('/');
    if (slash == std::string::npos)
        return {};
    std::string name = url.object.substr(slash + 1);
    const size_t dot = name.find('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    return name;
}

bool CRedirectSettings::LoadFromRegistry(std::string_view productKey)
{
    reg::HKEY key = nullptr;
    if (reg::RegOpenKey(reg::Root::CurrentUser, productKey, reg::Access::Read, &key) != reg::kSuccess)
        return false;

    const std::string passwordKey = BuildScrambleKey({});
    const std::string dialUpKey = BuildScrambleKey(kDialUpPasswordSalt);

    QueryString(key, "LocalStartPage", m_LocalStartPage);
    QueryString(key, "LocalWebObject", m_LocalWebObject);
    QueryString(key, "PhysicalWebDir", m_PhysicalWebDir);
    QueryString(key, "LocalUrl", m_LocalUrl);
    QueryString(key, "UserName", m_UserName);
    QueryPassword(key, "Password", passwordKey, m_Password);
    QueryString(key, "RedirectUrl", m_RedirectUrl);
    QueryString(key, "UploadServer", m_UploadServer);
    QueryString(key, "UploadDir", m_UploadDir);
    QueryString(key, "AutoDialConnection", m_AutoDialConnection);
    QueryString(key, "AutoDialUsername", m_AutoDialUsername);
    QueryPassword(key, "AutoDialPW", dialUpKey, m_AutoDialPW);
    QueryInt(key, "UploadServiceType", m_UploadServiceType);
    QueryPort(key, "UploadPort", m_UploadPort);
    QueryInt(key, "LocalServiceType", m_LocalServiceType);
    QueryPort(key, "LocalPort", m_LocalPort);
    QueryString(key, "UploadFile", m_UploadFile);
    QueryInt(key, "WaitTimeInMin", m_WaitTimeInMin);
    QueryInt(key, "AutoStart", m_AutoStart);
    QueryInt(key, "AutoDial", m_AutoDial);
    QueryInt(key, "ClientIpByServer", m_ClientIpByServer);
    QueryInt(key, "ExtMessages", m_ExtMessages);

    bool closed = reg::RegCloseKey(key) == reg::kSuccess;

    if (reg::RegOpenKey(reg::Root::CurrentUser, resources::kMakerKeyPath, reg::Access::Read, &key) == reg::kSuccess) {
        QueryString(key, "BackupFile", m_BackupFile);
        closed = reg::RegCloseKey(key) == reg::kSuccess && closed;
    }

    m_Modified = 0;
    return closed;
}

bool CRedirectSettings::SaveToRegistry(std::string_view productKey)
{
    if (!m_Modified)
        return true;
    reg::HKEY key = nullptr;
    if (reg::RegOpenKey(reg::Root::CurrentUser, productKey, reg::Access::Full, &key) != reg::kSuccess)
        return false;

    std::string storedPassword;
    std::string storedDialUpPassword;
    ScramblePassword(m_Password, storedPassword, BuildScrambleKey({}));
    ScramblePassword(m_AutoDialPW, storedDialUpPassword, BuildScrambleKey(kDialUpPasswordSalt));

    const auto text = [&](std::string_view name, std::string_view value) {
        return reg::RegSetString(key, name, value) == reg::kSuccess;
    };
    const auto number = [&](std::string_view name, int value) {
        return reg::RegSetDword(key, name, static_cast<uint32_t>(value)) == reg::kSuccess;
    };
    // Stops at the first write that fails.
    bool written = text("LocalStartPage", m_LocalStartPage) && text("LocalWebObject", m_LocalWebObject)
        && text("PhysicalWebDir", m_PhysicalWebDir) && text("LocalServerName", m_LocalServerName)
        && text("LocalUrl", m_LocalUrl) && text("UserName", m_UserName) && text("Password", storedPassword)
        && text("RedirectUrl", m_RedirectUrl) && text("UploadFile", m_UploadFile)
        && text("UploadServer", m_UploadServer) && number("UploadPort", m_UploadPort) && text("UploadDir", m_UploadDir)
        && text("AutoDialConnection", m_AutoDialConnection) && text("AutoDialUsername", m_AutoDialUsername)
        && text("AutoDialPW", storedDialUpPassword) && number("LocalServiceType", m_LocalServiceType)
        && number("LocalPort", m_LocalPort) && number("UploadServiceType", m_UploadServiceType)
        && number("WaitTimeInMin", m_WaitTimeInMin) && number("AutoStart", m_AutoStart)
        && number("AutoDial", m_AutoDial) && number("ClientIpByServer", m_ClientIpByServer)
        && number("ExtMessages", m_ExtMessages);
    written = reg::RegCloseKey(key) == reg::kSuccess && written;

    if (reg::RegOpenKey(reg::Root::CurrentUser, resources::kMakerKeyPath, reg::Access::Full, &key) == reg::kSuccess) {
        written = reg::RegSetString(key, "BackupFile", m_BackupFile) == reg::kSuccess && written;
        reg::RegCloseKey(key);
    } else {
        written = false;
    }

    m_Modified = 0;
    return written;
}

bool CRedirectSettings::LoadFromBackupFile(std::string_view fileName)
{
    if (fileName.empty() || !FileIsReadable(fileName))
        return false;

    // Read into a copy: a file that holds none of the keys is no backup file,
    // and loading it would empty every text field.
    CRedirectSettings loaded(*this);
    int keysFound = 0;
    const auto text = [&](std::string_view name, std::string& field) {
        std::string value;
        switch (ReadBackupString(name, fileName, value)) {
        case BackupRead::Value:
            field = std::move(value);
            ++keysFound;
            break;
        case BackupRead::Missing:
            field.clear();
            break;
        case BackupRead::TooLong:
            ++keysFound;
            break;
        }
    };
    const auto present = [&](std::string_view name) {
        std::string ignored;
        return ReadBackupString(name, fileName, ignored) != BackupRead::Missing;
    };
    const auto number = [&](std::string_view name, int& field) {
        if (!present(name))
            return;
        ++keysFound;
        field = platform::profile::GetPrivateProfileInt(kBackupSection, name, field, fileName);
    };
    const auto port = [&](std::string_view name, uint16_t& field) {
        if (!present(name))
            return;
        ++keysFound;
        field = static_cast<uint16_t>(platform::profile::GetPrivateProfileInt(kBackupSection, name, field, fileName)
                                      & 0xFFFF);
    };

    text("LocalStartPage", loaded.m_LocalStartPage);
    text("LocalWebObject", loaded.m_LocalWebObject);
    text("PhysicalWebDir", loaded.m_PhysicalWebDir);
    number("LocalServiceType", loaded.m_LocalServiceType);
    port("LocalPort", loaded.m_LocalPort);
    text("LocalUrl", loaded.m_LocalUrl);
    text("RedirectUrl", loaded.m_RedirectUrl);
    text("UploadFile", loaded.m_UploadFile);
    number("UploadServiceType", loaded.m_UploadServiceType);
    text("UploadServer", loaded.m_UploadServer);
    text("UploadDir", loaded.m_UploadDir);
    text("AutoDialConnection", loaded.m_AutoDialConnection);
    text("AutoDialUsername", loaded.m_AutoDialUsername);
    port("UploadPort", loaded.m_UploadPort);
    number("WaitTimeInMin", loaded.m_WaitTimeInMin);
    number("AutoStart", loaded.m_AutoStart);
    number("AutoDial", loaded.m_AutoDial);
    number("ClientIpByServer", loaded.m_ClientIpByServer);
    text("UserName", loaded.m_UserName);

    if (keysFound == 0)
        return false;
    *this = std::move(loaded);
    m_Modified = 0;
    return true;
}

bool CRedirectSettings::SaveToBackupFile(std::string_view fileName) const
{
    if (fileName.empty())
        return false;
    namespace profile = platform::profile;
    bool written = true;
    const auto text = [&](std::string_view name, std::string_view value) {
        written = profile::WritePrivateProfileString(kBackupSection, name, value, fileName) && written;
    };
    const auto number = [&](std::string_view name, int value) { text(name, std::to_string(value)); };
    text("LocalStartPage", m_LocalStartPage);
    text("LocalWebObject", m_LocalWebObject);
    text("PhysicalWebDir", m_PhysicalWebDir);
    text("LocalServerName", m_LocalServerName);
    text("LocalUrl", m_LocalUrl);
    text("UserName", m_UserName);
    text("RedirectUrl", m_RedirectUrl);
    text("UploadFile", m_UploadFile);
    text("UploadServer", m_UploadServer);
    text("UploadDir", m_UploadDir);
    text("AutoDialConnection", m_AutoDialConnection);
    text("AutoDialUsername", m_AutoDialUsername);
    number("LocalServiceType", m_LocalServiceType);
    number("LocalPort", m_LocalPort);
    number("UploadServiceType", m_UploadServiceType);
    number("UploadPort", m_UploadPort);
    number("WaitTimeInMin", m_WaitTimeInMin);
    number("AutoStart", m_AutoStart);
    number("AutoDial", m_AutoDial);
    number("ClientIpByServer", m_ClientIpByServer);
    return written;
}

std::string CRedirectSettings::ComposeUrl(int serviceType, std::string_view host, int port, std::string_view path)
{
    std::string scheme;
    int defaultPort = 0;
    if (serviceType == platform::INTERNET_SERVICE_FTP) {
        scheme = "ftp://";
        defaultPort = 21;
    } else if (serviceType == platform::INTERNET_SERVICE_HTTP) {
        scheme = "http://";
        defaultPort = 80;
    } else {
        return {};
    }
    std::string url = scheme;
    url += host;
    if (port != defaultPort)
        url += ":" + std::to_string(port);
    url += path;
    return url;
}

uint32_t CRedirectSettings::ParseIpAddress(std::string_view text)
{
    // The usual decimal conversion: leading blanks, a sign, digits; the rest ignored.
    const auto partValue = [](std::string_view part) -> uint32_t {
        const std::string copy(part);
        const long long value = std::strtoll(copy.c_str(), nullptr, 10);
        return static_cast<uint32_t>(static_cast<unsigned long long>(value) & 0xFF);
    };
    uint32_t result = 0;
    std::string_view rest = text;
    for (int i = 0; i < 3; ++i) {
        const size_t dot = rest.find('.');
        if (dot == std::string_view::npos || dot == 0)
            return 0;
        result = (result << 8) | partValue(rest.substr(0, dot));
        rest = rest.substr(dot + 1);
    }
    return (result << 8) | partValue(rest);
}

} // namespace tarnwick
