#pragma once

#include "testing/ChildProcess.h"
#include "testing/TempDir.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick::testing {

// A real BIND 9 on 127.0.0.1 and a free port, authoritative for two zones:
// "example.test" takes updates signed with kKey256 or kKey512 (its name
// "home.example.test" starts at kStartAddress), "locked.test" takes none.
// available() is false, with the reason in skipReason(), only when the system
// refuses to run named (not installed, confined); any other failure throws.
class BindServer
{
public:
    static constexpr const char* kKey256 = "hmac-sha256:tarnwick-key:dGFybndpY2stdGVzdC1zZWNyZXQtMjU2LWJpdHMhISE=";
    static constexpr const char* kKey512 = "hmac-sha512:tarnwick-key-512:dGFybndpY2stdGVzdC1zZWNyZXQtZm9yLXRoZS1zaGE1MT"
                                           "Ita2V5LW9mLXNpeHR5LWZvdXItYnl0ZXMhISEhIQ==";
    static constexpr const char* kStartAddress = "192.0.2.1";

    BindServer();
    ~BindServer();

    bool available() const { return m_process != nullptr; }
    const std::string& skipReason() const { return m_skipReason; }
    uint16_t port() const { return m_port; }
    // "127.0.0.1:<port>", as DnsServer and DnsCheckServer take it.
    std::string endpoint() const;
    // The zone's serial as the server publishes it now (an update raises it).
    long serial(const std::string& zone) const;
    std::string logs() const;

private:
    ::velt::testing::TempDir m_dir;
    uint16_t m_port = 0;
    std::string m_skipReason;
    std::unique_ptr<::velt::testing::ChildProcess> m_process;
};

} // namespace tarnwick::testing
