#include "tarnwick/widgets/sheet/PageWhatsThis.h"

#include "tarnwick/widgets/sheet/DnsNamePageIds.h"

namespace tarnwick {

namespace {

constexpr WhatsThisEntry kGeneral[] = {
    {1069,
     "Zeigt im Hauptfenster zusätzlich jeden Schritt der Internetverbindungen an. Nützlich, wenn eine "
     "Verbindung nicht zustande kommt."},
    {1070,
     "Die IP-Adresse dieses Computers wird vom VELT-Server abgefragt, statt sie über die Verbindung zum "
     "Server der Umleitwebseite zu ermitteln. Hinter einem Router ist das meist nötig."},
    {1075,
     "Der VELT-Server für die Adressabfrage, das Forum und Programmupdates: ein Hostname oder eine "
     "IP-Adresse, wahlweise mit \":Port\" (z. B. server.example.org:8080). Leer: der eingebaute Server. "
     "Gespeichert wird mit OK, nicht in der Sicherungsdatei."},
    {1071, "Fragt den VELT-Server einmal nach der IP-Adresse dieses Computers und meldet, ob er erreichbar ist."},
    {1017,
     "Alle wie viele Minuten die Umleitwebseite periodisch geprüft und bei Bedarf neu hochgeladen wird "
     "(1 bis 120 Minuten)."},
    {1018, "Erhöht oder verringert das Intervall um eine Minute (1 bis 60)."},
};

constexpr WhatsThisEntry kRedirectFrom[] = {
    {1049,
     "Die feste Internetadresse der Umleitwebseite, zum Beispiel http://www.ihre-domain.de/index.htm. Der "
     "letzte Teil ist der Name der Datei, die hochgeladen wird."},
    {1039, "Öffnet die eingetragene Adresse im Browser."},
    {1058, "So muss die Adresse der Umleitwebseite aussehen."},
};

constexpr WhatsThisEntry kRedirectTo[] = {
    {1033, "Das Protokoll Ihres lokalen Servers: http:// für einen Webserver, ftp:// für einen FTP-Server."},
    {1027, "Die zuletzt ermittelte IP-Adresse dieses Computers. Sie wird bei jeder Ermittlung neu gesetzt."},
    {1031, "Das Verzeichnis auf Ihrem lokalen Server, auf das umgeleitet wird, zum Beispiel / oder /start/."},
    {1028, "Der Port, an dem Ihr lokaler Server lauscht; für HTTP meist 80, für FTP meist 21."},
    {1029, "Erhöht oder verringert den Port um eins."},
    {1030, "Die Adresse, auf die die Umleitwebseite Ihre Besucher schickt."},
    {1038,
     "Ist das Feld angekreuzt, wird nach jeder Änderung geprüft, ob der lokale Server unter der Adresse "
     "erreichbar ist."},
    {1045, "Öffnet die generierte Umleit-Adresse im Browser."},
    {1037, "Das Ergebnis der letzten Prüfung des lokalen Servers."},
    {1076,
     "IPv4 veröffentlicht die IPv4-Adresse. IPv6 veröffentlicht die feste globale IPv6-Adresse dieses Computers "
     "(nie eine temporäre), für Anschlüsse ohne eigene öffentliche IPv4-Adresse (DS-Lite, CGNAT)."},
    {1077,
     "Nur mit IPv6: eine Schnittstellenkennung wie ::99. Veröffentlicht wird dann das aktuelle /64-Präfix mit "
     "dieser Kennung, also ein anderes Gerät im selben Netz (etwa ein NAS). Leer: die Adresse dieses Computers."},
};

constexpr WhatsThisEntry kUpload[] = {
    {1002,
     "Der Dateiname, unter dem die Umleitwebseite hochgeladen wird. Er ergibt sich aus der Adresse auf "
     "der Seite \"Umleitung von\"."},
    {1043,
     "Die Vorlage, aus der die Umleitwebseite erzeugt wird. Ohne Vorlage verwendet Tarnwick eine "
     "eingebaute Seite."},
    {1044, "Wählt die Vorlage in einem Dateidialog aus."},
    {1056, "Wie die Umleitwebseite hochgeladen wird: ftp:// oder http:// (HTTP PUT)."},
    {1074,
     "Lädt verschlüsselt hoch: mit ftp:// per FTP über TLS, mit http:// per HTTP PUT über https. Das Zertifikat "
     "des Servers wird immer geprüft; ohne TLS beim Server wird nichts gesendet."},
    {1052, "Der Name des Servers, auf den die Umleitwebseite hochgeladen wird."},
    {1053, "Der Port des Servers für das Hochladen; für FTP meist 21, für HTTP meist 80."},
    {1055, "Erhöht oder verringert den Port um eins."},
    {1054, "Das Verzeichnis auf dem Server, in das die Umleitwebseite geschrieben wird."},
    {1006, "Der Benutzername für das Hochladen."},
    {1007, "Das Passwort für das Hochladen. Es wird verschlüsselt gespeichert."},
    {1051, "Geben Sie das Passwort zur Bestätigung noch einmal ein."},
};

constexpr WhatsThisEntry kBackup[] = {
    {1046,
     "Die Datei, in die die Einstellungen nach OK zusätzlich gesichert werden. Ein Name ohne Verzeichnis "
     "liegt im Einstellungsordner von Tarnwick."},
    {1044, "Wählt die Sicherungsdatei in einem Dateidialog aus."},
    {1059, "Liest die Einstellungen aus einer Sicherungsdatei. Sie gelten erst, wenn Sie mit OK bestätigen."},
    {1060, "Startet das Online-Update. Die Einstellungen dieses Fensters werden dabei verworfen."},
};

constexpr WhatsThisEntry kAutoDial[] = {
    {1065, "Die Url der Umleitwebseite. Ist ihr Server nicht erreichbar, wird vor dem Durchlauf angewählt."},
    {1061,
     "Ist das Feld angekreuzt, baut Tarnwick die Internetverbindung selbst auf, wenn der Server zu Beginn eines "
     "Durchlaufs nicht erreichbar ist."},
    {1063,
     "Die Verbindung, die angewählt wird. Beim ersten Eintrag wählt Tarnwick nicht selbst, die Verbindung bleibt "
     "dem System überlassen."},
    {1006, "Der Benutzername für die Anwahl, falls die Verbindung ihn nicht selbst enthält."},
    {1007, "Das Passwort für die Anwahl. Es wird verschlüsselt gespeichert."},
    {1062, "Wählt die Verbindung an und prüft, ob danach der Server der Url erreichbar ist."},
};

constexpr WhatsThisEntry kDnsName[] = {
    {kIdcDnsKind,
     "Wie der DNS-Name aktuell gehalten wird: aus, über einen dyndns2-Dienst (Anmeldung mit Benutzername und "
     "Passwort) oder direkt beim DNS-Server der Zone mit einem TSIG-Schlüssel (RFC 2136)."},
    {kIdcDnsName, "Der vollständige DNS-Name, der auf diesen Computer zeigen soll, zum Beispiel heim.example.org."},
    {kIdcDnsServer,
     "dyndns2: der Update-Dienst als Host[:Port] (https). RFC 2136: der primäre DNS-Server der Zone als "
     "Host[:Port] (Port 53, wenn keiner genannt ist)."},
    {kIdcDnsUser, "Der Benutzername beim dyndns2-Dienst."},
    {kIdcDnsPassword, "Das Passwort beim dyndns2-Dienst. Es wird verschlüsselt gespeichert."},
    {kIdcDnsPasswordConfirm, "Geben Sie das Passwort zur Bestätigung noch einmal ein."},
    {kIdcDnsKey,
     "Der TSIG-Schlüssel für die Aktualisierung beim DNS-Server als hmac-sha256:Schlüsselname:Base64-Geheimnis "
     "(auch hmac-sha512). Er wird verschlüsselt gespeichert und nicht in die Sicherungsdatei geschrieben."},
    {kIdcDnsCheckServer,
     "Der DNS-Server, der nach dem veröffentlichten Eintrag gefragt wird, als Host[:Port]. Leer: die zuständigen "
     "Server der Zone (ihre NS-Einträge), nie ein zwischenspeichernder Resolver."},
    {kIdcRedirectPage,
     "Ist das Feld angekreuzt, wird die Umleitwebseite wie bisher geprüft und hochgeladen. Ohne Kreuz hält "
     "Tarnwick nur den DNS-Namen aktuell; die Seiten für die Umleitwebseite werden dann nicht gebraucht."},
    {kIdcDnsCheckNow,
     "Fragt den zuständigen DNS-Server mit den Werten dieser Seite, worauf der Name jetzt zeigt (A- und "
     "AAAA-Eintrag). Gespeichert wird dabei nichts."},
};

} // namespace

WhatsThisTable GeneralPageWhatsThis()
{
    return kGeneral;
}

WhatsThisTable RedirectFromPageWhatsThis()
{
    return kRedirectFrom;
}

WhatsThisTable RedirectToPageWhatsThis()
{
    return kRedirectTo;
}

WhatsThisTable UploadPageWhatsThis()
{
    return kUpload;
}

WhatsThisTable BackupPageWhatsThis()
{
    return kBackup;
}

WhatsThisTable AutoDialPageWhatsThis()
{
    return kAutoDial;
}

WhatsThisTable DnsNamePageWhatsThis()
{
    return kDnsName;
}

} // namespace tarnwick
