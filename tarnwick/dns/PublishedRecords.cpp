#include "tarnwick/dns/PublishedRecords.h"

#include "tarnwick/dns/DnsExchange.h"
#include "tarnwick/dns/DnsValueRules.h"

#include <ldns/ldns.h>

#include <cstdlib>
#include <memory>
#include <netdb.h>

namespace tarnwick {

namespace {

using RdfPtr = std::unique_ptr<ldns_rdf, decltype(&ldns_rdf_deep_free)>;
using PktPtr = std::unique_ptr<ldns_pkt, decltype(&ldns_pkt_free)>;

constexpr uint16_t kDnsPort = 53;

RdfPtr Name(const std::string& text)
{
    return RdfPtr(ldns_dname_new_frm_str(text.c_str()), &ldns_rdf_deep_free);
}

std::string RdfText(const ldns_rdf* rdf)
{
    char* text = ldns_rdf2str(rdf);
    std::string result = text ? text : "";
    std::free(text);
    return result;
}

// A query without recursion desired, so that a server answers only from its own data.
PktPtr Query(const std::string& name, ldns_rr_type type, uint16_t flags)
{
    RdfPtr owner = Name(name);
    PktPtr query(ldns_pkt_query_new(owner.release(), type, LDNS_RR_CLASS_IN, flags), &ldns_pkt_free);
    ldns_pkt_set_random_id(query.get());
    return query;
}

// The SOA owner in the answer or authority section: the zone.
std::string ZoneOf(ldns_pkt* answer)
{
    for (ldns_rr_list* section : {ldns_pkt_answer(answer), ldns_pkt_authority(answer)}) {
        for (size_t i = 0; i < ldns_rr_list_rr_count(section); ++i) {
            ldns_rr* rr = ldns_rr_list_rr(section, i);
            if (ldns_rr_get_type(rr) == LDNS_RR_TYPE_SOA)
                return RdfText(ldns_rr_owner(rr));
        }
    }
    return {};
}

// Asks one server; an answer without the AA flag is an error.
PublishedRecords AskDirectly(const std::string& name, ldns_rr_type type, const DnsEndpoint& server)
{
    PublishedRecords result;
    result.server = DescribeEndpoint(server);
    PktPtr query = Query(name, type, 0);
    const DnsAnswer answer = ExchangeDnsMessage(server, query.get(), false);
    if (!answer.packet) {
        result.error = answer.error;
        return result;
    }
    ldns_pkt* packet = answer.packet.get();
    const ldns_pkt_rcode rcode = ldns_pkt_get_rcode(packet);
    if (!ldns_pkt_aa(packet) || (rcode != LDNS_RCODE_NOERROR && rcode != LDNS_RCODE_NXDOMAIN)) {
        result.error = "Der DNS-Server " + result.server + " ist für " + name + " nicht zuständig.";
        return result;
    }
    RdfPtr owner = Name(name);
    ldns_rr_list* records = ldns_pkt_answer(packet);
    for (size_t i = 0; i < ldns_rr_list_rr_count(records); ++i) {
        ldns_rr* rr = ldns_rr_list_rr(records, i);
        if (ldns_rr_get_type(rr) == type && ldns_dname_compare(ldns_rr_owner(rr), owner.get()) == 0
            && ldns_rr_rd_count(rr) == 1)
            result.addresses.push_back(CanonicalAddress(RdfText(ldns_rr_rdf(rr, 0))));
    }
    result.answered = true;
    return result;
}

// The zone's NS hosts through the system's resolver.
std::vector<std::string> ZoneServers(const std::string& name, std::string& error)
{
    ldns_resolver* raw = nullptr;
    if (ldns_resolver_new_frm_file(&raw, nullptr) != LDNS_STATUS_OK || !raw) {
        error = "Der DNS-Resolver des Systems ist nicht eingerichtet (/etc/resolv.conf).";
        return {};
    }
    std::unique_ptr<ldns_resolver, decltype(&ldns_resolver_deep_free)> resolver(raw, &ldns_resolver_deep_free);
    RdfPtr owner = Name(name);
    PktPtr soa(ldns_resolver_query(resolver.get(), owner.get(), LDNS_RR_TYPE_SOA, LDNS_RR_CLASS_IN, LDNS_RD),
               &ldns_pkt_free);
    const std::string zone = soa ? ZoneOf(soa.get()) : std::string();
    if (zone.empty()) {
        error = "Die Zone von " + name + " wurde nicht gefunden.";
        return {};
    }
    RdfPtr zoneName = Name(zone);
    PktPtr ns(ldns_resolver_query(resolver.get(), zoneName.get(), LDNS_RR_TYPE_NS, LDNS_RR_CLASS_IN, LDNS_RD),
              &ldns_pkt_free);
    std::vector<std::string> hosts;
    ldns_rr_list* records = ns ? ldns_pkt_answer(ns.get()) : nullptr;
    for (size_t i = 0; records && i < ldns_rr_list_rr_count(records); ++i) {
        ldns_rr* rr = ldns_rr_list_rr(records, i);
        if (ldns_rr_get_type(rr) == LDNS_RR_TYPE_NS && ldns_rr_rd_count(rr) == 1)
            hosts.push_back(RdfText(ldns_rr_rdf(rr, 0)));
    }
    if (hosts.empty())
        error = "Die Zone " + zone + " nennt keine DNS-Server (NS).";
    return hosts;
}

ldns_rr_type TypeOf(const std::string& type)
{
    return type == "AAAA" ? LDNS_RR_TYPE_AAAA : LDNS_RR_TYPE_A;
}

} // namespace

PublishedRecords LookUpPublished(const std::string& name, const std::string& type, const std::string& checkServer)
{
    if (!checkServer.empty()) {
        const std::optional<DnsEndpoint> server = ParseDnsEndpoint(checkServer, kDnsPort);
        if (!server) {
            PublishedRecords result;
            result.error = "Der Prüfserver \"" + checkServer + "\" ist ungültig.";
            return result;
        }
        return AskDirectly(name, TypeOf(type), *server);
    }
    PublishedRecords result;
    for (const std::string& host : ZoneServers(name, result.error)) {
        // The NS host's addresses come from the system's resolver; each is asked itself.
        PublishedRecords asked = AskDirectly(name, TypeOf(type), DnsEndpoint {host, kDnsPort});
        if (asked.answered)
            return asked;
        result.error = asked.error;
    }
    return result;
}

std::string FindZone(const std::string& name, const std::string& server, std::string& error)
{
    const std::optional<DnsEndpoint> endpoint = ParseDnsEndpoint(server, kDnsPort);
    if (!endpoint) {
        error = "Der DNS-Server \"" + server + "\" ist ungültig.";
        return {};
    }
    PktPtr query = Query(name, LDNS_RR_TYPE_SOA, 0);
    const DnsAnswer answer = ExchangeDnsMessage(*endpoint, query.get(), false);
    if (!answer.packet) {
        error = answer.error;
        return {};
    }
    const std::string zone = ZoneOf(answer.packet.get());
    if (zone.empty() || !ldns_pkt_aa(answer.packet.get()))
        error = "Der DNS-Server " + DescribeEndpoint(*endpoint) + " führt keine Zone für " + name + ".";
    return ldns_pkt_aa(answer.packet.get()) ? zone : std::string();
}

} // namespace tarnwick
