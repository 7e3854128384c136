#pragma once

// Control ids of the page "DNS-Name..." (objectName "idc_<id>"), a range no other window uses.
namespace tarnwick {

inline constexpr int kIdcDnsKind = 1101; // aus / dyndns2-Dienst / DNS-Server (RFC 2136)
inline constexpr int kIdcDnsName = 1102;
inline constexpr int kIdcDnsServer = 1103;
inline constexpr int kIdcDnsUser = 1104; // update service only
inline constexpr int kIdcDnsPassword = 1105; // update service only
inline constexpr int kIdcDnsPasswordConfirm = 1106;
inline constexpr int kIdcDnsKey = 1107; // RFC 2136 only
inline constexpr int kIdcDnsCheckServer = 1108;
inline constexpr int kIdcRedirectPage = 1109; // "Umleitungsseite prüfen und hochladen"
inline constexpr int kIdcDnsCheckNow = 1110; // "Jetzt prüfen"

} // namespace tarnwick
