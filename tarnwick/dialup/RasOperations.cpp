#include "tarnwick/dialup/RasOperations.h"

#include "platform/system/SystemMessage.h"
#include "platform/system/TextCase.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace tarnwick {

namespace {

constexpr uint32_t kEntryNotFound = 803;
constexpr auto kHangUpLimit = std::chrono::seconds(30);

const char* ProgramErrorText(uint32_t code)
{
    switch (code) {
    case 87:
        return "Falscher Parameter!";
    case 123:
        return "Name für Telefonbucheintrag ist ungültig!";
    case 183:
        return "Telefonbucheintrag existiert bereits!";
    case 603:
    case 632:
        return "Größe des Speicherbereiches ist zu klein!";
    case 610:
        return "Speicherbereich ungültig!";
    case 621:
        return "Telefonbuch konnte nicht geöffnet werden!";
    case 623:
        return "Name für Telefonbucheintrag kann nicht gefunden werden!";
    default:
        return nullptr;
    }
}

void CopyField(char* target, const char* source, size_t size)
{
    std::memcpy(target, source, size);
    target[size - 1] = '\0';
}

} // namespace

uint32_t RasStateTextId(uint32_t state)
{
    if (state <= RASCS_WaitForCallback)
        return 2000 + state;
    switch (state) {
    case RASCS_Interactive:
    case RASCS_RetryAuthentication:
    case RASCS_CallbackSetByCaller:
    case RASCS_PasswordExpired:
        return 2018 + (state - RASCS_Interactive);
    case RASCS_Connected:
        return 2022;
    case RASCS_Disconnected:
        return 2023;
    default:
        return 2025;
    }
}

std::string RasStateText(uint32_t stringId)
{
    static const char* const kTexts[] = {
        "Port öffnen",
        "Port geöffnet",
        "Anwahl vorbereiten",
        "Hardware OK",
        "Alle Geräte verbunden",
        "Benutzername und Passwort werden geprüft",
        "Authentifikation melden",
        "Authentifikation wiederholen",
        "Rückruf erfragen",
        "Change Password Requested",
        "Einleitung gestartet",
        "Verbindungsgeschwindigkeit berechnen",
        "Authentifikation anerkannt",
        "Benutzerprüfung gestartet",
        "Anmeldung OK",
        "Rückruf vorbereiten",
        "Warten auf Modem Reset",
        "Warten auf Rückruf",
        "Interactive",
        "nochmalige Benutzerprüfung",
        "Callback Set By Caller",
        "Paßwort abgelaufen",
        "Verbunden",
        "Verbindung getrennt",
    };
    if (stringId >= 2000 && stringId < 2000 + std::size(kTexts))
        return kTexts[stringId - 2000];
    if (stringId == 2025)
        return "Unbekannter Fehlercode";
    return {};
}

std::string RasErrorText(const RasFunctionTable& table, uint32_t code)
{
    if (table.RasGetErrorStringA) {
        char buffer[256] = {};
        if (table.RasGetErrorStringA(code, buffer, sizeof buffer) == 0) {
            buffer[sizeof buffer - 1] = '\0';
            return buffer;
        }
    }
    if (const char* text = ProgramErrorText(code))
        return "Fehler: " + std::to_string(code) + "\r\n" + text;
    return platform::FormatSystemMessage(code);
}

bool FindRasConnection(const RasFunctionTable& table, const std::string& entryName, HRASCONN& connection)
{
    if (!table.RasEnumConnectionsA)
        return false;
    RASCONNA probe {};
    probe.dwSize = RAS_SIZE_CONN;
    uint32_t bytes = 0;
    uint32_t count = 0;
    table.RasEnumConnectionsA(&probe, &bytes, &count);
    if (count == 0)
        return false;
    // Room for at least what was reported, in whole records.
    std::vector<RASCONNA> records((std::max<size_t>(bytes, count * sizeof(RASCONNA)) + sizeof(RASCONNA) - 1)
                                  / sizeof(RASCONNA));
    records[0].dwSize = RAS_SIZE_CONN;
    bytes = uint32_t(records.size() * sizeof(RASCONNA));
    if (table.RasEnumConnectionsA(records.data(), &bytes, &count) != 0 || count == 0)
        return false;
    bool found = false;
    for (uint32_t i = 0; i < count && i < records.size(); ++i) {
        const RASCONNA& record = records[i];
        const std::string name(record.szEntryName, strnlen(record.szEntryName, sizeof record.szEntryName));
        if (platform::EqualsNoCase(name, entryName)) {
            connection = reinterpret_cast<HRASCONN>(uintptr_t(record.hrasconn));
            found = true;
        }
    }
    return found;
}

