#pragma once

#include <optional>
#include <string>
#include <vector>

// The informational options of Kestrup's command line (--help, --version),
// answered on standard output before anything else starts.
namespace kestrup {

// The text to print when the command line is exactly "--help" or
// "--version"; nothing for an update's command line.
std::optional<std::string> InfoOptionText(const std::vector<std::string>& args);

} // namespace kestrup
