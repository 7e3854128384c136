#include "tarnwick/dns/DnsUpdateState.h"

#include "platform/registry/Registry.h"
#include "tarnwick/resources/RegistryPaths.h"

#include <QCryptographicHash>

namespace tarnwick {

namespace {

namespace reg = platform::registry;

std::string StateKeyPath()
{
    return std::string(resources::kProductKeyPath) + "\\DnsState";
}

std::string Text(reg::HKEY key, std::string_view name)
{
    std::string value;
    return reg::RegQueryString(key, name, &value) == reg::kSuccess ? value : std::string();
}

int64_t Number(reg::HKEY key, std::string_view name)
{
    try {
        return std::stoll(Text(key, name));
    } catch (...) {
        return 0;
    }
}

} // namespace

DnsUpdateState DnsUpdateState::Load()
{
    DnsUpdateState state;
    reg::HKEY key = nullptr;
    if (reg::RegOpenKey(reg::Root::CurrentUser, StateKeyPath(), reg::Access::Read, &key) != reg::kSuccess)
        return state;
    state.settings = Text(key, "Settings");
    state.stopReason = Text(key, "StopReason");
    state.waitUntil = Number(key, "WaitUntil");
    state.sentAddress = Text(key, "SentAddress");
    state.sentAt = Number(key, "SentAt");
    reg::RegCloseKey(key);
    return state;
}

bool DnsUpdateState::save() const
{
    reg::HKEY key = nullptr;
    if (reg::RegCreateKey(reg::Root::CurrentUser, StateKeyPath(), &key) != reg::kSuccess)
        return false;
    const bool saved = reg::RegSetString(key, "Settings", settings) == reg::kSuccess
        && reg::RegSetString(key, "StopReason", stopReason) == reg::kSuccess
        && reg::RegSetString(key, "WaitUntil", std::to_string(waitUntil)) == reg::kSuccess
        && reg::RegSetString(key, "SentAddress", sentAddress) == reg::kSuccess
        && reg::RegSetString(key, "SentAt", std::to_string(sentAt)) == reg::kSuccess;
    reg::RegCloseKey(key);
    return saved;
}

std::string DnsSettingsFingerprint(int kind, const std::string& name, const std::string& server,
                                   const std::string& user, const std::string& password, const std::string& key,
                                   const std::string& checkServer)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const std::string& part : {std::to_string(kind), name, server, user, password, key, checkServer}) {
        hash.addData(QByteArray::fromStdString(part));
        hash.addData(QByteArray(1, '\0'));
    }
    return hash.result().toHex().toStdString();
}

} // namespace tarnwick
