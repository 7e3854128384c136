#include "tarnwick/dns/DnsUpdate.h"

#include "tarnwick/dns/DnsExchange.h"
#include "tarnwick/dns/DnsValueRules.h"
#include "tarnwick/dns/PublishedRecords.h"

#include <ldns/ldns.h>

#include <memory>

namespace tarnwick {

namespace {

using RrListPtr = std::unique_ptr<ldns_rr_list, decltype(&ldns_rr_list_deep_free)>;

constexpr uint16_t kDnsPort = 53;
constexpr uint32_t kTtl = 60;
constexpr uint16_t kFudgeSeconds = 300;
// TSIG error field values (RFC 8945).
constexpr int kBadSig = 16;
constexpr int kBadKey = 17;
constexpr int kBadTime = 18;
// The TSIG record's error field among its rdata.
constexpr size_t kTsigErrorField = 5;
constexpr size_t kTsigMacField = 3;

int TsigError(ldns_pkt* answer)
{
    const ldns_rr* tsig = ldns_pkt_tsig(answer);
    if (!tsig || ldns_rr_rd_count(tsig) <= kTsigErrorField)
        return 0;
    return ldns_rdf2native_int16(ldns_rr_rdf(tsig, kTsigErrorField));
}

} // namespace

std::string DnsUpdateAnswerText(int rcode, int tsigError)
{
    switch (tsigError) {
    case kBadKey:
        return "Der DNS-Server kennt den Schlüssel nicht (BADKEY).";
    case kBadSig:
        return "Der DNS-Server hat die Signatur abgelehnt; das Geheimnis des Schlüssels stimmt nicht (BADSIG).";
    case kBadTime:
        return "Die Uhrzeit dieses Computers weicht zu weit von der des DNS-Servers ab (BADTIME).";
    default:
        break;
    }
    switch (rcode) {
    case LDNS_RCODE_NOERROR:
        return "Der DNS-Server hat die Änderung angenommen.";
    case LDNS_RCODE_FORMERR:
        return "Der DNS-Server hat die Änderung als fehlerhaft abgelehnt (FORMERR).";
    case LDNS_RCODE_SERVFAIL:
        return "Der DNS-Server konnte die Änderung nicht ausführen (SERVFAIL).";
    case LDNS_RCODE_NXDOMAIN:
        return "Der DNS-Server meldet einen nicht vorhandenen Namen (NXDOMAIN).";
    case LDNS_RCODE_NOTIMPL:
        return "Der DNS-Server kann keine Änderungen annehmen (NOTIMP).";
    case LDNS_RCODE_REFUSED:
        return "Der DNS-Server hat die Änderung verweigert (REFUSED).";
    case LDNS_RCODE_YXDOMAIN:
        return "Der DNS-Server meldet einen Namen, der nicht vorhanden sein dürfte (YXDOMAIN).";
    case LDNS_RCODE_YXRRSET:
        return "Der DNS-Server meldet einen Eintrag, der nicht vorhanden sein dürfte (YXRRSET).";
    case LDNS_RCODE_NXRRSET:
        return "Der DNS-Server meldet einen fehlenden Eintrag (NXRRSET).";
    case LDNS_RCODE_NOTAUTH:
        return "Der DNS-Server ist für die Zone nicht zuständig oder hat den Schlüssel nicht angenommen (NOTAUTH).";
    case LDNS_RCODE_NOTZONE:
        return "Der Name liegt nicht in der Zone des DNS-Servers (NOTZONE).";
    default:
        return "Der DNS-Server hat die Änderung mit dem Code " + std::to_string(rcode) + " abgelehnt.";
    }
}

DnsUpdateResult SendDnsUpdate(const std::string& name, const std::string& address, const std::string& server,
                              const std::string& key)
{
    DnsUpdateResult result;
    const std::string type = RecordTypeOf(address);
    const std::optional<DnsEndpoint> endpoint = ParseDnsEndpoint(server, kDnsPort);
    const std::optional<TsigKey> tsig = ParseTsigKey(key);
    if (type.empty() || !endpoint || !tsig || !IsValidDnsName(name)) {
        result.text
            = "DNS-Name " + name + " kann nicht geändert werden: Name, Server, Schlüssel oder Adresse ungültig.";
        return result;
    }
    std::string error;
    const std::string zone = FindZone(name, server, error);
    if (zone.empty()) {
        result.text = "DNS-Name " + name + " kann nicht geändert werden: " + error;
        return result;
    }

    // Delete the record set of the type (class ANY, no data), then add the address.
    ldns_rr* removal = ldns_rr_new();
    ldns_rr_set_owner(removal, ldns_dname_new_frm_str(name.c_str()));
    ldns_rr_set_type(removal, type == "AAAA" ? LDNS_RR_TYPE_AAAA : LDNS_RR_TYPE_A);
    ldns_rr_set_class(removal, LDNS_RR_CLASS_ANY);
    ldns_rr_set_ttl(removal, 0);
    ldns_rr* addition = nullptr;
    const std::string text = name + " " + std::to_string(kTtl) + " IN " + type + " " + address;
    RrListPtr changes(ldns_rr_list_new(), &ldns_rr_list_deep_free);
    ldns_rr_list_push_rr(changes.get(), removal);
    if (ldns_rr_new_frm_str(&addition, text.c_str(), kTtl, nullptr, nullptr) != LDNS_STATUS_OK) {
        result.text = "DNS-Name " + name + " kann nicht geändert werden: Adresse " + address + " ungültig.";
        return result;
    }
    ldns_rr_list_push_rr(changes.get(), addition);

    ldns_rdf* zoneName = ldns_dname_new_frm_str(zone.c_str());
    std::unique_ptr<ldns_pkt, decltype(&ldns_pkt_free)> update(
        ldns_update_pkt_new(zoneName, LDNS_RR_CLASS_IN, nullptr, changes.get(), nullptr), &ldns_pkt_free);
    ldns_pkt_set_random_id(update.get());
    if (ldns_pkt_tsig_sign(update.get(), tsig->name.c_str(), tsig->secret.c_str(), kFudgeSeconds,
                           tsig->algorithm.c_str(), nullptr)
        != LDNS_STATUS_OK) {
        result.text = "DNS-Name " + name + " kann nicht geändert werden: Die Änderung ließ sich nicht signieren.";
        return result;
    }
    const DnsAnswer answer = ExchangeDnsMessage(*endpoint, update.get(), true);
    if (!answer.packet) {
        result.text = "DNS-Name " + name + " kann nicht geändert werden: " + answer.error;
        return result;
    }
    const int rcode = ldns_pkt_get_rcode(answer.packet.get());
    const int tsigError = TsigError(answer.packet.get());
    if (rcode != LDNS_RCODE_NOERROR || tsigError != 0) {
        result.text = "DNS-Name " + name + " wurde nicht geändert: " + DnsUpdateAnswerText(rcode, tsigError);
        return result;
    }
    // Only a signed answer proves that the server with the key took the change.
    const ldns_rdf* queryMac = ldns_rr_rdf(ldns_pkt_tsig(update.get()), kTsigMacField);
    if (!ldns_pkt_tsig_verify(answer.packet.get(), answer.wire.data(), answer.wire.size(), tsig->name.c_str(),
                              tsig->secret.c_str(), queryMac)) {
        result.text = "DNS-Name " + name
            + " wurde vielleicht nicht geändert: Die Antwort des DNS-Servers trägt keine gültige Signatur.";
        return result;
    }
    result.updated = true;
    result.text = "DNS-Name " + name + " zeigt jetzt auf " + address + " (" + DescribeEndpoint(*endpoint) + ").";
    return result;
}

} // namespace tarnwick
