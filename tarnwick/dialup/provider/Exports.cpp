// The nine exported functions: parameter and record checks here, the work in
// Provider (on its own thread).
#include "tarnwick/dialup/RasRecords.h"
#include "tarnwick/dialup/provider/ErrorTexts.h"
#include "tarnwick/dialup/provider/Provider.h"

#include <cstring>
#include <string>

#define RAS_EXPORT extern "C" __attribute__((visibility("default")))

using rasprovider::Provider;

namespace {

void CopyText(char* target, size_t size, const std::string& text)
{
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

bool FitsEntryName(const char* entry)
{
    return entry && *entry && std::strlen(entry) <= RAS_MAX_ENTRY_NAME;
}

} // namespace

RAS_EXPORT uint32_t RasGetErrorStringA(uint32_t code, char* buffer, uint32_t size)
{
    if (!buffer || size == 0)
        return RAS_ERROR_INVALID_PARAMETER;
    const char* text = rasprovider::ErrorText(code);
    if (!text)
        return RAS_ERROR_INVALID_PARAMETER;
    if (std::strlen(text) + 1 > size)
        return RAS_ERROR_BUFFER_TOO_SMALL;
    std::memcpy(buffer, text, std::strlen(text) + 1);
    return RAS_OK;
}

RAS_EXPORT uint32_t RasEnumConnectionsA(RASCONNA* connections, uint32_t* bytes, uint32_t* count)
{
    if (!bytes || !count)
        return RAS_ERROR_INVALID_PARAMETER;
    if (!connections)
        return RAS_ERROR_BUFFER_INVALID;
    if (connections->dwSize != RAS_SIZE_CONN)
        return RAS_ERROR_INVALID_SIZE;
    std::vector<rasprovider::ActiveDetails> found;
    const uint32_t code = Provider::Instance().EnumConnections(found);
    if (code != RAS_OK)
        return code;
    const uint32_t needed = uint32_t(found.size()) * RAS_SIZE_CONN;
    *count = uint32_t(found.size());
    if (*bytes < needed) {
        *bytes = needed;
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    *bytes = needed;
    for (size_t i = 0; i < found.size(); ++i) {
        RASCONNA& record = connections[i];
        std::memset(&record, 0, sizeof record);
        record.dwSize = RAS_SIZE_CONN;
        record.hrasconn = found[i].handle;
        CopyText(record.szEntryName, sizeof record.szEntryName, found[i].name);
        CopyText(record.szDeviceType, sizeof record.szDeviceType, found[i].deviceType);
        CopyText(record.szDeviceName, sizeof record.szDeviceName, found[i].deviceName);
    }
    return RAS_OK;
}

RAS_EXPORT uint32_t RasHangUpA(HRASCONN connection)
{
    const uintptr_t handle = reinterpret_cast<uintptr_t>(connection);
    if (handle == 0 || handle > UINT32_MAX)
        return RAS_ERROR_INVALID_HANDLE;
    return Provider::Instance().HangUp(uint32_t(handle));
}

RAS_EXPORT uint32_t RasGetConnectStatusA(HRASCONN connection, RASCONNSTATUSA* status)
{
    if (!status)
        return RAS_ERROR_INVALID_PARAMETER;
    if (status->dwSize != RAS_SIZE_CONNSTATUS)
        return RAS_ERROR_INVALID_SIZE;
    const uintptr_t handle = reinterpret_cast<uintptr_t>(connection);
    if (handle == 0 || handle > UINT32_MAX)
        return RAS_ERROR_INVALID_HANDLE;
    rasprovider::StatusDetails details;
    const uint32_t code = Provider::Instance().GetStatus(uint32_t(handle), details);
    if (code != RAS_OK)
        return code;
    std::memset(status, 0, sizeof *status);
    status->dwSize = RAS_SIZE_CONNSTATUS;
    status->rasconnstate = details.state;
    status->dwError = details.error;
    CopyText(status->szDeviceType, sizeof status->szDeviceType, details.deviceType);
    CopyText(status->szDeviceName, sizeof status->szDeviceName, details.deviceName);
    CopyText(status->szPhoneNumber, sizeof status->szPhoneNumber, details.phoneNumber);
    return RAS_OK;
}

RAS_EXPORT uint32_t RasValidateEntryNameA(const char*, const char* entry)
{
    if (!FitsEntryName(entry))
        return RAS_ERROR_INVALID_NAME;
    rasprovider::EntryDetails details;
    const uint32_t code = Provider::Instance().FindEntry(entry, details);
    if (code == RAS_OK)
        return RAS_ERROR_ALREADY_EXISTS;
    return code == RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY ? RAS_OK : code;
}

RAS_EXPORT uint32_t RasGetEntryPropertiesA(const char*, const char* entry, RASENTRYA* entryInfo, uint32_t* entrySize,
                                           uint8_t*, uint32_t* deviceSize)
{
    if (!entrySize)
        return RAS_ERROR_INVALID_PARAMETER;
    if (deviceSize)
        *deviceSize = 0;
    if (!entryInfo || *entrySize < RAS_SIZE_ENTRY) {
        *entrySize = RAS_SIZE_ENTRY;
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    if (entryInfo->dwSize != RAS_SIZE_ENTRY)
        return RAS_ERROR_INVALID_SIZE;
    if (!FitsEntryName(entry))
        return RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    rasprovider::EntryDetails details;
    const uint32_t code = Provider::Instance().FindEntry(entry, details);
    if (code != RAS_OK)
        return code;
    std::memset(entryInfo, 0, sizeof *entryInfo);
    entryInfo->dwSize = RAS_SIZE_ENTRY;
    *entrySize = RAS_SIZE_ENTRY;
    CopyText(entryInfo->szLocalPhoneNumber, sizeof entryInfo->szLocalPhoneNumber, details.phoneNumber);
    CopyText(entryInfo->szDeviceType, sizeof entryInfo->szDeviceType, details.deviceType);
    CopyText(entryInfo->szDeviceName, sizeof entryInfo->szDeviceName, details.deviceName);
    return RAS_OK;
}

RAS_EXPORT uint32_t RasEnumEntriesA(const char*, const char*, RASENTRYNAMEA* names, uint32_t* bytes, uint32_t* count)
{
    if (!bytes || !count)
        return RAS_ERROR_INVALID_PARAMETER;
    if (!names)
        return RAS_ERROR_BUFFER_INVALID;
    if (names->dwSize != RAS_SIZE_ENTRYNAME)
        return RAS_ERROR_INVALID_SIZE;
    std::vector<std::string> found;
    const uint32_t code = Provider::Instance().EnumEntries(found);
    if (code != RAS_OK)
        return code;
    const uint32_t needed = uint32_t(found.size()) * RAS_SIZE_ENTRYNAME;
    *count = uint32_t(found.size());
    if (*bytes < needed) {
        *bytes = needed;
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    *bytes = needed;
    for (size_t i = 0; i < found.size(); ++i) {
        std::memset(&names[i], 0, sizeof names[i]);
        names[i].dwSize = RAS_SIZE_ENTRYNAME;
        CopyText(names[i].szEntryName, sizeof names[i].szEntryName, found[i]);
    }
    return RAS_OK;
}

RAS_EXPORT uint32_t RasDialA(void*, const char*, RASDIALPARAMSA* parameters, uint32_t notifierType, void* notifier,
                             HRASCONN* connection)
{
    if (!parameters || !connection)
        return RAS_ERROR_INVALID_PARAMETER;
    if (parameters->dwSize != RAS_SIZE_DIALPARAMS)
        return RAS_ERROR_INVALID_SIZE;
    // Only the first notifier form is offered; without a notifier a dial
    // would have to block, which no caller needs.
    if (notifierType != 0 || !notifier)
        return RAS_ERROR_INVALID_PARAMETER;
    const std::string entry(parameters->szEntryName, strnlen(parameters->szEntryName, RAS_MAX_ENTRY_NAME + 1));
    if (entry.empty() || entry.size() > RAS_MAX_ENTRY_NAME)
        return RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    const std::string password(parameters->szPassword, strnlen(parameters->szPassword, RAS_MAX_PASSWORD + 1));
    uint32_t handle = 0;
    const uint32_t code = Provider::Instance().Dial(entry, password, reinterpret_cast<RASDIALFUNC>(notifier), handle);
    *connection = code == RAS_OK ? reinterpret_cast<HRASCONN>(uintptr_t(handle)) : nullptr;
    return code;
}

RAS_EXPORT uint32_t RasGetCredentialsA(const char*, const char* entry, RASCREDENTIALSA* credentials)
{
    if (!credentials)
        return RAS_ERROR_INVALID_PARAMETER;
    if (credentials->dwSize != RAS_SIZE_CREDENTIALS)
        return RAS_ERROR_INVALID_SIZE;
    if (!FitsEntryName(entry))
        return RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    std::string user;
    std::string password;
    bool havePassword = false;
    const uint32_t code = Provider::Instance().GetCredentials(entry, user, password, havePassword);
    if (code != RAS_OK)
        return code;
    std::memset(credentials, 0, sizeof *credentials);
    credentials->dwSize = RAS_SIZE_CREDENTIALS;
    credentials->dwMask = RASCM_UserName | (havePassword ? RASCM_Password : 0u);
    CopyText(credentials->szUserName, sizeof credentials->szUserName, user);
    CopyText(credentials->szPassword, sizeof credentials->szPassword, password);
    return RAS_OK;
}
