#include "corvanecom/host/HostTexts.h"

namespace corvane::host {

const char* const kHelpText = R"(Aufruf: corvane AUFRUF [AUFRUF ...]
       corvane --register [MODUL]
       corvane --unregister [MODUL]
       corvane --help
       corvane --version

corvane erzeugt ein Objekt der Komponente VELT.Corvane und ruft seine
Methoden und Eigenschaften nacheinander über ihren Namen auf (späte Bindung
über IDispatch). Alle Aufrufe einer Befehlszeile gehen an dasselbe Objekt.

Ein AUFRUF ist:
  Methode ARG ...   ruft die Methode auf; es folgen so viele Argumente, wie
                    die Methode Parameter hat (Zahlen dezimal)
  Eigenschaft       liest die Eigenschaft
  Eigenschaft=Wert  setzt die Eigenschaft

In Zeichenketten gelten die Escape-Folgen \r \n \t \\ \" \0 und \xHH.
Jedes Ergebnis steht in einer eigenen Zeile der Standardausgabe:
Zeichenketten unverändert, Zahlen dezimal. Methoden ohne Ergebnis geben
nichts aus. Schlägt ein Aufruf fehl, erscheint die Fehlerbeschreibung der
Komponente auf der Standardfehlerausgabe und corvane endet sofort.

Methoden und Eigenschaften von VELT.Corvane:
  TestConnect URL             1, wenn der Server der URL erreichbar ist
  Connect HOST PORT           öffnet eine TCP-Verbindung
  Send KOMMANDO               sendet den Text
  Receive MAX_KB              empfängt eine Antwort (höchstens 1024 Bytes je Aufruf)
  SendCmdAndReceive KOMMANDO  sendet den Text und empfängt die Antwort
  Disconnect                  schließt die Verbindung
  CancelBlockingCall          bricht einen wartenden Aufruf ab
  SendHttpRequest URL         HTTP-GET, gibt den Inhalt aus
  TimeoutInSec[=SEKUNDEN]     Zeitgrenze je Schritt (0 bis 30, 0 = keine)
  SocketAddress, SocketPort, PeerAddress, PeerPort, DataToReceiveAvailable,
  LastErrorMsg, ServerAddress, ResponseHeaders

Beispiel:
  corvane TimeoutInSec=2 Connect 127.0.0.1 2525 Receive 4 SendCmdAndReceive "QUIT\r\n" Disconnect

--register [MODUL]    registriert die Komponente für den angemeldeten Benutzer
--unregister [MODUL]  entfernt ihre Registrierung
  Ohne MODUL gilt libcorvanecom.so neben dem Programm, dann im
  Bibliotheksordner der Installation (../lib/tarnwick),
  zuletzt (beim Entfernen zuerst) das registrierte Modul.
--version             gibt die Programmversion aus
--help                zeigt diesen Text

Rückgabewerte:
  0  alle Aufrufe waren erfolgreich
  1  ein Aufruf ist fehlgeschlagen (Beschreibung auf der Standardfehlerausgabe)
  2  falsche Befehlszeile (unbekannte Option oder unbekanntes Mitglied,
     fehlendes Argument, keine gültige Zahl)
  3  die Komponente ist nicht registriert, nicht ladbar oder ihre
     Registrierung ist fehlgeschlagen
)";

} // namespace corvane::host