uint32_t GetRasEntry(const RasFunctionTable& table, const std::string& entryName, RasEntryInfo* info)
{
    if (!info)
        return 87;
    if (!table.RasValidateEntryNameA || table.RasValidateEntryNameA(nullptr, entryName.c_str()) != 183
        || !table.RasGetEntryPropertiesA)
        return kEntryNotFound;
    uint32_t size = 0;
    table.RasGetEntryPropertiesA(nullptr, entryName.c_str(), nullptr, &size, nullptr, nullptr);
    info->dwSize = RAS_SIZE_ENTRY;
    // At least one whole record, whatever size the provider asked for.
    const size_t blockSize = std::max<size_t>(size, sizeof(RASENTRYA));
    auto* block = static_cast<RASENTRYA*>(std::calloc(1, blockSize));
    if (!block)
        return uint32_t(ENOMEM);
    block->dwSize = RAS_SIZE_ENTRY;
    size = uint32_t(blockSize);
    const uint32_t result = table.RasGetEntryPropertiesA(nullptr, entryName.c_str(), block, &size, nullptr, nullptr);
    info->dwfOptions = block->dwfOptions;
    info->dwCountryID = block->dwCountryID;
    info->dwCountryCode = block->dwCountryCode;
    CopyField(info->szAreaCode, block->szAreaCode, sizeof info->szAreaCode);
    CopyField(info->szLocalPhoneNumber, block->szLocalPhoneNumber, sizeof info->szLocalPhoneNumber);
    info->ipaddr = block->ipaddr;
    info->ipaddrDns = block->ipaddrDns;
    info->ipaddrDnsAlt = block->ipaddrDnsAlt;
    info->ipaddrWins = block->ipaddrWins;
    info->ipaddrWinsAlt = block->ipaddrWinsAlt;
    info->dwFrameSize = block->dwFrameSize;
    info->dwfNetProtocols = block->dwfNetProtocols;
    info->dwFramingProtocol = block->dwFramingProtocol;
    CopyField(info->szScript, block->szScript, sizeof info->szScript);
    CopyField(info->szAutodialDll, block->szAutodialDll, sizeof info->szAutodialDll);
    CopyField(info->szAutodialFunc, block->szAutodialFunc, sizeof info->szAutodialFunc);
    CopyField(info->szDeviceType, block->szDeviceType, sizeof info->szDeviceType);
    CopyField(info->szDeviceName, block->szDeviceName, sizeof info->szDeviceName);
    std::free(block);
    return result;
}

bool HangUpRasConnection(const RasFunctionTable& table, HRASCONN connection)
{
    RASCONNSTATUSA status {};
    status.dwSize = RAS_SIZE_CONNSTATUS;
    if (!table.RasGetConnectStatusA || table.RasGetConnectStatusA(connection, &status) != 0)
        return false;
    if (!table.RasHangUpA || table.RasHangUpA(connection) != 0)
        return false;
    // A connection that never reports its end must not hold the caller for
    // ever: after the limit the hang-up counts as failed.
    const auto deadline = std::chrono::steady_clock::now() + kHangUpLimit;
    for (;;) {
        status = RASCONNSTATUSA {};
        status.dwSize = RAS_SIZE_CONNSTATUS;
        if (table.RasGetConnectStatusA(connection, &status) == 6)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::yield();
    }
}

} // namespace tarnwick

namespace tarnwick {

namespace {

// The provider's own text for an enumeration error, else a text with the code.
std::string EnumErrorText(const RasFunctionTable& table, uint32_t code)
{
    char text[256] = {};
    if (!table.RasGetErrorStringA || table.RasGetErrorStringA(code, text, sizeof text) != 0 || text[0] == '\0')
        std::snprintf(text, sizeof text, "Unbekannter Fehler (%d).", static_cast<int>(code));
    char message[300];
    std::snprintf(message, sizeof message, "Fehler: %d %s", static_cast<int>(code), text);
    return message;
}

} // namespace

RasEntryList ListRasEntries(const RasFunctionTable& table)
{
    RasEntryList list;
    if (!table.RasEnumEntriesA)
        return list;
    constexpr uint32_t kNotEnoughMemory = 8;
    constexpr uint32_t kBufferTooSmall = 603;
    // One record first; the provider says how much room all of them need.
    uint32_t bytes = RAS_SIZE_ENTRYNAME;
    uint32_t count = 0;
    std::vector<RASENTRYNAMEA> names(1);
    names[0].dwSize = RAS_SIZE_ENTRYNAME;
    uint32_t error = table.RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count);
    if (error == kBufferTooSmall) {
        // Room for at least the records the provider counted, whatever it reports.
        const size_t records = std::max<size_t>({bytes / RAS_SIZE_ENTRYNAME + 1, count, 1});
        if (records > 65536) {
            error = kNotEnoughMemory;
        } else {
            names.assign(records, RASENTRYNAMEA {});
            names[0].dwSize = RAS_SIZE_ENTRYNAME;
            bytes = static_cast<uint32_t>(records * RAS_SIZE_ENTRYNAME);
            error = table.RasEnumEntriesA(nullptr, nullptr, names.data(), &bytes, &count);
        }
    }
    if (error != 0) {
        list.error = error;
        list.errorText = EnumErrorText(table, error);
        return list;
    }
    const size_t records = std::min<size_t>(count, names.size());
    for (size_t i = 0; i < records; ++i) {
        const RASENTRYNAMEA& name = names[i];
        list.names.emplace_back(name.szEntryName, strnlen(name.szEntryName, sizeof name.szEntryName));
    }
    return list;
}

std::optional<RasCredentials> ReadRasCredentials(const RasFunctionTable& table, const std::string& entryName)
{
    if (!table.RasGetCredentialsA)
        return std::nullopt;
    RASCREDENTIALSA credentials {};
    credentials.dwSize = RAS_SIZE_CREDENTIALS;
    credentials.dwMask = RASCM_UserName | RASCM_Password;
    if (table.RasGetCredentialsA(nullptr, entryName.c_str(), &credentials) != 0)
        return std::nullopt;
    credentials.szUserName[sizeof credentials.szUserName - 1] = '\0';
    credentials.szPassword[sizeof credentials.szPassword - 1] = '\0';
    RasCredentials result {credentials.szUserName, credentials.szPassword};
    // The clear-text password lives on only in the result.
    std::memset(credentials.szPassword, 0, sizeof credentials.szPassword);
    return result;
}

} // namespace tarnwick
