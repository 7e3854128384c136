#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <cstdint>
#include <string>
#include <string_view>

// Tarnwick's string table: the fixed texts by their resource numbers. Texts
// the user sees are UTF-8; the texts that end up in the uploaded redirect
// page (IDS_DEFAULT_PAGE, IDS_META_REFRESH, IDS_ASP_REDIRECT and the upload
// stamp) are Windows-1252 bytes, which is what visitors' browsers assume for
// a page without a charset.
namespace tarnwick::resources {

inline constexpr uint32_t IDS_ABOUTBOX = 101;
inline constexpr uint32_t IDS_CLIENT_IP_URL = 102;
inline constexpr uint32_t IDS_FORUM_URL = 57666;
inline constexpr uint32_t IDS_TIME_FORMAT = 57667;
inline constexpr uint32_t IDS_VERSION = 57668;
inline constexpr uint32_t IDS_DEFAULT_PAGE = 57669;
inline constexpr uint32_t IDS_META_REFRESH = 57670;
inline constexpr uint32_t IDS_ASP_REDIRECT = 57671;
inline constexpr uint32_t IDS_TITLE = 57672;

// The text of a string number; empty for a number the table does not have.
// IDS_CLIENT_IP_URL and IDS_FORUM_URL are built from the maker's host
// (ServiceHost), so a changed host takes effect at the next call.
TARNWICK_EXPORT std::string LoadString(uint32_t id);

// The address service's address on a given host ("host" or "host:port").
TARNWICK_EXPORT std::string ClientIpUrlOf(std::string_view host);

// The upload stamp put behind the page's head tag: a format with two "%s",
// the upload time (formatted with IDS_TIME_FORMAT) and the program version.
TARNWICK_EXPORT std::string_view UploadStampFormat();

// Placeholders of templates and built-in page texts.
inline constexpr std::string_view kAddressPlaceholder = "<velt-tarnwick-address>";
inline constexpr std::string_view kIpAddressOnlyPlaceholder = "<velt-tarnwick-ipaddressonly>";

} // namespace tarnwick::resources
