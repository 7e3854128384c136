#include "tarnwick/settings/SettingsFieldTable.h"

#include "tarnwick/dns/DnsValueRules.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/PasswordScrambler.h"

#include "platform/system/TextCase.h"
#include "platform/url/IpAddressText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <type_traits>
#include <utility>

namespace tarnwick {

namespace {

// What the 256-byte registry buffer takes back when the settings are loaded.
constexpr size_t kMaxStoredText = 255;
// Two stored digits per password byte.
constexpr size_t kMaxPassword = kMaxStoredText / 2;

using S = CRedirectSettings;
using K = SettingsField::Kind;
using Key = SettingsField::Key;

// Positions of a field in the four sequences: registry load, registry save,
// backup load, backup save.
struct Order
{
    uint8_t registryLoad;
    uint8_t registrySave;
    uint8_t backupLoad;
    uint8_t backupSave;
};

} // namespace

// Builds the table where the record's fields may be named.
struct SettingsFieldTableBuilder
{
    template<auto Getter, auto Setter>
    static constexpr SettingsField Text(std::string_view name, std::string S::*field, std::string_view defaultText,
                                        Order order, K kind = K::Text, std::string_view salt = {},
                                        Key key = Key::Product)
    {
        return {name,
                kind,
                key,
                0,
                0,
                defaultText,
                0,
                order.registryLoad,
                order.registrySave,
                order.backupLoad,
                order.backupSave,
                salt,
                [](const S& s) { return std::string((s.*Getter)()); },
                [](S& s, std::string_view v) { (s.*Setter)(v); },
                nullptr,
                field,
                nullptr,
                nullptr};
    }

    template<auto Getter, auto Setter, typename Field>
    static constexpr SettingsField Number(std::string_view name, Field S::*field, int defaultNumber, Order order,
                                          K kind, int minimum, int maximum)
    {
        using Value = decltype((std::declval<const S&>().*Getter)());
        SettingsField result {name,
                              kind,
                              Key::Product,
                              minimum,
                              maximum,
                              {},
                              defaultNumber,
                              order.registryLoad,
                              order.registrySave,
                              order.backupLoad,
                              order.backupSave,
                              {},
                              [](const S& s) { return std::to_string((s.*Getter)()); },
                              nullptr,
                              [](S& s, int v) { (s.*Setter)(static_cast<Value>(v)); },
                              nullptr,
                              nullptr,
                              nullptr};
        if constexpr (std::is_same_v<Field, int>)
            result.number = field;
        else
            result.port = field;
        return result;
    }

