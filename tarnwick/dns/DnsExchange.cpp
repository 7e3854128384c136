#include "tarnwick/dns/DnsExchange.h"

#include <ldns/ldns.h>

#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

namespace tarnwick {

namespace {

std::vector<sockaddr_storage> ServerAddresses(const DnsEndpoint& server, std::string& error)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(server.port);
    const int result = getaddrinfo(server.host.c_str(), port.c_str(), &hints, &found);
    std::vector<sockaddr_storage> addresses;
    if (result != 0) {
        error = "Der DNS-Server " + DescribeEndpoint(server) + " wurde nicht gefunden (" + gai_strerror(result) + ").";
        return addresses;
    }
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        sockaddr_storage address {};
        std::memcpy(&address, entry->ai_addr, entry->ai_addrlen);
        addresses.push_back(address);
    }
    freeaddrinfo(found);
    return addresses;
}

socklen_t LengthOf(const sockaddr_storage& address)
{
    return address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

} // namespace

std::string DescribeEndpoint(const DnsEndpoint& server)
{
    const bool v6 = server.host.find(':') != std::string::npos;
    return (v6 ? "[" + server.host + "]" : server.host) + ":" + std::to_string(server.port);
}

DnsAnswer ExchangeDnsMessage(const DnsEndpoint& server, ldns_pkt* query, bool tcp, std::chrono::seconds timeout)
{
    DnsAnswer answer;
    const std::vector<sockaddr_storage> addresses = ServerAddresses(server, answer.error);
    if (addresses.empty()) {
        if (answer.error.empty())
            answer.error = "Der DNS-Server " + DescribeEndpoint(server) + " hat keine Adresse.";
        return answer;
    }
    std::unique_ptr<ldns_buffer, decltype(&ldns_buffer_free)> wire(ldns_buffer_new(LDNS_MAX_PACKETLEN),
                                                                   &ldns_buffer_free);
    if (ldns_pkt2buffer_wire(wire.get(), query) != LDNS_STATUS_OK) {
        answer.error = "Die DNS-Anfrage konnte nicht gebildet werden.";
        return answer;
    }
    const timeval limit {static_cast<time_t>(timeout.count()), 0};
    for (const sockaddr_storage& address : addresses) {
        const bool attempts[] = {tcp, true};
        for (const bool overTcp : attempts) {
            uint8_t* received = nullptr;
            size_t size = 0;
            // ldns sends the bytes up to the buffer's position.
            const ldns_status status = overTcp
                ? ldns_tcp_send(&received, wire.get(), &address, LengthOf(address), limit, &size)
                : ldns_udp_send(&received, wire.get(), &address, LengthOf(address), limit, &size);
            if (status != LDNS_STATUS_OK || !received) {
                std::free(received);
                answer.error = "Der DNS-Server " + DescribeEndpoint(server) + " antwortet nicht ("
                    + ldns_get_errorstr_by_id(status) + ").";
                break;
            }
            ldns_pkt* parsed = nullptr;
            const ldns_status parsing = ldns_wire2pkt(&parsed, received, size);
            answer.wire.assign(received, received + size);
            std::free(received);
            if (parsing != LDNS_STATUS_OK || ldns_pkt_id(parsed) != ldns_pkt_id(query)) {
                ldns_pkt_free(parsed);
                answer.error = "Der DNS-Server " + DescribeEndpoint(server) + " gab eine unlesbare Antwort.";
                break;
            }
            if (!overTcp && ldns_pkt_tc(parsed)) {
                ldns_pkt_free(parsed);
                continue;
            }
            answer.packet.reset(parsed, &ldns_pkt_free);
            answer.error.clear();
            return answer;
        }
    }
    answer.wire.clear();
    return answer;
}

} // namespace tarnwick
