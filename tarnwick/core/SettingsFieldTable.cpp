#include "tarnwick/core/SettingsFieldTable.h"

#include "tarnwick/core/CRedirectSettings.h"

#include "platform/system/TextCase.h"

#include <array>
#include <charconv>
#include <utility>

namespace tarnwick {

namespace {

// What the 256-byte registry buffer takes back when the settings are loaded.
constexpr size_t kMaxStoredText = 255;
// Two stored digits per password byte.
constexpr size_t kMaxPassword = kMaxStoredText / 2;

using S = CRedirectSettings;
using K = SettingsField::Kind;

template<auto Getter, auto Setter>
constexpr SettingsField TextField(std::string_view name, K kind = K::Text)
{
    return {name,
            kind,
            0,
            0,
            [](const S& s) { return std::string((s.*Getter)()); },
            [](S& s, std::string_view v) { (s.*Setter)(v); },
            nullptr};
}

template<auto Getter, auto Setter>
constexpr SettingsField NumberField(std::string_view name, K kind, int minimum, int maximum)
{
    using Value = decltype((std::declval<const S&>().*Getter)());
    return {name,
            kind,
            minimum,
            maximum,
            [](const S& s) { return std::to_string((s.*Getter)()); },
            nullptr,
            [](S& s, int v) { (s.*Setter)(static_cast<Value>(v)); }};
}

// In the order the registry stores them.
const std::array kFields = {
    TextField<&S::GetLocalStartPage, &S::SetLocalStartPage>("LocalStartPage"),
    TextField<&S::GetLocalWebObject, &S::SetLocalWebObject>("LocalWebObject"),
    TextField<&S::GetPhysicalWebDir, &S::SetPhysicalWebDir>("PhysicalWebDir"),
    TextField<&S::GetLocalServerName, &S::SetLocalServerName>("LocalServerName"),
    TextField<&S::GetLocalUrl, &S::SetLocalUrl>("LocalUrl"),
    TextField<&S::GetUserName, &S::SetUserName>("UserName"),
    TextField<&S::GetPassword, &S::SetPassword>("Password", K::Password),
    TextField<&S::GetRedirectUrl, &S::SetRedirectUrl>("RedirectUrl"),
    TextField<&S::GetUploadFile, &S::SetUploadFile>("UploadFile"),
    TextField<&S::GetUploadServer, &S::SetUploadServer>("UploadServer"),
    NumberField<&S::GetUploadPort, &S::SetUploadPort>("UploadPort", K::Number, 0, 65535),
    TextField<&S::GetUploadDir, &S::SetUploadDir>("UploadDir"),
    TextField<&S::GetAutoDialConnection, &S::SetAutoDialConnection>("AutoDialConnection"),
    TextField<&S::GetAutoDialUsername, &S::SetAutoDialUsername>("AutoDialUsername"),
    TextField<&S::GetAutoDialPW, &S::SetAutoDialPW>("AutoDialPW", K::Password),
    NumberField<&S::GetLocalServiceType, &S::SetLocalServiceType>("LocalServiceType", K::ServiceType, 1, 3),
    NumberField<&S::GetLocalPort, &S::SetLocalPort>("LocalPort", K::Number, 0, 65535),
    NumberField<&S::GetUploadServiceType, &S::SetUploadServiceType>("UploadServiceType", K::ServiceType, 1, 3),
    NumberField<&S::GetWaitTimeInMin, &S::SetWaitTimeInMin>("WaitTimeInMin", K::Number, 1, 120),
    NumberField<&S::GetAutoStart, &S::SetAutoStart>("AutoStart", K::Flag, 0, 1),
    NumberField<&S::GetAutoDial, &S::SetAutoDial>("AutoDial", K::Flag, 0, 1),
    NumberField<&S::GetClientIpByServer, &S::SetClientIpByServer>("ClientIpByServer", K::Flag, 0, 1),
    NumberField<&S::GetExtMessages, &S::SetExtMessages>("ExtMessages", K::Flag, 0, 1),
    TextField<&S::GetBackupFile, &S::SetBackupFile>("BackupFile"),
};

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

std::span<const SettingsField> SettingsFields()
{
    return kFields;
}

const SettingsField* FindSettingsField(std::string_view name)
{
    for (const SettingsField& field : kFields) {
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
    case K::Text:
    case K::Password: {
        const size_t limit = field.kind == K::Password ? kMaxPassword : kMaxStoredText;
        if (!IsValidUtf8(text))
            return prefix + "Der Text ist kein gültiges UTF-8.";
        if (HasControlCharacter(text))
            return prefix + "Steuerzeichen (etwa Zeilenumbrüche) sind nicht erlaubt.";
        if (text.size() > limit)
            return prefix + "Der Text ist länger als " + std::to_string(limit) + " Bytes.";
        return std::nullopt;
    }
    case K::Flag:
    case K::ServiceType:
    case K::Number: {
        const std::optional<long long> number = ParseWholeNumber(text);
        if (field.kind == K::Flag && (!number || (*number != 0 && *number != 1)))
            return prefix + Quoted(text) + " ist weder 0 noch 1.";
        if (field.kind == K::ServiceType && (!number || (*number != 1 && *number != 3)))
            return prefix + Quoted(text) + " ist weder 1 (FTP) noch 3 (HTTP).";
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
