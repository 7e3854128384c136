#pragma once

#include "testing/ChildProcess.h"
#include "testing/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace velt::testing {

// The real nginx on 127.0.0.1 and a free port, with a document root the test
// can fill and a standard set of locations every test folder can rely on:
//
//   /lines/with-newline.txt     200, kLinesWithNewline
//   /lines/without-newline.txt  200, kLinesWithoutNewline
//   /redirect/302, /redirect/301              status with Location kRedirectLocation
//   /redirect/302-bare, /redirect/301-bare    status without a Location header (small body)
//   /auth/...                   401 (basic authentication, kUser / kPassword)
//   anything missing            404 with nginx's status text "Not Found"
//   /dav/...                    PUT: 201 for a new file, 204 for an overwrite (davRoot())
//   /dav-auth/...               as /dav/ behind basic authentication (kUser / kPassword)
//   /readonly/...               PUT answered 403
//   /Tarnwick/GetClientIP.asp   200, the client's address and "\n"
//   /slow/big.bin               kSlowSize bytes sent at kSlowRate bytes per second
//
// A test adds its own `location` blocks, and blocks of the http level (a
// server of its own on another free port), through the constructor. Throws
// std::runtime_error (with the logs) when nginx does not come up.
class NginxServer
{
public:
    static constexpr const char* kLinesWithNewline = "first line\nsecond line\n";
    static constexpr const char* kLinesWithoutNewline = "first line\nsecond line";
    static constexpr const char* kRedirectLocation = "http://Target.Example:8080/Home/Index.htm";
    static constexpr const char* kUser = "tester";
    static constexpr const char* kPassword = "Geheim99";
    static constexpr std::size_t kSlowSize = 4 * 1024 * 1024;
    static constexpr int kSlowRate = 4096;

    explicit NginxServer(const std::string& extraLocations = {}, const std::string& extraHttp = {});
    ~NginxServer();

    uint16_t port() const { return m_port; }
    pid_t pid() const { return m_process ? m_process->pid() : -1; }
    // "http://127.0.0.1:<port>" followed by the path (which begins with "/").
    std::string url(const std::string& path) const;
    const std::filesystem::path& prefix() const { return m_dir.path(); }
    std::filesystem::path docRoot() const { return m_dir.path() / "html"; }
    std::filesystem::path davRoot() const { return m_dir.path() / "dav"; }
    // Writes a file below the document root (relative path, folders created).
    void writeFile(const std::string& relativePath, const std::string& content) const;
    // Error and access log, for failure messages.
    std::string logs() const;
    void stop();

private:
    bool start(const std::string& extraLocations, const std::string& extraHttp);

    TempDir m_dir;
    uint16_t m_port = 0;
    std::unique_ptr<ChildProcess> m_process;
};

} // namespace velt::testing
