#include "tarnwick/widgets/common/WhatsThisTexts.h"

#include <QWidget>

namespace tarnwick {

namespace {

constexpr WhatsThisEntry kMainWindow[] = {
    {1000,
     "Die IP-Adresse, unter der dieser Computer bei der letzten Ermittlung im Internet auftrat. Sie "
     "ändert sich meist bei jeder Einwahl und ist der Rechnerteil der generierten Umleit-Adresse."},
    {1001,
     "Die IP-Adresse des Servers, auf dem die Umleitwebseite liegt, wie sie bei der letzten Ermittlung "
     "erreicht wurde."},
    {1003,
     "Die feste Internetadresse, die Ihre Besucher aufrufen, zum Beispiel "
     "http://www.ihre-domain.de/index.htm. Dort liegt die Umleitwebseite, die Tarnwick auf dem "
     "gemieteten Webspace aktuell hält. Ändern Sie sie über \"Einstellungen\"."},
    {1039,
     "Öffnet die umleitende Internetadresse im Browser. So sehen Sie, wohin Ihre Besucher gerade "
     "umgeleitet werden."},
    {1002,
     "Der Dateiname der Umleitwebseite auf dem Server. Er ergibt sich aus der umleitenden "
     "Internetadresse."},
    {1050,
     "Öffnet die Einstellungen auf der Seite \"Umleitung von\": die feste Internetadresse, unter der "
     "Ihre Besucher die Umleitwebseite aufrufen."},
    {1043,
     "Die Vorlage, aus der Tarnwick die Umleitwebseite erzeugt. Ist keine Vorlage angegeben, "
     "verwendet Tarnwick eine eingebaute Seite."},
    {1044,
     "Öffnet die Einstellungen auf der Seite \"Hochladen\": Vorlage, Server, Zugangsdaten und "
     "Verzeichnis für das Hochladen der Umleitwebseite."},
    {1026,
     "Die folgenden Felder zeigen, wohin Tarnwick die Umleitwebseite hochlädt: Protokoll, Server, "
     "Port und Verzeichnis auf dem Webspace."},
    {1057,
     "Das Protokoll, mit dem die Umleitwebseite hochgeladen wird: ftp:// oder http:// (HTTP PUT). "
     "\"ungültig!\" bedeutet, dass in den Einstellungen noch kein Protokoll gewählt ist."},
    {1052,
     "Der Name des Servers, auf den die Umleitwebseite hochgeladen wird, zum Beispiel "
     "ftp.ihre-domain.de."},
    {1053, "Der Port des Servers für das Hochladen; für FTP meist 21, für HTTP meist 80."},
    {1054,
     "Das Verzeichnis auf dem Server, in das die Umleitwebseite geschrieben wird. Sie brauchen dort "
     "Schreibrechte."},
    {1017,
     "Alle wie viele Minuten Tarnwick prüft, ob die Umleitwebseite noch auf die richtige Adresse "
     "umleitet. Der Wert gilt ab dem nächsten Start der periodischen Umleitung."},
    {1019,
     "Startet oder stoppt die periodische Umleitung. Läuft sie, prüft Tarnwick sofort und dann in "
     "jedem Intervall die Umleitwebseite und lädt sie bei Bedarf neu hoch."},
    {1020,
     "Ist das Feld angekreuzt, startet Tarnwick bei jeder Anmeldung unsichtbar im "
     "Benachrichtigungsbereich und beginnt sofort mit der periodischen Umleitung."},
    {1021,
     "Die Meldungen des letzten Durchlaufs mit Datum und Uhrzeit: gefundene Adressen, wohin die "
     "Umleitwebseite gerade umleitet, ob sie hochgeladen wurde, und aufgetretene Fehler."},
    {1022,
     "Die Adresse, auf die die Umleitwebseite umleiten soll: die lokale IP-Adresse dieses "
     "Computers mit Protokoll, Port und Pfad aus den Einstellungen."},
    {1032,
     "Öffnet die Einstellungen auf der Seite \"Umleitung nach\": Protokoll, Port und Pfad der "
     "Adresse, auf die umgeleitet wird."},
    {1008,
     "Ermittelt nur die lokale und die entfernte IP-Adresse, ohne etwas hochzuladen. Während der "
     "Suche bricht ein erneuter Klick (\"Abbrechen\") sie ab."},
    {1014,
     "Ermittelt die Adressen, prüft die Umleitwebseite und lädt sie neu hoch, wenn sie nicht mehr "
     "auf die richtige Adresse umleitet. Während des Durchlaufs bricht ein erneuter Klick "
     "(\"Abbrechen\") ihn ab."},
    {57670, "Öffnet die Hilfe zu diesem Fenster im Browser (auch mit F1)."},
    {57665,
     "\"Verstecken\" blendet das Fenster aus; Tarnwick arbeitet im Benachrichtigungsbereich weiter. "
     "Ohne Systemsymbol lautet die Schaltfläche \"Beenden\" und beendet Tarnwick."},
    {57664, "Ein Klick auf das Symbol zeigt Informationen über Tarnwick."},
};

} // namespace

WhatsThisTable MainWindowWhatsThis()
{
    return kMainWindow;
}

QString WhatsThisText(WhatsThisTable table, int controlId)
{
    for (const WhatsThisEntry& entry : table) {
        if (entry.controlId == controlId)
            return QString::fromUtf8(entry.text);
    }
    return {};
}

QString ControlObjectName(int controlId)
{
    return QStringLiteral("idc_%1").arg(controlId);
}

int ApplyWhatsThis(QWidget* root, WhatsThisTable table)
{
    if (!root)
        return 0;
    int applied = 0;
    for (const WhatsThisEntry& entry : table) {
        const QString name = ControlObjectName(entry.controlId);
        QWidget* control = root->objectName() == name ? root : root->findChild<QWidget*>(name);
        if (!control)
            continue;
        control->setWhatsThis(QString::fromUtf8(entry.text));
        ++applied;
    }
    return applied;
}

} // namespace tarnwick
