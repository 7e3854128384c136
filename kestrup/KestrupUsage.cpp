#include "kestrup/KestrupUsage.h"

namespace kestrup {

namespace {

constexpr const char* kHelpText = R"(Aufruf: kestrup msidlfile=PAKET pr="TITEL" v=VERSION
       kestrup msifile=DATEI msidlfile=PAKET pr="TITEL" v=VERSION
       kestrup /quitonly pr="TITEL"
       kestrup --help
       kestrup --version

Kestrup aktualisiert eine Installation von VELT Tarnwick: Es liest die
Versionsdatei neben dem Paket (TWSetup.txt), beendet bei einer neuen Version
das Programm mit dem Titel TITEL und installiert das Paket in den Ordner über
seinem eigenen Programmordner (<Präfix>/bin/kestrup installiert nach <Präfix>).

  msidlfile=PAKET  das Paket auf dem Update-Server; ein Pfad wird zu
                   http://<ServiceHost>/PAKET ergänzt
  msifile=DATEI    ein lokales Paket statt des Downloads; ein Name ohne "/"
                   liegt in Kestrups Programmordner
  pr="TITEL"       der Titel des Programms, das vor der Installation endet
  v=VERSION        die installierte Version; gleicht sie version= der
                   Versionsdatei, bleibt alles unverändert
  cmdline=TEXT     wird angenommen und nicht beachtet
  /quitonly        beendet nur das laufende Programm mit dem Titel TITEL
  --version        gibt die Programmversion aus
  --help           zeigt diesen Text

Schlüssel gelten in beliebiger Groß- und Kleinschreibung. Eine Installation
aus dem Debian-Paket wird nie überschrieben (Fehler 5).

Rückgabewerte:
  0  das Update ist installiert; mit /quitonly: das Programm ist beendet
  1  sonst (die Meldung nennt den Fehler: 2 Paket nicht gefunden, 5 keine
     Berechtigung, 1602 abgebrochen, 1603 Paket beschädigt oder abgelehnt)

Beispiel:
  kestrup msidlfile=/Download/TWSetup.msi pr="VELT Tarnwick" v=1.4.44
)";

} // namespace

std::optional<std::string> InfoOptionText(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return std::nullopt;
    if (args.front() == "--help")
        return kHelpText;
    if (args.front() == "--version")
        return std::string(KESTRUP_VERSION) + "\n";
    return std::nullopt;
}

} // namespace kestrup
