#include "tarnwick/program/SettingsCommandLine.h"

#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/system/ProgramDirectory.h"
#include "platform/system/TextCase.h"
#include "tarnwick/cycle/RedirectPageGenerator.h"
#include "tarnwick/resources/RegistryPaths.h"
#include "tarnwick/resources/ServiceHost.h"
#include "tarnwick/resources/StringTable.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "tarnwick/settings/ProductKey.h"
#include "tarnwick/settings/SettingsFieldTable.h"

#include <algorithm>
#include <ctime>
#include <ostream>
#include <utility>

namespace tarnwick {

namespace reg = platform::registry;
namespace res = tarnwick::resources;

namespace {

// What each setting's values mean, as --help and the manual page list them.
constexpr std::pair<std::string_view, std::string_view> kSettingMeanings[] = {
    {"LocalStartPage", "Text; wird nur gespeichert und mitgeführt"},
    {"LocalWebObject", "Pfad der Umleitungsadresse auf dem eigenen Server (Standard \"/\")"},
    {"PhysicalWebDir", "Text; wird nur gespeichert und mitgeführt"},
    {"LocalServerName", "Host der Umleitungsadresse; jeder Durchlauf setzt die gefundene Adresse"},
    {"LocalUrl", "die zuletzt gebildete Umleitungsadresse (wird überschrieben)"},
    {"UserName", "Benutzername für das Hochladen (Standard anonymous)"},
    {"Password", "Kennwort für das Hochladen (verschleiert gespeichert)"},
    {"RedirectUrl", "feste Adresse der Umleitungsseite, endet mit dem Seitennamen (index.htm)"},
    {"UploadFile", "Seitenvorlage (Datei); leer: die eingebaute Seite"},
    {"UploadServer", "Hostname des Servers, auf den hochgeladen wird"},
    {"UploadPort", "Port des Upload-Servers, 1 bis 65535 (Standard 21)"},
    {"UploadDir", "Verzeichnis mit Schreibrecht auf dem Upload-Server (Standard \"/\")"},
    {"AutoDialConnection", "NetworkManager-Profil, das vor einem Durchlauf angewählt wird"},
    {"AutoDialUsername", "Benutzername für die Anwahl"},
    {"AutoDialPW", "Kennwort für die Anwahl (verschleiert gespeichert)"},
    {"LocalServiceType", "Protokoll der Umleitungsadresse: 3 = http, 1 = ftp (Standard 3)"},
    {"LocalPort", "Port der Umleitungsadresse, 0 bis 65535 (Standard 80)"},
    {"UploadServiceType", "Protokoll beim Hochladen: 1 = FTP, 3 = HTTP PUT (Standard 1)"},
    {"WaitTimeInMin", "Intervall der periodischen Umleitung in Minuten, 1 bis 120 (Standard 2)"},
    {"AutoStart", "1 = beim Programmstart periodisch umleiten, 0 = nicht (Standard 0)"},
    {"AutoDial", "1 = anwählen, wenn der Server nicht erreichbar ist, 0 = nie (Standard 0)"},
    {"ClientIpByServer", "1 = eigene Adresse vom Adressdienst holen, 0 = selbst ermitteln (Standard 0)"},
    {"ExtMessages", "1 = jeden Verbindungsschritt als Statusmeldung zeigen, 0 = nicht (Standard 0)"},
    {"BackupFile", "Name der Sicherungsdatei (Standard values.bak)"},
    {"UploadTls", "1 = verschlüsselt hochladen (FTP mit TLS, PUT über https), 0 = nicht (Standard 0)"},
    {"CaFile", "PEM-Datei mit weiteren Zertifizierungsstellen; leer: nur die des Systems"},
    {"WarnPrivateAddress", "1 = melden, wenn die gefundene Adresse privat oder lokal ist (Standard 1)"},
    {"RetryAfterFailure", "1 = fehlgeschlagenen periodischen Durchlauf bald wiederholen (Standard 1)"},
    {"RedirectOnAddressChange", "1 = Durchlauf, wenn sich die Adressen des Rechners ändern (Standard 1)"},
    {"AddressFamily", "4 = IPv4-Adresse veröffentlichen, 6 = die feste globale IPv6-Adresse (Standard 4)"},
    {"Ipv6InterfaceId", "mit IPv6: Schnittstellenkennung wie ::99 zum aktuellen /64-Präfix; leer: keine"},
    {"DnsUpdate", "DNS-Name aktuell halten: 0 = nicht, 1 = dyndns2-Dienst, 2 = DNS-Server (RFC 2136) (Standard 0)"},
    {"DnsName", "der vollständige DNS-Name, etwa heim.example.org"},
    {"DnsServer", "Host[:Port] des dyndns2-Dienstes (https; http:// nur lokal) oder des primären DNS-Servers"},
    {"DnsUser", "Benutzername beim dyndns2-Dienst"},
    {"DnsPassword", "Kennwort beim dyndns2-Dienst (verschleiert gespeichert)"},
    {"DnsKey", "TSIG-Schlüssel hmac-sha256:Name:Base64-Geheimnis oder hmac-sha512:... (verschleiert gespeichert)"},
    {"DnsCheckServer", "Host[:Port] des DNS-Servers, der geprüft wird; leer: die zuständigen Server der Zone"},
    {"RedirectPage",
     "1 = Umleitungsseite prüfen und hochladen, 0 = nur den DNS-Namen (bei DnsUpdate 1 oder 2) (Standard 1)"},
    {"ServiceHost", "Host oder Host:Port von Adressdienst, Forum und Updates; leer: eingebaut"},
};

std::string_view SettingMeaning(std::string_view name)
{
    for (const auto& [known, meaning] : kSettingMeanings) {
        if (known == name)
            return meaning;
    }
    return {};
}

constexpr std::string_view kOptions[]
    = {"--print-page", "--set", "--get", "--save-backup", "--load-backup", "--help", "--version"};

bool IsServiceHostName(std::string_view name)
{
    return platform::EqualsNoCase(name, res::kServiceHostValueName);
}

std::optional<std::string> CheckValue(std::string_view name, std::string_view value)
{
    if (IsServiceHostName(name)) {
        if (value.empty() || res::IsValidServiceHost(value))
            return std::nullopt;
        return "Ungültiger Wert für ServiceHost: \"" + std::string(value)
            + "\" ist weder ein Rechnername noch Rechnername:Port.";
    }
    const SettingsField* field = FindSettingsField(name);
    if (!field)
        return "Unbekannte Einstellung: \"" + std::string(name) + "\".";
    return CheckSettingsValue(*field, value);
}

} // namespace

SettingsCommandLine::SettingsCommandLine(std::ostream& out, std::ostream& err)
    : m_out(out)
    , m_err(err)
{
}

bool SettingsCommandLine::Handles(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        for (const std::string_view option : kOptions) {
            if (arg == option)
                return true;
        }
    }
    return false;
}

