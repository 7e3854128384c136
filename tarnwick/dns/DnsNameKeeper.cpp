#include "tarnwick/dns/DnsNameKeeper.h"

#include "tarnwick/dns/DnsUpdate.h"
#include "tarnwick/dns/DnsValueRules.h"
#include "tarnwick/dns/DynDnsAnswer.h"
#include "tarnwick/dns/DynDnsRequest.h"
#include "tarnwick/dns/PublishedRecords.h"

#include <ctime>

namespace tarnwick {

namespace {

std::string ClockTime(int64_t seconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local {};
    localtime_r(&time, &local);
    char text[16] = {};
    std::strftime(text, sizeof text, "%H:%M", &local);
    return text;
}

std::string Joined(const std::vector<std::string>& addresses)
{
    std::string text;
    for (const std::string& address : addresses)
        text += (text.empty() ? "" : ", ") + address;
    return text.empty() ? "keine Adresse" : text;
}

} // namespace

std::string DnsNameSettings::fingerprint() const
{
    return DnsSettingsFingerprint(kind, name, server, user, password, key, checkServer);
}

DnsStepResult KeepNameCurrent(const DnsNameSettings& settings, const std::string& address, DnsUpdateState& state,
                              int64_t now)
{
    DnsStepResult result;
    const std::string type = RecordTypeOf(address);
    const std::string canonical = CanonicalAddress(address);
    if (type.empty() || !IsValidDnsName(settings.name) || settings.server.empty()) {
        result.lines.push_back("DNS-Name: Name, Server oder Adresse \"" + address + "\" fehlen oder sind ungültig.");
        return result;
    }
    // What the service said belongs to the settings it was said to.
    if (state.settings != settings.fingerprint())
        state = DnsUpdateState();
    state.settings = settings.fingerprint();
    const bool service = settings.kind == DnsNameSettings::UpdateService;
    if (service && !state.stopReason.empty()) {
        result.heldBack = true;
        result.lines.push_back("DNS-Name " + settings.name + " wird nicht aktualisiert, bis eine DNS-Einstellung "
                               + "geändert wird: " + state.stopReason);
        return result;
    }

    const PublishedRecords published = LookUpPublished(settings.name, type, settings.checkServer);
    if (!published.answered) {
        result.lines.push_back("DNS-Name " + settings.name + " konnte nicht geprüft werden: " + published.error);
        return result;
    }
    // The other family's record is left alone; visitors may still be sent there.
    const std::string otherType = type == "A" ? "AAAA" : "A";
    const PublishedRecords other = LookUpPublished(settings.name, otherType, settings.checkServer);
    if (other.answered && !other.addresses.empty())
        result.lines.push_back("Hinweis: DNS-Name " + settings.name + " hat auch einen " + otherType + "-Eintrag ("
                               + Joined(other.addresses) + "); er wird nicht geändert.");
    if (published.addresses == std::vector<std::string> {canonical}) {
        result.current = true;
        result.lines.push_back("DNS-Name " + settings.name + " zeigt bereits auf " + canonical
                               + " und wird nicht geändert.");
        return result;
    }

    if (!service) {
        const DnsUpdateResult update = SendDnsUpdate(settings.name, canonical, settings.server, settings.key);
        result.current = update.updated;
        result.lines.push_back(update.text);
        return result;
    }
    if (state.sentAddress == canonical && now - state.sentAt < kDynDnsQuietSeconds) {
        // The service took it; its servers publish it within minutes.
        result.current = true;
        result.lines.push_back("DNS-Name " + settings.name + ": " + canonical + " wurde um " + ClockTime(state.sentAt)
                               + " gemeldet; der DNS-Server nennt noch " + Joined(published.addresses)
                               + ". Keine neue Meldung vor " + ClockTime(state.sentAt + kDynDnsQuietSeconds) + ".");
        return result;
    }
    if (now < state.waitUntil) {
        result.heldBack = true;
        result.lines.push_back("DNS-Name " + settings.name + ": Der Aktualisierungsdienst wird erst ab "
                               + ClockTime(state.waitUntil) + " wieder gefragt.");
        return result;
    }
    const DynDnsReply reply = SendDynDnsRequest(settings.server, settings.name, canonical, settings.user,
                                                settings.password, settings.caFile);
    if (reply.status < 0) {
        result.lines.push_back("DNS-Name " + settings.name + " wurde nicht aktualisiert: " + reply.error);
        return result;
    }
    const DynDnsAnswer answer = ReadDynDnsAnswer(reply.status, reply.body);
    switch (answer.verdict) {
    case DynDnsAnswer::Verdict::Done:
        state.sentAddress = canonical;
        state.sentAt = now;
        result.current = true;
        result.lines.push_back("DNS-Name " + settings.name + " zeigt jetzt auf " + canonical + ": " + answer.text);
        break;
    case DynDnsAnswer::Verdict::Stop:
        state.stopReason = answer.text;
        result.heldBack = true;
        result.lines.push_back("DNS-Name " + settings.name + " wird nicht aktualisiert, bis eine DNS-Einstellung "
                               + "geändert wird: " + answer.text);
        break;
    case DynDnsAnswer::Verdict::Wait:
        state.waitUntil = now + kDynDnsQuietSeconds;
        result.heldBack = true;
        result.lines.push_back("DNS-Name " + settings.name + " wurde nicht aktualisiert: " + answer.text
                               + " Nächster Versuch ab " + ClockTime(state.waitUntil) + ".");
        break;
    }
    return result;
}

} // namespace tarnwick
