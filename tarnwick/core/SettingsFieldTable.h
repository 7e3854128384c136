#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

class CRedirectSettings;

// One settings value as the command line reads and changes it: by its
// registry value name, through the record's getter and setter.
struct SettingsField
{
    enum class Kind {
        Text, // up to 255 bytes of UTF-8 without control characters
        Password, // a text whose scrambled form fits 255 bytes
        Flag, // 0 or 1
        ServiceType, // 1 (FTP) or 3 (HTTP)
        Number, // a whole number from minimum to maximum
    };

    std::string_view name;
    Kind kind;
    int minimum;
    int maximum;
    std::string (*get)(const CRedirectSettings&);
    void (*setText)(CRedirectSettings&, std::string_view);
    void (*setNumber)(CRedirectSettings&, int);
};

// Every value of the product key and BackupFile of the maker's key.
std::span<const SettingsField> SettingsFields();

// The field of a value name, compared without letter case; null when there is none.
const SettingsField* FindSettingsField(std::string_view name);

// Checks text for field: a German message when the setter must not get it.
std::optional<std::string> CheckSettingsValue(const SettingsField& field, std::string_view text);

// Hands an already checked text to the field's setter.
void ApplySettingsValue(const SettingsField& field, CRedirectSettings& settings, std::string_view text);

// Whole decimal number (optional "-"), nothing else; nullopt otherwise.
std::optional<long long> ParseWholeNumber(std::string_view text);

bool IsValidUtf8(std::string_view text);

} // namespace tarnwick