int SettingsCommandLine::Run(const std::vector<std::string>& args)
{
    Action action = Action::None;
    std::string actionName;
    std::vector<std::pair<std::string, std::string>> assignments;
    std::vector<std::string> names;
    std::optional<std::string> file;

    // Several --set (or several --get) may share one call; other options stand alone.
    const auto choose = [&](Action next, const std::string& name) -> std::optional<int> {
        if (action == Action::None || (action == next && (next == Action::Set || next == Action::Get))) {
            action = next;
            actionName = name;
            return std::nullopt;
        }
        if (action == next)
            return Refuse("Die Option " + name + " darf nur einmal angegeben werden.");
        return Refuse("Die Optionen " + actionName + " und " + name + " können nicht zusammen verwendet werden.");
    };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasNext = i + 1 < args.size();
        std::optional<int> refused;
        if (arg == "--print-page") {
            refused = choose(Action::PrintPage, arg);
        } else if (arg == "--help") {
            refused = choose(Action::Help, arg);
        } else if (arg == "--version") {
            refused = choose(Action::Version, arg);
        } else if (arg == "--set" || arg == "--get" || arg == "--load-backup") {
            if (!hasNext)
                return Refuse("Die Option " + arg + " erwartet einen Wert.");
            const std::string& value = args[++i];
            if (arg == "--set") {
                refused = choose(Action::Set, arg);
                const size_t equals = value.find('=');
                if (!refused && (equals == std::string::npos || equals == 0))
                    return Refuse("Erwartet wird --set Name=Wert, nicht \"" + value + "\".");
                if (!refused)
                    assignments.emplace_back(value.substr(0, equals), value.substr(equals + 1));
            } else if (arg == "--get") {
                refused = choose(Action::Get, arg);
                names.push_back(value);
            } else {
                refused = choose(Action::LoadBackup, arg);
                file = value;
            }
        } else if (arg == "--save-backup") {
            refused = choose(Action::SaveBackup, arg);
            if (hasNext && args[i + 1].rfind("--", 0) != 0)
                file = args[++i];
        } else if (arg.rfind("--", 0) == 0) {
            return Refuse("Unbekannte Option: " + arg + ". \"tarnwick --help\" zeigt die möglichen Optionen.");
        } else {
            return Refuse("Unerwartetes Argument: \"" + arg + "\". \"tarnwick --help\" zeigt die möglichen Optionen.");
        }
        if (refused)
            return *refused;
    }

    switch (action) {
    case Action::PrintPage:
        return PrintPage();
    case Action::Set:
        return SetValues(assignments);
    case Action::Get:
        return GetValues(names);
    case Action::SaveBackup:
        return SaveBackup(file);
    case Action::LoadBackup:
        return LoadBackup(*file);
    case Action::Help:
        return Help();
    case Action::Version:
        m_out << resources::LoadString(resources::IDS_VERSION) << '\n';
        m_out.flush();
        return kExitSuccess;
    case Action::None:
        break;
    }
    return Refuse("Keine Option angegeben. \"tarnwick --help\" zeigt die möglichen Optionen.");
}

