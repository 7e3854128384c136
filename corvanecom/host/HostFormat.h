#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::host {

// Fills the %s and %08X placeholders of a host text, in order.
std::string Format(std::string_view pattern, std::string_view a, std::string_view b = {});
std::string Format(std::string_view pattern, uint32_t code);

} // namespace corvane::host
