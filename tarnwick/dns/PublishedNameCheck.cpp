#include "tarnwick/dns/PublishedNameCheck.h"

#include "tarnwick/dns/PublishedRecords.h"

#include <thread>

namespace tarnwick {

namespace {

std::string Line(const char* label, const PublishedRecords& records)
{
    std::string line = std::string(label) + ": ";
    if (!records.answered)
        return line + "nicht geprüft (" + records.error + ")";
    if (records.addresses.empty())
        return line + "kein Eintrag";
    for (size_t i = 0; i < records.addresses.size(); ++i)
        line += (i == 0 ? "" : ", ") + records.addresses[i];
    return line;
}

} // namespace

PublishedNameReport CheckPublishedName(const std::string& name, const std::string& checkServer)
{
    const PublishedRecords ipv4 = LookUpPublished(name, "A", checkServer);
    const PublishedRecords ipv6 = LookUpPublished(name, "AAAA", checkServer);
    PublishedNameReport report;
    report.answered = ipv4.answered || ipv6.answered;
    if (!report.answered) {
        report.text = "Der DNS-Name " + name + " konnte nicht geprüft werden:\r\n" + ipv4.error;
        return report;
    }
    const std::string& server = ipv4.answered ? ipv4.server : ipv6.server;
    report.text = "Der zuständige DNS-Server " + server + " veröffentlicht für " + name + " jetzt:\r\n"
        + Line("IPv4 (A)", ipv4) + "\r\n" + Line("IPv6 (AAAA)", ipv6);
    return report;
}

void StartPublishedNameCheck(std::string name, std::string checkServer, std::function<void(PublishedNameReport)> done)
{
    std::thread([name = std::move(name), checkServer = std::move(checkServer), done = std::move(done)] {
        PublishedNameReport report = CheckPublishedName(name, checkServer);
        if (done)
            done(std::move(report));
    }).detach();
}

} // namespace tarnwick