bool SettingsCommandLine::LoadStoredSettings(CRedirectSettings& settings)
{
    return EnsureProductKey() && settings.LoadFromRegistry(res::kProductKeyPath, true);
}

int SettingsCommandLine::StoreFailed(CRedirectSettings::StoreResult result)
{
    if (result == CRedirectSettings::StoreResult::Locked)
        return Fail("Die Einstellungen sind von einem anderen Prozess gesperrt. Es wurde nichts gespeichert.");
    return Fail("Die Einstellungen konnten nicht gespeichert werden. Es wurde nichts gespeichert.");
}

int SettingsCommandLine::PrintPage()
{
    CRedirectSettings settings;
    if (!LoadStoredSettings(settings))
        return Fail("Die Einstellungen konnten nicht gelesen werden.");
    const GeneratedPage page = GenerateRedirectPage(settings, platform::ProgramDirectory(), std::time(nullptr),
                                                    res::LoadString(res::IDS_VERSION));
    for (const StatusLine& line : page.status)
        m_err << line.text << '\n';
    m_out << page.page;
    m_out.flush();
    return m_out ? kExitSuccess : kExitFailure;
}

int SettingsCommandLine::SetValues(const std::vector<std::pair<std::string, std::string>>& assignments)
{
    // Everything is checked before anything is written.
    for (const auto& [name, value] : assignments) {
        if (const std::optional<std::string> problem = CheckValue(name, value))
            return Refuse(*problem + " Es wurde nichts gespeichert.");
    }

    if (!EnsureProductKey())
        return Fail("Die Einstellungen konnten nicht gelesen werden. Es wurde nichts gespeichert.");
    // Only the named values change, all in one locked read-modify-write: a
    // process setting other names at the same time keeps its values.
    std::optional<std::string> serviceHost;
    const auto storeServiceHost = [&serviceHost](reg::HiveKey& root) {
        std::vector<std::string> path;
        reg::HiveKey* maker = reg::SplitKeyPath(res::kMakerKeyPath, path) ? root.find(path) : nullptr;
        if (maker == nullptr)
            return false;
        if (serviceHost->empty())
            return maker->removeValue(res::kServiceHostValueName);
        reg::HiveValue value;
        value.name = std::string(res::kServiceHostValueName);
        value.type = reg::REG_SZ;
        value.text = *serviceHost;
        return maker->setValue(std::move(value));
    };
    const auto result = CRedirectSettings::EditStoredSettings(
        res::kProductKeyPath, true,
        [&](CRedirectSettings& stored) {
            std::vector<const SettingsField*> fields;
            for (const auto& [name, value] : assignments) {
                if (IsServiceHostName(name)) {
                    serviceHost = value;
                    continue;
                }
                const SettingsField* field = FindSettingsField(name);
                ApplySettingsValue(*field, stored, value);
                fields.push_back(field);
            }
            return fields;
        },
        [&](reg::HiveKey& root) { return serviceHost && storeServiceHost(root); });
    if (result != CRedirectSettings::StoreResult::Saved)
        return StoreFailed(result);
    return kExitSuccess;
}

int SettingsCommandLine::GetValues(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        if (!IsServiceHostName(name) && !FindSettingsField(name))
            return Refuse("Unbekannte Einstellung: \"" + name + "\".");
    }
    CRedirectSettings settings;
    if (!LoadStoredSettings(settings))
        return Fail("Die Einstellungen konnten nicht gelesen werden.");
    for (const std::string& name : names) {
        if (IsServiceHostName(name))
            m_out << res::ServiceHost() << '\n';
        else
            m_out << FindSettingsField(name)->get(settings) << '\n';
    }
    m_out.flush();
    return m_out ? kExitSuccess : kExitFailure;
}

