#include "tarnwick/settings/CRedirectSettings.h"

#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/TextCase.h"
#include "platform/url/InternetUrl.h"
#include "platform/url/IpAddressText.h"
#include "tarnwick/resources/RegistryPaths.h"
#include "tarnwick/settings/PasswordScrambler.h"
#include "tarnwick/settings/SettingsFieldTable.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace tarnwick {

namespace reg = platform::registry;

namespace {

using Field = SettingsField;
using Sequence = SettingsField::Sequence;

// The stored form's strings come back through a 256-byte buffer.
constexpr size_t kStringBuffer = 256;
constexpr std::string_view kBackupSection = "Options";

const reg::HiveKey* FindKey(const reg::HiveKey& root, std::string_view path)
{
    std::vector<std::string> steps;
    return reg::SplitKeyPath(path, steps) ? root.find(steps) : nullptr;
}

reg::HiveKey* FindKey(reg::HiveKey& root, std::string_view path)
{
    std::vector<std::string> steps;
    return reg::SplitKeyPath(path, steps) ? root.find(steps) : nullptr;
}

// A REG_SZ that fits the buffer; anything else leaves the field alone.
const std::string* StoredText(const reg::HiveKey& key, std::string_view name)
{
    const reg::HiveValue* value = key.findValue(name);
    if (value == nullptr || value->type != reg::REG_SZ || value->text.size() >= kStringBuffer)
        return nullptr;
    return &value->text;
}

// One value as the registry load reads it: no setter rules, no range checks.
void LoadStoredValue(CRedirectSettings& settings, const Field& field, const reg::HiveKey& key)
{
    if (!field.isNumeric()) {
        const std::string* stored = StoredText(key, field.name);
        if (stored == nullptr)
            return;
        std::string& target = settings.*field.text;
        if (field.kind != Field::Kind::Password) {
            target = *stored;
        } else if (stored->empty()) {
            // What an empty password is saved as, so a cleared password stays cleared.
            target.clear();
        } else {
            UnscramblePassword(*stored, target, BuildScrambleKey(field.scrambleSalt));
        }
        return;
    }
    const reg::HiveValue* value = key.findValue(field.name);
    if (value == nullptr || value->type != reg::REG_DWORD)
        return;
    if (field.number)
        settings.*field.number = static_cast<int>(value->number);
    else
        settings.*field.port = static_cast<uint16_t>(value->number & 0xFFFF);
}

// Stores one value of settings into key; true when the stored value changed.
bool StoreValue(const CRedirectSettings& settings, const Field& field, reg::HiveKey& key)
{
    reg::HiveValue value;
    value.name = std::string(field.name);
    if (field.isNumeric()) {
        value.type = reg::REG_DWORD;
        value.number = field.number ? static_cast<uint32_t>(settings.*field.number)
                                    : static_cast<uint32_t>(settings.*field.port);
    } else {
        value.type = reg::REG_SZ;
        if (field.kind == Field::Kind::Password)
            ScramblePassword(settings.*field.text, value.text, BuildScrambleKey(field.scrambleSalt));
        else
            value.text = settings.*field.text;
    }
    return key.setValue(std::move(value));
}

// The record from a hive's content; false when the product key is missing.
bool LoadFromHive(CRedirectSettings& settings, const reg::HiveKey& root, std::string_view productKey,
                  bool withServerName)
{
    const reg::HiveKey* product = FindKey(root, productKey);
    if (product == nullptr)
        return false;
    const reg::HiveKey* maker = FindKey(root, resources::kMakerKeyPath);
    for (const Field* field : SettingsFieldsIn(Sequence::RegistryLoad)) {
        const reg::HiveKey* key = field->key == Field::Key::Product ? product : maker;
        if (key)
            LoadStoredValue(settings, *field, *key);
    }
    if (withServerName) {
        // The command line takes the stored address as what the user means;
        // a start waits for the discovery instead.
        const Field& serverName = *FindSettingsField("LocalServerName");
        const std::string* stored = StoredText(*product, serverName.name);
        if (stored && !CheckSettingsValue(serverName, *stored))
            settings.*serverName.text = *stored;
    }
    settings.SetModified(0);
    return true;
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
    const int fd = platform::OpenRegularFile(platform::profile::ResolveProfilePath(fileName));
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
    for (const SettingsField& field : SettingsFields()) {
        if (field.text)
            this->*field.text = field.defaultText;
        else if (field.number)
            this->*field.number = field.defaultNumber;
        else
            this->*field.port = static_cast<uint16_t>(field.defaultNumber);
    }
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

void CRedirectSettings::SetUploadTls(int value)
{
    SetNumber(m_UploadTls, value);
}

void CRedirectSettings::SetCaFile(std::string_view value)
{
    SetExact(m_CaFile, value);
}

void CRedirectSettings::SetWarnPrivateAddress(int value)
{
    SetNumber(m_WarnPrivateAddress, value);
}

void CRedirectSettings::SetRetryAfterFailure(int value)
{
    SetNumber(m_RetryAfterFailure, value);
}

void CRedirectSettings::SetRedirectOnAddressChange(int value)
{
    SetNumber(m_RedirectOnAddressChange, value);
}

void CRedirectSettings::SetAddressFamily(int value)
{
    SetNumber(m_AddressFamily, value);
}

void CRedirectSettings::SetIpv6InterfaceId(std::string_view value)
{
    SetExact(m_Ipv6InterfaceId, value);
}

void CRedirectSettings::SetDnsUpdate(int value)
{
    SetNumber(m_DnsUpdate, value);
}

void CRedirectSettings::SetDnsName(std::string_view value)
{
    SetExact(m_DnsName, value);
}

void CRedirectSettings::SetDnsServer(std::string_view value)
{
    SetExact(m_DnsServer, value);
}

void CRedirectSettings::SetDnsUser(std::string_view value)
{
    SetExact(m_DnsUser, value);
}

void CRedirectSettings::SetDnsPassword(std::string_view value)
{
    SetExact(m_DnsPassword, value);
}

void CRedirectSettings::SetDnsKey(std::string_view value)
{
    SetExact(m_DnsKey, value);
}

void CRedirectSettings::SetDnsCheckServer(std::string_view value)
{
    SetExact(m_DnsCheckServer, value);
}

void CRedirectSettings::SetRedirectPage(int value)
{
    SetNumber(m_RedirectPage, value);
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
    if (!platform::ParseInternetUrl(address, url)
        || (url.serviceType != platform::INTERNET_SERVICE_HTTP && url.serviceType != platform::AFX_INET_SERVICE_HTTPS))
        return {};
    const size_t slash = url.object.rfind('/');
    if (slash == std::string::npos)
        return {};
    std::string name = url.object.substr(slash + 1);
    // A "." after the first character: ".a.htm" has one, ".htaccess" has none.
    if (name.find('.', 1) == std::string::npos)
        return {};
    return name;
}

bool CRedirectSettings::LoadFromRegistry(std::string_view productKey, bool withServerName)
{
    bool found = false;
    reg::RegReadHive(reg::Root::CurrentUser, [&](const reg::HiveKey& root) {
        // Loaded into a copy: a missing product key leaves the record as it is.
        CRedirectSettings loaded(*this);
        found = LoadFromHive(loaded, root, productKey, withServerName);
        if (found)
            *this = std::move(loaded);
    });
    return found;
}

std::vector<const SettingsField*> CRedirectSettings::AllFields()
{
    return SettingsFieldsIn(Sequence::RegistrySave);
}

CRedirectSettings::StoreResult CRedirectSettings::EditStoredSettings(std::string_view productKey, bool withServerName,
                                                                     const StoredEdit& edit, const HiveEdit& alsoChange)
{
    bool productKeyFound = true;
    const reg::LSTATUS status
        = reg::RegModifyHive(reg::Root::CurrentUser, [&](reg::HiveKey& root, bool& changed) -> reg::LSTATUS {
              CRedirectSettings stored;
              productKeyFound = LoadFromHive(stored, root, productKey, withServerName);
              if (!productKeyFound)
                  return reg::kFileNotFound;
              std::vector<const SettingsField*> fields = edit(stored);
              // Always in the save's order, whatever order the edit names them in.
              std::sort(fields.begin(), fields.end(), [](const SettingsField* a, const SettingsField* b) {
                  return a->registrySave < b->registrySave;
              });
              reg::HiveKey* product = FindKey(root, productKey);
              reg::HiveKey* maker = FindKey(root, resources::kMakerKeyPath);
              for (const SettingsField* field : fields) {
                  reg::HiveKey* key = field->key == Field::Key::Product ? product : maker;
                  if (key && StoreValue(stored, *field, *key))
                      changed = true;
              }
              if (alsoChange && alsoChange(root))
                  changed = true;
              return reg::kSuccess;
          });
    if (!productKeyFound)
        return StoreResult::NoProductKey;
    if (status == reg::kTimeout)
        return StoreResult::Locked;
    return status == reg::kSuccess ? StoreResult::Saved : StoreResult::Failed;
}

bool CRedirectSettings::SaveToRegistry(std::string_view productKey)
{
    if (!m_Modified)
        return true;
    const StoreResult result = EditStoredSettings(productKey, false, [this](CRedirectSettings& stored) {
        stored = *this;
        return AllFields();
    });
    // Cleared once the product key was there, whether or not the write
    // succeeded; a write that never got the lock is still pending.
    if (result != StoreResult::NoProductKey && result != StoreResult::Locked)
        m_Modified = 0;
    return result == StoreResult::Saved;
}

bool CRedirectSettings::LoadFromBackupFile(std::string_view fileName)
{
    if (fileName.empty() || !FileIsReadable(fileName))
        return false;

    // Read into a copy: a file that holds none of the keys is no backup file,
    // and loading it would empty every text field.
    CRedirectSettings loaded(*this);
    int keysFound = 0;
    for (const Field* field : SettingsFieldsIn(Sequence::BackupLoad)) {
        if (!field->isNumeric()) {
            // A missing string key empties the field.
            std::string value;
            switch (ReadBackupString(field->name, fileName, value)) {
            case BackupRead::Value:
                loaded.*field->text = std::move(value);
                ++keysFound;
                break;
            case BackupRead::Missing:
                (loaded.*field->text).clear();
                break;
            case BackupRead::TooLong:
                ++keysFound;
                break;
            }
            continue;
        }
        // A missing number key leaves the field as it is.
        std::string ignored;
        if (ReadBackupString(field->name, fileName, ignored) == BackupRead::Missing)
            continue;
        ++keysFound;
        namespace profile = platform::profile;
        if (field->number) {
            loaded.*field->number
                = profile::GetPrivateProfileInt(kBackupSection, field->name, loaded.*field->number, fileName);
        } else {
            loaded.*field->port = static_cast<uint16_t>(
                profile::GetPrivateProfileInt(kBackupSection, field->name, loaded.*field->port, fileName) & 0xFFFF);
        }
    }
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
    std::vector<std::pair<std::string, std::string>> values;
    for (const Field* field : SettingsFieldsIn(Sequence::BackupSave))
        values.emplace_back(field->name, field->get(*this));
    return platform::profile::WritePrivateProfileStrings(kBackupSection, values, fileName);
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
    if (const std::optional<std::string> v6 = platform::CanonicalIpv6(host))
        url += "[" + *v6 + "]";
    else
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
