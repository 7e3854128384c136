#pragma once

#include "testing/TempDir.h"

#include <string>

namespace velt::testing {

// A certificate authority and server certificates made for one test, as PEM
// files in a temporary folder: good (for 127.0.0.1 and localhost, signed by
// the authority), expired, for another host name, and self-signed. Nothing
// here is trusted by the system; a test hands caFile() to the program.
class TestCertificates
{
public:
    struct Pair
    {
        std::string certificate;
        std::string key;
    };

    TestCertificates();

    const std::string& caFile() const { return m_caFile; }
    const Pair& good() const { return m_good; }
    const Pair& expired() const { return m_expired; }
    const Pair& wrongHost() const { return m_wrongHost; }
    const Pair& selfSigned() const { return m_selfSigned; }

private:
    TempDir m_dir;
    std::string m_caFile;
    Pair m_good;
    Pair m_expired;
    Pair m_wrongHost;
    Pair m_selfSigned;
};

} // namespace velt::testing
