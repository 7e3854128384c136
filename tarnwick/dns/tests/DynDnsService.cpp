#include "tarnwick/dns/tests/DynDnsService.h"

#include "tarnwick/dns/DnsUpdate.h"
#include "tarnwick/dns/DynDnsRequest.h"
#include "tarnwick/dns/tests/BindServer.h"

#include <QByteArray>

namespace tarnwick::testing {

DynDnsService::DynDnsService(const BindServer& bind)
    : m_bind(bind)
    , m_peer([this](const std::string& received) { return answer(received); })
{
}

void DynDnsService::script(std::string word, bool publish)
{
    std::lock_guard lock(m_mutex);
    m_word = std::move(word);
    m_publish = publish;
}

int DynDnsService::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

::velt::testing::PeerReply DynDnsService::answer(const std::string& received)
{
    if (received.find("\r\n\r\n") == std::string::npos)
        return {};
    std::lock_guard lock(m_mutex);
    ++m_requests;
    const std::string auth = "Authorization: Basic "
        + QByteArray(std::string(kUser).append(":").append(kPassword).c_str()).toBase64().toStdString() + "\r\n";
    const size_t query = received.find("GET /nic/update?hostname=");
    const size_t ip = received.find("&myip=");
    std::string word = m_word;
    if (query != 0 || ip == std::string::npos)
        word = "notfqdn";
    else if (received.find(auth) == std::string::npos)
        word = "badauth";
    else if (received.find("\r\nUser-Agent: " + DynDnsUserAgent() + "\r\n") == std::string::npos)
        word = "badagent";
    if (word == "good" && m_publish) {
        const std::string name = received.substr(25, ip - 25);
        const std::string address = received.substr(ip + 6, received.find(' ', ip) - ip - 6);
        SendDnsUpdate(name, address, m_bind.endpoint(), BindServer::kKey256);
    }
    const std::string status = word == "HTTP401" ? "401 Unauthorized" : "200 OK";
    return {"HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(word.size())
                + "\r\nConnection: close\r\n\r\n" + word,
            true};
}

} // namespace tarnwick::testing
