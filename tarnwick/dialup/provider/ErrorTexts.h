#pragma once

#include <cstdint>

namespace rasprovider {

// The German text of a code the provider reports; nullptr for other codes.
const char* ErrorText(uint32_t code);

} // namespace rasprovider
