#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class CRedirectSettings;

// One stored settings value: its registry value name, its rules, where and in
// which order it is loaded and saved, and how it is reached in the record.
// The one description that registry and backup load and save, the command
// line, the merge and the settings pages walk.
struct TARNWICK_EXPORT SettingsField
{
    enum class Kind {
        Text, // up to 255 bytes of UTF-8 without control characters
        Password, // a text whose scrambled form fits 255 bytes
        Flag, // 0 or 1
        ServiceType, // 1 (FTP) or 3 (HTTP)
        Number, // a whole number from minimum to maximum
        AddressFamily, // 4 (IPv4) or 6 (IPv6)
        InterfaceId, // empty or an IPv6 interface identifier ("::99")
    };
    // The registry key that holds the value.
    enum class Key { Product, Maker };
    // The fixed orders in which the stored forms are read and written.
    enum class Sequence { RegistryLoad, RegistrySave, BackupLoad, BackupSave };

    std::string_view name;
    Kind kind;
    Key key;
    int minimum;
    int maximum;
    // What a new record holds.
    std::string_view defaultText;
    int defaultNumber;
    // 1-based position in each sequence; 0 when the value takes no part in it.
    uint8_t registryLoad;
    uint8_t registrySave;
    uint8_t backupLoad;
    uint8_t backupSave;
    // Key material of a password's scrambling.
    std::string_view scrambleSalt;

    // Through the record's getter and setters (so their rules apply).
    std::string (*get)(const CRedirectSettings&);
    void (*setText)(CRedirectSettings&, std::string_view);
    void (*setNumber)(CRedirectSettings&, int);

    // The field itself, for loading a stored value as it is (no setter rules):
    // exactly one is set.
    std::string CRedirectSettings::*text;
    int CRedirectSettings::*number;
    uint16_t CRedirectSettings::*port;

    bool isNumeric() const { return text == nullptr; }
    uint8_t position(Sequence sequence) const;
};

// Every value of the product key and BackupFile of the maker's key, in the
// order the registry save writes them.
TARNWICK_EXPORT std::span<const SettingsField> SettingsFields();

// The fields that take part in sequence, in its order.
TARNWICK_EXPORT const std::vector<const SettingsField*>& SettingsFieldsIn(SettingsField::Sequence sequence);

// The field of a value name, compared without letter case; null when there is none.
TARNWICK_EXPORT const SettingsField* FindSettingsField(std::string_view name);

// Checks text for field: a German message when the setter must not get it.
TARNWICK_EXPORT std::optional<std::string> CheckSettingsValue(const SettingsField& field, std::string_view text);

// Hands an already checked text to the field's setter.
TARNWICK_EXPORT void ApplySettingsValue(const SettingsField& field, CRedirectSettings& settings, std::string_view text);

// Whole decimal number (optional "-"), nothing else; nullopt otherwise.
TARNWICK_EXPORT std::optional<long long> ParseWholeNumber(std::string_view text);

TARNWICK_EXPORT bool IsValidUtf8(std::string_view text);

} // namespace tarnwick