int SettingsCommandLine::SaveBackup(const std::optional<std::string>& file)
{
    if (file && file->empty())
        return Refuse("Der Name der Sicherungsdatei ist leer.");
    CRedirectSettings settings;
    if (!LoadStoredSettings(settings))
        return Fail("Die Einstellungen konnten nicht gelesen werden.");
    const std::string name = file ? *file : settings.GetBackupFile();
    if (name.empty())
        return Fail("Es ist keine Sicherungsdatei eingestellt (BackupFile).");
    if (!settings.SaveToBackupFile(name))
        return Fail("Die Sicherungsdatei \"" + platform::profile::ResolveProfilePath(name)
                    + "\" konnte nicht geschrieben werden.");
    return kExitSuccess;
}

int SettingsCommandLine::LoadBackup(const std::string& file)
{
    if (file.empty())
        return Refuse("Der Name der Sicherungsdatei ist leer.");
    if (!EnsureProductKey())
        return Fail("Die Einstellungen konnten nicht gelesen werden.");
    // The file is laid over the settings as stored now and saved at once, as
    // the backup page does, in one transaction.
    bool loaded = false;
    const auto result = CRedirectSettings::EditStoredSettings(
        res::kProductKeyPath, true, [&](CRedirectSettings& stored) -> std::vector<const SettingsField*> {
            loaded = stored.LoadFromBackupFile(file);
            if (!loaded)
                return {};
            return CRedirectSettings::AllFields();
        });
    if (result != CRedirectSettings::StoreResult::Saved)
        return StoreFailed(result);
    if (!loaded)
        return Fail("Die Sicherungsdatei \"" + platform::profile::ResolveProfilePath(file)
                    + "\" fehlt oder enthält keine Einstellungen. Es wurde nichts geändert.");
    return kExitSuccess;
}

int SettingsCommandLine::Help()
{
    m_out << "Aufruf: tarnwick [/pending] [/execnow] [/quit]\n"
             "       tarnwick Option\n"
             "\n"
             "Ohne Option startet das Programm mit Fenster und Symbol im Infobereich; läuft es\n"
             "schon, holt ein weiterer Aufruf das Fenster nach vorn, /execnow startet dort einen\n"
             "Durchlauf, /quit beendet es ohne zu speichern, /pending startet verborgen.\n"
             "\n"
             "  --headless              leitet ohne Fenster periodisch um; Statusmeldungen auf der\n"
             "                          Standardausgabe (für Server und den systemd-Dienst)\n"
             "  --once                  ein Durchlauf ohne Fenster; Ende 0: Seite (und DNS-Name, wenn\n"
             "                          eingeschaltet) aktuell oder erneuert, 1: nicht, 2: Tarnwick\n"
             "                          läuft bereits\n"
             "  --print-page            gibt die Seite aus, die ein Durchlauf mit den gespeicherten\n"
             "                          Einstellungen hochladen würde (Meldungen auf der Fehlerausgabe)\n"
             "  --set Name=Wert         ändert eine Einstellung; mehrere --set werden der Reihe nach\n"
             "                          und gemeinsam übernommen, und ein ungültiger Wert verwirft alle\n"
             "  --get Name              gibt eine Einstellung aus\n"
             "  --save-backup [Datei]   schreibt die Einstellungen in die Sicherungsdatei\n"
             "                          (ohne Angabe in die eingestellte BackupFile)\n"
             "  --load-backup Datei     lädt die Einstellungen aus einer Sicherungsdatei und speichert sie\n"
             "  --version               gibt die Programmversion aus\n"
             "  --help                  zeigt diesen Text\n"
             "\n"
             "Einstellungen für --set Name=Wert (Groß- und Kleinschreibung der Namen beliebig):\n";
    const auto add = [&](std::string_view name) {
        std::string line = "  " + std::string(name);
        line.resize(std::max<size_t>(line.size() + 1, 26), ' ');
        m_out << line << SettingMeaning(name) << '\n';
    };
    for (const SettingsField& field : SettingsFields())
        add(field.name);
    add(res::kServiceHostValueName);
    m_out.flush();
    return kExitSuccess;
}

int SettingsCommandLine::Refuse(const std::string& message)
{
    m_err << "tarnwick: " << message << '\n';
    return kExitUsage;
}

int SettingsCommandLine::Fail(const std::string& message)
{
    m_err << "tarnwick: " << message << '\n';
    return kExitFailure;
}

} // namespace tarnwick
