#pragma once

#include "testing/ChildProcess.h"
#include "testing/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace velt::testing {

// pyftpdlib (run with /usr/bin/python3) on 127.0.0.1 and a free port: one
// user with write permission in home(); active mode works (the server
// connects back to the client's PORT/EPRT address on loopback). Throws
// std::runtime_error (with the log) when the server does not come up.
class FtpServer
{
public:
    struct Options
    {
        std::string certificate; // with key: explicit TLS required (AUTH TLS, protected data)
        std::string key;
        std::string active = "ok"; // PORT/EPRT: "ok", "refuse" (425) or "silent" (never connects back)
        // Every address, IPv6 included ("::"): only inside a network namespace the test made.
        bool allAddresses = false;
    };

    explicit FtpServer(std::string user = "tester", std::string password = "Geheim99");
    explicit FtpServer(Options options, std::string user = "tester", std::string password = "Geheim99");
    ~FtpServer();

    uint16_t port() const { return m_port; }
    pid_t pid() const { return m_process ? m_process->pid() : -1; }
    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }
    // The user's folder; uploads land here.
    std::filesystem::path home() const { return m_dir.path() / "home"; }
    // "ftp://127.0.0.1:<port>" followed by the path.
    std::string url(const std::string& path) const;
    // Content of a file below home(), empty when missing.
    std::string readFile(const std::string& relativePath) const;
    std::string logs() const;
    void stop();

private:
    bool start();

    TempDir m_dir;
    std::string m_user;
    std::string m_password;
    Options m_options;
    uint16_t m_port = 0;
    std::unique_ptr<ChildProcess> m_process;
};

} // namespace velt::testing
