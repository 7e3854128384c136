#pragma once

#include "platform/com/ComTypes.h"

// Identities of the component: its type library, class, interface and event
// interface, and the ProgIDs under which it is registered.
namespace corvane {

inline constexpr GUID LIBID_CORVANECOMLib
    = {0xF94A954E, 0xBBFF, 0x4086, {0x8E, 0x3E, 0x11, 0x7D, 0x68, 0xAF, 0xD4, 0x9A}};
inline constexpr CLSID CLSID_VELTCorvane
    = {0x5B77F013, 0x38DE, 0x470E, {0x8D, 0x3F, 0x27, 0x92, 0x11, 0xD8, 0xF3, 0x1A}};
inline constexpr IID IID_IVELTCorvane = {0x4C79F54B, 0x1540, 0x4B89, {0xBF, 0x45, 0x3A, 0x81, 0x55, 0x28, 0x50, 0x03}};
inline constexpr IID DIID__IVELTCorvaneEvents
    = {0x7025B200, 0x1B26, 0x41C1, {0xB8, 0x55, 0x36, 0x80, 0x01, 0xE8, 0x82, 0x0A}};

inline constexpr WORD kTypeLibMajor = 1;
inline constexpr WORD kTypeLibMinor = 0;

inline constexpr const char* kProgId = "VELT.Corvane.1";
inline constexpr const char* kVersionIndependentProgId = "VELT.Corvane";
inline constexpr const char* kClassName = "VELTCorvane Class";

} // namespace corvane
