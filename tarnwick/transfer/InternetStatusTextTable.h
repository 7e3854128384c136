#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick {

// German texts for the internet progress codes, shared by Tarnwick and
// Kestrup: sixteen codes ending with a 0 entry, and a parallel list of
// seventeen texts whose last one is the fallback for an unknown code.
struct TARNWICK_EXPORT InternetStatusTextTable
{
    static constexpr std::size_t kRows = 16;

    static constexpr std::array<uint32_t, kRows + 1> kCodes
        = {10, 11, 20, 21, 30, 31, 40, 41, 42, 43, 50, 51, 60, 70, 100, 110, 0};

    static constexpr std::array<const char*, kRows + 1> kTexts = {
        "Name wird gesucht",
        "Name wurde zugeordnet",
        "Verbindung zum Server wird hergestellt",
        "Server-Verbindung besteht",
        "Sende Anforderung",
        "Anforderung wurde gesendet",
        "Empfange Antwort",
        "Antwort wurde empfangen",
        "Steuerungsbefehl empfangen",
        "Prefetch",
        "Trenne Verbindung",
        "Verbindung wurde geschlossen",
        "Zugriffsnummer für Verbindung wird erstellt",
        "Zugriffsnummer wird geschlossen",
        "Anforderung abgeschlossen",
        "Weiterleiten",
        "Unbekannt",
    };

    // The row of a code: the walk stops at the first equal entry or at the 0
    // entry, so an unknown code (and 0 itself) gives the fallback row.
    static constexpr std::size_t Row(uint32_t code)
    {
        std::size_t row = 0;
        while (kCodes[row] != 0 && kCodes[row] != code)
            ++row;
        return row;
    }

    static constexpr const char* Text(uint32_t code) { return kTexts[Row(code)]; }

    static constexpr bool Contains(uint32_t code) { return Row(code) < kRows; }
};

} // namespace tarnwick
