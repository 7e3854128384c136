#pragma once

#include <string_view>

// Where Tarnwick keeps its settings under HKEY_CURRENT_USER.
namespace tarnwick::resources {

// The maker's key: BackupFile and ServiceHost.
inline constexpr std::string_view kMakerKeyPath = "Software\\VELT";
// The product key: one value per settings field.
inline constexpr std::string_view kProductKeyPath = "Software\\VELT\\Tarnwick";

} // namespace tarnwick::resources