    static std::array<SettingsField, 39> Build()
    {
        // In the registry save's order; each row gives the default and the four positions.
        return {
            Text<&S::GetLocalStartPage, &S::SetLocalStartPage>("LocalStartPage", &S::m_LocalStartPage, "",
                                                               {1, 1, 1, 1}),
            Text<&S::GetLocalWebObject, &S::SetLocalWebObject>("LocalWebObject", &S::m_LocalWebObject, "/",
                                                               {2, 2, 2, 2}),
            Text<&S::GetPhysicalWebDir, &S::SetPhysicalWebDir>("PhysicalWebDir", &S::m_PhysicalWebDir, "",
                                                               {3, 3, 3, 3}),
            // Written, never read back: a start waits for the address discovery.
            Text<&S::GetLocalServerName, &S::SetLocalServerName>("LocalServerName", &S::m_LocalServerName, "",
                                                                 {0, 4, 0, 4}),
            Text<&S::GetLocalUrl, &S::SetLocalUrl>("LocalUrl", &S::m_LocalUrl, "", {4, 5, 6, 5}),
            Text<&S::GetUserName, &S::SetUserName>("UserName", &S::m_UserName, "anonymous", {5, 6, 19, 6}),
            Text<&S::GetPassword, &S::SetPassword>("Password", &S::m_Password, "", {6, 7, 0, 0}, K::Password),
            Text<&S::GetRedirectUrl, &S::SetRedirectUrl>("RedirectUrl", &S::m_RedirectUrl, "http://domain/index.htm",
                                                         {7, 8, 7, 7}),
            Text<&S::GetUploadFile, &S::SetUploadFile>("UploadFile", &S::m_UploadFile, "", {17, 9, 8, 8}),
            Text<&S::GetUploadServer, &S::SetUploadServer>("UploadServer", &S::m_UploadServer, "domain",
                                                           {8, 10, 10, 9}),
            Number<&S::GetUploadPort, &S::SetUploadPort>("UploadPort", &S::m_UploadPort, 21, {14, 11, 14, 16},
                                                         K::Number, 1, 65535),
            Text<&S::GetUploadDir, &S::SetUploadDir>("UploadDir", &S::m_UploadDir, "/", {9, 12, 11, 10}),
            Text<&S::GetAutoDialConnection, &S::SetAutoDialConnection>("AutoDialConnection", &S::m_AutoDialConnection,
                                                                       "", {10, 13, 12, 11}),
            Text<&S::GetAutoDialUsername, &S::SetAutoDialUsername>("AutoDialUsername", &S::m_AutoDialUsername, "",
                                                                   {11, 14, 13, 12}),
            Text<&S::GetAutoDialPW, &S::SetAutoDialPW>("AutoDialPW", &S::m_AutoDialPW, "", {12, 15, 0, 0}, K::Password,
                                                       kDialUpPasswordSalt),
            Number<&S::GetLocalServiceType, &S::SetLocalServiceType>("LocalServiceType", &S::m_LocalServiceType, 3,
                                                                     {15, 16, 4, 13}, K::ServiceType, 1, 3),
            Number<&S::GetLocalPort, &S::SetLocalPort>("LocalPort", &S::m_LocalPort, 80, {16, 17, 5, 14}, K::Number, 1,
                                                       65535),
            Number<&S::GetUploadServiceType, &S::SetUploadServiceType>("UploadServiceType", &S::m_UploadServiceType, 1,
                                                                       {13, 18, 9, 15}, K::ServiceType, 1, 3),
            Number<&S::GetWaitTimeInMin, &S::SetWaitTimeInMin>("WaitTimeInMin", &S::m_WaitTimeInMin, 2,
                                                               {18, 19, 15, 17}, K::Number, 1, 120),
            Number<&S::GetAutoStart, &S::SetAutoStart>("AutoStart", &S::m_AutoStart, 0, {19, 20, 16, 18}, K::Flag, 0,
                                                       1),
            Number<&S::GetAutoDial, &S::SetAutoDial>("AutoDial", &S::m_AutoDial, 0, {20, 21, 17, 19}, K::Flag, 0, 1),
            Number<&S::GetClientIpByServer, &S::SetClientIpByServer>("ClientIpByServer", &S::m_ClientIpByServer, 0,
                                                                     {21, 22, 18, 20}, K::Flag, 0, 1),
            Number<&S::GetExtMessages, &S::SetExtMessages>("ExtMessages", &S::m_ExtMessages, 0, {22, 23, 0, 0}, K::Flag,
                                                           0, 1),
            Text<&S::GetBackupFile, &S::SetBackupFile>("BackupFile", &S::m_BackupFile, "values.bak", {23, 24, 0, 0},
                                                       K::Text, {}, Key::Maker),
            // Later additions, after everything older programs know: they
            // skip the unknown names, and older stores load with the defaults.
            Number<&S::GetUploadTls, &S::SetUploadTls>("UploadTls", &S::m_UploadTls, 0, {24, 25, 20, 21}, K::Flag, 0,
                                                       1),
            Text<&S::GetCaFile, &S::SetCaFile>("CaFile", &S::m_CaFile, "", {25, 26, 21, 22}),
            Number<&S::GetWarnPrivateAddress, &S::SetWarnPrivateAddress>("WarnPrivateAddress", &S::m_WarnPrivateAddress,
                                                                         1, {26, 27, 22, 23}, K::Flag, 0, 1),
            Number<&S::GetRetryAfterFailure, &S::SetRetryAfterFailure>("RetryAfterFailure", &S::m_RetryAfterFailure, 1,
                                                                       {27, 28, 23, 24}, K::Flag, 0, 1),
            Number<&S::GetRedirectOnAddressChange, &S::SetRedirectOnAddressChange>(
                "RedirectOnAddressChange", &S::m_RedirectOnAddressChange, 1, {28, 29, 24, 25}, K::Flag, 0, 1),
            Number<&S::GetAddressFamily, &S::SetAddressFamily>("AddressFamily", &S::m_AddressFamily, 4,
                                                               {29, 30, 25, 26}, K::AddressFamily, 4, 6),
            Text<&S::GetIpv6InterfaceId, &S::SetIpv6InterfaceId>("Ipv6InterfaceId", &S::m_Ipv6InterfaceId, "",
                                                                 {30, 31, 26, 27}, K::InterfaceId),
            Number<&S::GetDnsUpdate, &S::SetDnsUpdate>("DnsUpdate", &S::m_DnsUpdate, 0, {31, 32, 27, 28}, K::Number, 0,
                                                       2),
            Text<&S::GetDnsName, &S::SetDnsName>("DnsName", &S::m_DnsName, "", {32, 33, 28, 29}),
            Text<&S::GetDnsServer, &S::SetDnsServer>("DnsServer", &S::m_DnsServer, "", {33, 34, 29, 30}),
            Text<&S::GetDnsUser, &S::SetDnsUser>("DnsUser", &S::m_DnsUser, "", {34, 35, 30, 31}),
            Text<&S::GetDnsPassword, &S::SetDnsPassword>("DnsPassword", &S::m_DnsPassword, "", {35, 36, 0, 0},
                                                         K::Password, kDnsPasswordSalt),
            Text<&S::GetDnsKey, &S::SetDnsKey>("DnsKey", &S::m_DnsKey, "", {36, 37, 0, 0}, K::Password, kDnsKeySalt),
            Text<&S::GetDnsCheckServer, &S::SetDnsCheckServer>("DnsCheckServer", &S::m_DnsCheckServer, "",
                                                               {37, 38, 31, 32}),
            Number<&S::GetRedirectPage, &S::SetRedirectPage>("RedirectPage", &S::m_RedirectPage, 1, {38, 39, 32, 33},
                                                             K::Flag, 0, 1),
        };
    }
};

namespace {

// Built on first use, so that a record constructed during static
// initialisation finds the table complete.
const std::array<SettingsField, 39>& Fields()
{
    static const std::array<SettingsField, 39> fields = SettingsFieldTableBuilder::Build();
    return fields;
}

bool HasControlCharacter(std::string_view text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

std::string Quoted(std::string_view name)
{
    return "\"" + std::string(name) + "\"";
}

} // namespace

uint8_t SettingsField::position(Sequence sequence) const
{
    switch (sequence) {
    case Sequence::RegistryLoad:
        return registryLoad;
    case Sequence::RegistrySave:
        return registrySave;
    case Sequence::BackupLoad:
        return backupLoad;
    case Sequence::BackupSave:
        return backupSave;
    }
    return 0;
}

std::span<const SettingsField> SettingsFields()
{
    return Fields();
}

const std::vector<const SettingsField*>& SettingsFieldsIn(SettingsField::Sequence sequence)
{
    static const auto build = [](SettingsField::Sequence which) {
        std::vector<const SettingsField*> fields;
        for (const SettingsField& field : Fields()) {
            if (field.position(which) != 0)
                fields.push_back(&field);
        }
        std::sort(fields.begin(), fields.end(), [which](const SettingsField* a, const SettingsField* b) {
            return a->position(which) < b->position(which);
        });
        return fields;
    };
    using Seq = SettingsField::Sequence;
    static const std::vector<const SettingsField*> orders[]
        = {build(Seq::RegistryLoad), build(Seq::RegistrySave), build(Seq::BackupLoad), build(Seq::BackupSave)};
    return orders[static_cast<int>(sequence)];
}

const SettingsField* FindSettingsField(std::string_view name)
{
    for (const SettingsField& field : Fields()) {
        if (platform::EqualsNoCase(field.name, name))
            return &field;
    }
    return nullptr;
}

std::optional<long long> ParseWholeNumber(std::string_view text)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    long long value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

bool IsValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t codePoint = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            codePoint = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            codePoint = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            codePoint = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values above the Unicode range.
        if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) || codePoint > 0x10FFFF
            || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::optional<std::string> CheckSettingsValue(const SettingsField& field, std::string_view text)
{
    const std::string prefix = "Ungültiger Wert für " + std::string(field.name) + ": ";
    switch (field.kind) {
    case K::InterfaceId:
        if (!text.empty() && !platform::IsIpv6InterfaceId(text))
            return prefix + Quoted(text) + " ist keine IPv6-Schnittstellenkennung (die oberen 64 Bit null, etwa ::99).";
        return std::nullopt;
    case K::Text:
    case K::Password: {
        const size_t limit = field.kind == K::Password ? kMaxPassword : kMaxStoredText;
        if (!IsValidUtf8(text))
            return prefix + "Der Text ist kein gültiges UTF-8.";
        if (HasControlCharacter(text))
            return prefix + "Steuerzeichen (etwa Zeilenumbrüche) sind nicht erlaubt.";
        if (text.size() > limit)
            return prefix + "Der Text ist länger als " + std::to_string(limit) + " Bytes.";
        // Names, servers and keys of DNS names have a form of their own.
        return CheckDnsValue(field.name, text);
    }
    case K::Flag:
    case K::ServiceType:
    case K::AddressFamily:
    case K::Number: {
        const std::optional<long long> number = ParseWholeNumber(text);
        if (field.kind == K::Flag && (!number || (*number != 0 && *number != 1)))
            return prefix + Quoted(text) + " ist weder 0 noch 1.";
        if (field.kind == K::ServiceType && (!number || (*number != 1 && *number != 3)))
            return prefix + Quoted(text) + " ist weder 1 (FTP) noch 3 (HTTP).";
        if (field.kind == K::AddressFamily && (!number || (*number != 4 && *number != 6)))
            return prefix + Quoted(text) + " ist weder 4 (IPv4) noch 6 (IPv6).";
        if (!number || *number < field.minimum || *number > field.maximum)
            return prefix + Quoted(text) + " ist keine ganze Zahl von " + std::to_string(field.minimum) + " bis "
                + std::to_string(field.maximum) + ".";
        return std::nullopt;
    }
    }
    return prefix + Quoted(text);
}

void ApplySettingsValue(const SettingsField& field, CRedirectSettings& settings, std::string_view text)
{
    if (field.setText) {
        field.setText(settings, text);
        return;
    }
    const std::optional<long long> number = ParseWholeNumber(text);
    if (number && field.setNumber)
        field.setNumber(settings, static_cast<int>(*number));
}

} // namespace tarnwick
