#include "tarnwick/dns/DynDnsAnswer.h"

#include <array>
#include <utility>

namespace tarnwick {

namespace {

using Verdict = DynDnsAnswer::Verdict;

struct Code
{
    std::string_view word;
    Verdict verdict;
    std::string_view text;
};

constexpr std::array kCodes = {
    Code {"good", Verdict::Done, "Der Aktualisierungsdienst hat die Adresse übernommen."},
    Code {"nochg", Verdict::Done, "Der Aktualisierungsdienst hatte die Adresse schon."},
    Code {"badauth", Verdict::Stop, "Benutzername oder Passwort wurden abgelehnt (badauth)."},
    Code {"notfqdn", Verdict::Stop, "Der DNS-Name ist kein vollständiger Name (notfqdn)."},
    Code {"nohost", Verdict::Stop, "Der DNS-Name gehört nicht zu diesem Konto (nohost)."},
    Code {"numhost", Verdict::Stop, "Der Dienst lehnt die Anfrage mit mehreren Namen ab (numhost)."},
    Code {"abuse", Verdict::Stop, "Der Dienst hat den Namen wegen zu vieler Anfragen gesperrt (abuse)."},
    Code {"badagent", Verdict::Stop, "Der Dienst lehnt dieses Programm ab (badagent)."},
    Code {"!donator", Verdict::Stop, "Der Dienst verlangt dafür ein bezahltes Konto (!donator)."},
    Code {"dnserr", Verdict::Wait, "Der Dienst meldet einen DNS-Fehler (dnserr)."},
    Code {"911", Verdict::Wait, "Der Dienst hat eine Störung (911)."},
};

} // namespace

DynDnsAnswer ReadDynDnsAnswer(int status, std::string_view body)
{
    if (status == 401)
        return {Verdict::Stop, "Benutzername oder Passwort wurden abgelehnt (HTTP 401)."};
    if (status >= 500)
        return {Verdict::Wait, "Der Dienst hat eine Störung (HTTP " + std::to_string(status) + ")."};
    const std::string_view word = body.substr(0, body.find_first_of(" \r\n\t"));
    if (status == 200) {
        for (const Code& code : kCodes) {
            if (word == code.word)
                return {code.verdict, std::string(code.text)};
        }
    }
    const std::string shown(body.substr(0, 40));
    return {Verdict::Wait,
            "Der Dienst gab eine unbekannte Antwort (HTTP " + std::to_string(status)
                + (shown.empty() ? "" : ", \"" + shown + "\"") + ")."};
}

} // namespace tarnwick
