#include "testing/NginxServer.h"

#include "testing/FreeTcpPort.h"

#include <chrono>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace velt::testing {

namespace {

std::string Configuration(uint16_t port, const std::filesystem::path& prefix, const std::string& extraLocations,
                          const std::string& extraHttp)
{
    const std::string root = prefix.string();
    std::string conf;
    // A single process is stopped completely by signalling one pid.
    conf += "master_process off;\n";
    if (geteuid() == 0)
        conf += "user root;\n";
    conf += "pid " + root + "/logs/nginx.pid;\n";
    conf += "error_log " + root + "/logs/error.log info;\n";
    conf += "events { worker_connections 256; }\n";
    conf += "http {\n";
    conf += "  types { text/html htm html; text/plain txt; }\n";
    conf += "  default_type application/octet-stream;\n";
    conf += "  access_log " + root + "/logs/access.log;\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        conf += std::string("  ") + temp + "_temp_path " + root + "/temp/" + temp + ";\n";
    conf += "  server {\n";
    conf += "    listen 127.0.0.1:" + std::to_string(port) + ";\n";
    conf += "    server_name localhost;\n";
    conf += "    root " + root + "/html;\n";
    conf += "    location = /redirect/302 { return 302 " + std::string(NginxServer::kRedirectLocation) + "; }\n";
    conf += "    location = /redirect/301 { return 301 " + std::string(NginxServer::kRedirectLocation) + "; }\n";
    conf += "    location = /redirect/302-bare { error_page 418 =302 /redirect-body.htm; return 418; }\n";
    conf += "    location = /redirect/301-bare { error_page 418 =301 /redirect-body.htm; return 418; }\n";
    conf += "    location /auth/ { auth_basic \"Test\"; auth_basic_user_file " + root + "/htpasswd; }\n";
    conf += "    location /dav/ { root " + root
        + "; dav_methods PUT DELETE MKCOL; create_full_put_path on;"
          " dav_access user:rw group:r all:r; }\n";
    conf += "    location /dav-auth/ { alias " + root
        + "/dav/; dav_methods PUT DELETE MKCOL;"
          " create_full_put_path on; auth_basic \"Test\"; auth_basic_user_file "
        + root + "/htpasswd; }\n";
    conf += "    location /readonly/ { limit_except GET HEAD { deny all; } }\n";
    conf += "    location = /Tarnwick/GetClientIP.asp { default_type text/plain; return 200 \"$remote_addr\\n\"; }\n";
    conf += "    location /slow/ { limit_rate " + std::to_string(NginxServer::kSlowRate) + "; }\n";
    conf += extraLocations;
    conf += "\n  }\n";
    conf += extraHttp;
    conf += "\n}\n";
    return conf;
}

} // namespace

NginxServer::NginxServer(const std::string& extraLocations, const std::string& extraHttp)
{
    const std::string root = m_dir.path().string();
    for (const char* folder : {"logs", "html", "dav", "temp"})
        std::filesystem::create_directories(m_dir.path() / folder);
    writeFile("lines/with-newline.txt", kLinesWithNewline);
    writeFile("lines/without-newline.txt", kLinesWithoutNewline);
    writeFile("redirect-body.htm", "<html>moved</html>\n");
    writeFile("slow/big.bin", std::string(kSlowSize, 'x'));
    WriteTextFile(root + "/htpasswd", std::string(kUser) + ":{PLAIN}" + kPassword + "\n");
    std::filesystem::create_directories(m_dir.path() / "html" / "readonly");
    std::filesystem::create_directories(m_dir.path() / "html" / "auth");
    writeFile("auth/index.htm", "<html>private</html>\n");

    // The free port can be taken between probing and binding: try again then.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (start(extraLocations, extraHttp))
            return;
    }
    throw std::runtime_error("nginx did not start:\n" + logs());
}

NginxServer::~NginxServer()
{
    stop();
}

bool NginxServer::start(const std::string& extraLocations, const std::string& extraHttp)
{
    m_port = FreeTcpPort();
    const std::string root = m_dir.path().string();
    WriteTextFile(root + "/nginx.conf", Configuration(m_port, m_dir.path(), extraLocations, extraHttp));
    m_process = std::make_unique<ChildProcess>(
        std::vector<std::string> {"/usr/sbin/nginx", "-p", root + "/", "-c", root + "/nginx.conf", "-g", "daemon off;"},
        root + "/logs/stderr.log");
    return m_process->waitForPort(m_port, std::chrono::seconds(10));
}

std::string NginxServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void NginxServer::writeFile(const std::string& relativePath, const std::string& content) const
{
    WriteTextFile((docRoot() / relativePath).string(), content);
}

std::string NginxServer::logs() const
{
    const std::string root = m_dir.path().string();
    return "--- nginx stderr ---\n" + ReadTextFile(root + "/logs/stderr.log") + "--- nginx error.log ---\n"
        + ReadTextFile(root + "/logs/error.log") + "--- nginx access.log ---\n"
        + ReadTextFile(root + "/logs/access.log");
}

void NginxServer::stop()
{
    if (m_process)
        m_process->stop();
}

} // namespace velt::testing
