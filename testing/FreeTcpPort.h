#pragma once

#include <cstdint>
#include <string>

namespace velt::testing {

// A TCP port on 127.0.0.1 that was free a moment ago (bound to port 0 and
// released). Servers started on it retry with another port if it was taken.
uint16_t FreeTcpPort();

// Tries to connect to 127.0.0.1:port until it accepts or the time is up.
bool WaitForTcpPort(uint16_t port, int timeoutMs);

// The whole content of a file, or an empty text when it cannot be read.
std::string ReadTextFile(const std::string& path);

// Writes a file, creating its folder; throws std::runtime_error on failure.
void WriteTextFile(const std::string& path, const std::string& content);

} // namespace velt::testing
