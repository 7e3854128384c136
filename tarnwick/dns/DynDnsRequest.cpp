#include "tarnwick/dns/DynDnsRequest.h"

#include "platform/internet/HttpRequest.h"
#include "platform/internet/InternetConnection.h"
#include "platform/internet/InternetConstants.h"
#include "platform/internet/InternetError.h"
#include "platform/internet/InternetSession.h"
#include "tarnwick/dns/DnsValueRules.h"
#include "tarnwick/resources/StringTable.h"

#include <QByteArray>
#include <QUrl>

#include <chrono>

namespace tarnwick {

namespace {

constexpr uint32_t kGetFlags = 0x84200200; // reload, no cache write, no auto redirect, no UI
constexpr std::chrono::seconds kTimeout(20);
constexpr size_t kMaxLine = 512;

std::string Encoded(const std::string& text)
{
    return QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString();
}

} // namespace

std::string DynDnsUserAgent()
{
    return "VELT Tarnwick/" + resources::LoadString(resources::IDS_VERSION);
}

DynDnsReply SendDynDnsRequest(const std::string& server, const std::string& name, const std::string& address,
                              const std::string& user, const std::string& password, const std::string& caFile)
{
    DynDnsReply reply;
    const std::optional<DynDnsServer> target = ParseDynDnsServer(server);
    if (!target) {
        reply.error = "Der Aktualisierungsdienst \"" + server + "\" ist ungültig.";
        return reply;
    }
    platform::InternetSession session(DynDnsUserAgent(), 1, platform::INTERNET_FLAG_DONT_CACHE);
    session.SetTimeouts(kTimeout, kTimeout);
    session.SetTransferLimits(kTimeout, 1);
    session.SetCaFile(caFile);
    platform::InternetError error;
    std::unique_ptr<platform::InternetConnection> connection
        = session.GetHttpConnection(target->endpoint.host, target->endpoint.port, {}, {}, error);
    std::unique_ptr<platform::HttpRequest> request;
    const std::string object = "/nic/update?hostname=" + Encoded(name) + "&myip=" + Encoded(address);
    if (connection)
        request = connection->OpenRequest("GET", object, {}, 1,
                                          target->tls ? kGetFlags | platform::INTERNET_FLAG_SECURE : kGetFlags, error);
    const std::string credentials = QByteArray::fromStdString(user + ":" + password).toBase64().toStdString();
    const std::string headers = "Authorization: Basic " + credentials + "\r\nUser-Agent: " + DynDnsUserAgent() + "\r\n";
    if (request && request->Send(headers, {}, error)) {
        reply.status = static_cast<int>(request->StatusCode());
        std::string line;
        if (request->ReadLine(line, error, kMaxLine))
            reply.body = line;
        error = {};
    }
    if (reply.status < 0)
        reply.error = error.text.empty() ? "Der Aktualisierungsdienst antwortet nicht." : error.text;
    request.reset();
    connection.reset();
    return reply;
}

} // namespace tarnwick
