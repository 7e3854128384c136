#include "tarnwick/dns/tests/BindServer.h"

#include "testing/FreeTcpPort.h"

#include <ldns/ldns.h>

#include <chrono>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <unistd.h>

namespace tarnwick::testing {

namespace {

constexpr const char* kNamed = "/usr/sbin/named";

std::string Zone(const std::string& origin, const std::string& extra)
{
    return "$TTL 300\n@ IN SOA ns." + origin + ". admin." + origin + ". 1 3600 600 86400 60\n@ IN NS ns." + origin
        + ".\nns IN A 127.0.0.1\n" + extra;
}

std::string Secret(const char* key)
{
    const std::string text(key);
    return text.substr(text.rfind(':') + 1);
}

// Waits for named's log to say that every zone is loaded and it runs: the
// port opens before the zones answer. Woken by each write to the log.
bool WaitForRunning(const std::string& logFile, ::velt::testing::ChildProcess& process, std::chrono::seconds timeout)
{
    const int watch = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(watch, logFile.c_str(), IN_MODIFY);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool running = false;
    while (!running && process.running() && std::chrono::steady_clock::now() < deadline) {
        running = ::velt::testing::ReadTextFile(logFile).find("\nrunning") != std::string::npos
            || ::velt::testing::ReadTextFile(logFile).find(" running\n") != std::string::npos;
        if (!running) {
            pollfd event {watch, POLLIN, 0};
            if (poll(&event, 1, 200) > 0) {
                char buffer[4096];
                [[maybe_unused]] const ssize_t drained = read(watch, buffer, sizeof buffer);
            }
        }
    }
    close(watch);
    return running;
}

} // namespace

BindServer::BindServer()
{
    using ::velt::testing::WriteTextFile;
    if (access(kNamed, X_OK) != 0) {
        m_skipReason = "named (bind9) ist nicht installiert";
        return;
    }
    const std::string dir = m_dir.path().string();
    WriteTextFile(m_dir.file("example.test.zone"),
                  Zone("example.test", "home IN A " + std::string(kStartAddress) + "\nhome IN AAAA 2001:db8::1\n"));
    WriteTextFile(m_dir.file("locked.test.zone"), Zone("locked.test", "home IN A 192.0.2.9\n"));
    for (int attempt = 0; attempt < 3 && !m_process; ++attempt) {
        m_port = ::velt::testing::FreeTcpPort();
        const std::string config = "options {\n directory \"" + dir + "\";\n listen-on port " + std::to_string(m_port)
            + " { 127.0.0.1; };\n listen-on-v6 { none; };\n pid-file none;\n recursion no;\n"
              " session-keyfile none;\n};\ncontrols { };\n"
              "key \"tarnwick-key\" { algorithm hmac-sha256; secret \""
            + Secret(kKey256) + "\"; };\nkey \"tarnwick-key-512\" { algorithm hmac-sha512; secret \"" + Secret(kKey512)
            + "\"; };\nzone \"example.test\" { type primary; file \"example.test.zone\";"
              " allow-update { key \"tarnwick-key\"; key \"tarnwick-key-512\"; }; };\n"
              "zone \"locked.test\" { type primary; file \"locked.test.zone\"; allow-update { none; }; };\n";
        WriteTextFile(m_dir.file("named.conf"), config);
        auto process = std::make_unique<::velt::testing::ChildProcess>(
            std::vector<std::string> {kNamed, "-g", "-c", m_dir.file("named.conf")}, m_dir.file("named.log"));
        if (process->waitForPort(m_port, std::chrono::seconds(20))
            && WaitForRunning(m_dir.file("named.log"), *process, std::chrono::seconds(20)))
            m_process = std::move(process);
    }
    if (!m_process) {
        const std::string log = logs();
        if (log.find("ermission denied") != std::string::npos || log.find("apparmor") != std::string::npos) {
            m_skipReason = "named darf hier nicht laufen: " + log;
            return;
        }
        throw std::runtime_error("named kam nicht hoch:\n" + log);
    }
}

BindServer::~BindServer() = default;

std::string BindServer::endpoint() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

long BindServer::serial(const std::string& zone) const
{
    ldns_resolver* resolver = ldns_resolver_new();
    ldns_rdf* address = ldns_rdf_new_frm_str(LDNS_RDF_TYPE_A, "127.0.0.1");
    ldns_resolver_push_nameserver(resolver, address);
    ldns_rdf_deep_free(address);
    ldns_resolver_set_port(resolver, m_port);
    ldns_resolver_set_recursive(resolver, false);
    ldns_rdf* name = ldns_dname_new_frm_str(zone.c_str());
    ldns_pkt* answer = ldns_resolver_query(resolver, name, LDNS_RR_TYPE_SOA, LDNS_RR_CLASS_IN, 0);
    long serial = -1;
    ldns_rr_list* records = answer ? ldns_pkt_answer(answer) : nullptr;
    if (records && ldns_rr_list_rr_count(records) > 0)
        serial = ldns_rdf2native_int32(ldns_rr_rdf(ldns_rr_list_rr(records, 0), 2));
    ldns_pkt_free(answer);
    ldns_rdf_deep_free(name);
    ldns_resolver_deep_free(resolver);
    return serial;
}

std::string BindServer::logs() const
{
    return ::velt::testing::ReadTextFile(m_dir.file("named.log"));
}

} // namespace tarnwick::testing
