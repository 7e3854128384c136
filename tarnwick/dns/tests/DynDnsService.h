#pragma once

#include "testing/TcpPeer.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace tarnwick::testing {

class BindServer;

// An update service as the protocol wants it, on loopback: one GET
// /nic/update with Basic authentication (kUser, kPassword) and the program's
// user agent; it answers the scripted word and, for "good", publishes the
// address at the name server (unless told to be slow about it). Every request
// is counted.
class DynDnsService
{
public:
    static constexpr const char* kUser = "kunde";
    static constexpr const char* kPassword = "Geheim:1";

    explicit DynDnsService(const BindServer& bind);

    void script(std::string word, bool publish = true);
    int requests() const;
    // "http://127.0.0.1:<port>", as DnsServer takes it.
    std::string server() const { return "http://127.0.0.1:" + std::to_string(m_peer.port()); }
    uint16_t port() const { return m_peer.port(); }

private:
    ::velt::testing::PeerReply answer(const std::string& received);

    const BindServer& m_bind;
    mutable std::mutex m_mutex;
    std::string m_word = "good";
    bool m_publish = true;
    int m_requests = 0;
    ::velt::testing::TcpPeer m_peer;
};

} // namespace tarnwick::testing
