// SPDX-License-Identifier: MIT
// zepactl's help texts, one per command, in German like the rest of the user interface.
#include <cstdio>
#include <string>

#include "protocol/halvern_records.hpp"
#include "protocol/records.hpp"
#include "tools/cli/cli_request.hpp"

namespace zepa::cli {

namespace {

const char* const generalHelp =
    "Aufruf: zepactl [--device-root VERZEICHNIS] BEFEHL …\n"
    "\n"
    "Steuert die ZEPA VX10 und die Halvern Corvane Pro 108 von der Kommandozeile.\n"
    "\n"
    "Befehle:\n"
    "  list [--json]                  angeschlossene Keyboards anzeigen\n"
    "  keys [--json]                  Tastennamen beider Keyboards anzeigen\n"
    "  zepa lighting MODUS …          Beleuchtung der ZEPA VX10 setzen\n"
    "  zepa clock [--at ZEIT]         Uhr der ZEPA VX10 stellen\n"
    "  zepa keys [TASTE=RRGGBB …]     Einzeltastenfarben der ZEPA VX10 setzen\n"
    "  zepa remap [QUELLE=ZIEL …]     Tastenbelegung der ZEPA VX10 setzen\n"
    "  halvern model|config|verify    Halvern Corvane Pro 108 abfragen\n"
    "  halvern lighting EFFEKT …      Beleuchtung der Halvern Corvane Pro 108 setzen\n"
    "  halvern remap [QUELLE=ZIEL …]  Tastenbelegung der Halvern Corvane Pro 108 setzen\n"
    "  profile export|import DATEI    Profil der ZEPA VX10 exportieren oder importieren\n"
    "  diagnose [--json]              zeigt, was ein Fehlerbericht braucht\n"
    "  restore                        gespeicherte Einstellungen von ZEPA Control erneut "
    "anwenden\n"
    "\n"
    "Optionen:\n"
    "  --device-root VERZEICHNIS      sysfs unter VERZEICHNIS/sys und Geräteknoten unter\n"
    "                                 VERZEICHNIS/dev statt /sys und /dev verwenden\n"
    "  -h, --help                     diese Hilfe; „zepactl BEFEHL --help“ erklärt einen "
    "Befehl\n"
    "  --version                      Version anzeigen\n"
    "  --                             beendet die Optionen\n"
    "\n"
    "--save bei einem Befehl, der ein Keyboard ändert, speichert die Änderung wie das\n"
    "Fenster, sodass „zepactl restore“ und ZEPA Control sie wieder anwenden.\n"
    "\n"
    "Exit-Status: 0 Erfolg, 1 Fehler (Meldung auf der Standardfehlerausgabe),\n"
    "2 ungültiger Aufruf (dann wird nichts gesendet).\n";

std::string lightingModes() {
  std::string text = "Modi (Nummer, Name oder deutscher Name, auch ohne Umlaute):\n";
  for (LightingMode mode : allLightingModes()) {
    char line[80];
    std::snprintf(line, sizeof line, "  %2d  %-12s %s\n", rawValue(mode), cliName(mode),
                  name(mode).c_str());
    text += line;
  }
  return text;
}

std::string halvernEffects() {
  std::string text = "Effekte (Nummer, Name oder deutscher Name, auch ohne Umlaute):\n";
  for (HalvernEffect effect : allHalvernEffects()) {
    char line[80];
    std::snprintf(line, sizeof line, "  %2d  %-12s %s\n", rawValue(effect), cliName(effect),
                  name(effect).c_str());
    text += line;
  }
  return text;
}

const char* const keyNames =
    "TASTE ist der Name aus der Tastentabelle der ZEPA VX10 (Groß-/Kleinschreibung egal,\n"
    "„1“ ist die Taste mit der Aufschrift 1, Namen mit Leerzeichen in Anführungszeichen:\n"
    "\"Num /\"), der Linux-Name (KEY_ESC, esc, capslock, pgup) oder #N für die\n"
    "Firmware-Tastennummer N von 1 bis 142. „zepactl keys“ zeigt alle Namen.\n"
    "Farben als RRGGBB oder #RRGGBB.\n";

}  // namespace

std::string usageLine(Topic topic) {
  switch (topic) {
    case Topic::general:
      return "Aufruf: zepactl [--device-root VERZEICHNIS] BEFEHL … (zepactl --help)";
    case Topic::list:
      return "Aufruf: zepactl list [--json]";
    case Topic::keys:
      return "Aufruf: zepactl keys [--json]";
    case Topic::profile:
      return "Aufruf: zepactl profile export DATEI | zepactl profile import DATEI";
    case Topic::diagnose:
      return "Aufruf: zepactl diagnose [--json]";
    case Topic::halvernRemap:
      return "Aufruf: zepactl halvern remap [--save] [QUELLE=ZIEL …]";
    case Topic::zepa:
      return "Aufruf: zepactl zepa lighting|clock|keys|remap … (zepactl zepa --help)";
    case Topic::zepaLighting:
      return "Aufruf: zepactl zepa lighting MODUS [--color RRGGBB] [--brightness N] [--speed N] "
             "[--direction N] [--colorful] [--save]";
    case Topic::zepaClock:
      return "Aufruf: zepactl zepa clock [--at JJJJ-MM-TTTHH:MM:SS]";
    case Topic::zepaKeys:
      return "Aufruf: zepactl zepa keys [--brightness N] [--save] [TASTE=RRGGBB …]";
    case Topic::zepaRemap:
      return "Aufruf: zepactl zepa remap [--fn | --save] [QUELLE=ZIEL …]";
    case Topic::halvern:
      return "Aufruf: zepactl halvern model|config|verify|lighting|remap … (zepactl halvern "
             "--help)";
    case Topic::halvernQuery:
      return "Aufruf: zepactl halvern model|config|verify [--json]";
    case Topic::halvernLighting:
      return "Aufruf: zepactl halvern lighting EFFEKT [--color RRGGBB] [--brightness N] "
             "[--speed N] [--colorful] [--save]";
    case Topic::restore:
      return "Aufruf: zepactl restore";
  }
  return {};
}

std::string helpText(Topic topic) {
  const std::string usage = usageLine(topic) + "\n\n";
  switch (topic) {
    case Topic::general:
      return generalHelp;
    case Topic::list:
      return usage +
             "Zeigt je angeschlossenem Keyboard eine Zeile: „zepa ZEPA VX10“ oder\n"
             "„halvern Halvern Corvane Pro 108“. Ohne Keyboard bleibt die Ausgabe leer. Kann\n"
             "ein Knoten nicht geöffnet werden, sagt eine Zeile auf der Standardfehlerausgabe\n"
             "warum. --json: {\"keyboards\":[{\"keyboard\",\"name\",\"canOpen\",\"problem\",\n"
             "\"nodes\":[{\"path\",\"kind\",\"interface\",\"usagePage\",\"usage\",\"canOpen\",\n"
             "\"problem\"}]}]} (problem null, wenn sich alles öffnen lässt).\n";
    case Topic::keys:
      return usage +
             "Zeigt jede Taste mit ihren Namen: für die ZEPA VX10 Tastennummer (#N), HID-Usage,\n"
             "Name der Tastentabelle und Linux-Name; für die Halvern Corvane Pro 108 jede\n"
             "Usage, die Linux kennt, mit Linux-Name und, wo vorhanden, Tabellenname.\n"
             "--json: {\"zepa\":[{\"index\",\"usage\",\"name\",\"linux\"}],\n"
             "\"halvern\":[{\"usage\",\"keycode\",\"linux\",\"name\"}]} (fehlende Namen null).\n";
    case Topic::profile:
      return usage +
             "export schreibt das gespeicherte Profil der ZEPA VX10 in DATEI; import prüft DATEI\n"
             "und speichert sie als Profil (danach wendet „zepactl restore“ es an). Eine\n"
             "ungültige Datei ändert nichts.\n";
    case Topic::diagnose:
      return usage +
             "Zeigt, was ein Fehlerbericht braucht: Kernel-Version, jeden Knoten beider\n"
             "Keyboards mit USB-Interface, primärer Usage, Größe des Feature-Reports und\n"
             "Report-Deskriptor, ob er sich öffnen lässt und wenn nicht, warum; die udev-Regel;\n"
             "die Speicherorte und ob sie lesbar sind. --json gibt dasselbe als JSON aus.\n";
    case Topic::halvernRemap:
      return usage +
             "Setzt die ganze Tastenbelegung der Halvern Corvane Pro 108 über zepa-keymap;\n"
             "Tasten ohne Paar behalten ihre Funktion, ohne Paare gilt die Standardbelegung.\n"
             "QUELLE und ZIEL: Name aus der Tastentabelle oder Linux-Name (KEY_ESC, esc).\n";
    case Topic::zepa:
      return usage +
             "  lighting MODUS …         Beleuchtungseffekt setzen\n"
             "  clock [--at ZEIT]        Uhr stellen (Profil 1)\n"
             "  keys [TASTE=RRGGBB …]    Einzeltastenfarben setzen; ohne Paare alle löschen\n"
             "  remap [QUELLE=ZIEL …]    Tastenbelegung setzen; ohne Paare zurücksetzen\n";
    case Topic::zepaLighting:
      return usage +
             "Voreinstellungen: Farbe 00d2ff, Helligkeit 5, Tempo 3, Richtung 0, einfarbig.\n"
             "--colorful schaltet Mehrfarbig ein (die Farbe wird dann ignoriert).\n"
             "Helligkeit und Tempo 0–5, Richtung 0 (links) oder 1 (rechts) prüft das "
             "Keyboard.\n\n" +
             lightingModes();
    case Topic::zepaClock:
      return usage +
             "Stellt die Uhr des Displays auf die angegebene Ortszeit, ohne --at auf jetzt.\n";
    case Topic::zepaKeys:
      return usage +
             "Sendet die ganze Farbtabelle: Tasten ohne Paar bleiben dunkel, ohne Paare\n"
             "werden alle Einzeltastenfarben gelöscht. Helligkeit 0–5, Voreinstellung 5.\n\n" +
             keyNames;
    case Topic::zepaRemap:
      return usage +
             "Sendet die ganze Belegung der Grundebene (mit --fn der Fn-Ebene); Tasten ohne\n"
             "Paar behalten ihre Funktion, ohne Paare wird die Ebene zurückgesetzt.\n"
             "QUELLE wie TASTE, ZIEL muss eine Taste der Tastentabelle sein.\n\n" +
             keyNames;
    case Topic::halvern:
      return usage +
             "  model [--json]           Antwort der Modellabfrage (MODEL …)\n"
             "  config                   Konfigurationsblock (CONFIG …)\n"
             "  verify                   Block unverändert zurückschreiben und prüfen (OK oder\n"
             "                           MISMATCH, dann Exit-Status 1)\n"
             "  lighting EFFEKT …        Beleuchtungseffekt setzen\n"
             "  remap [QUELLE=ZIEL …]    Tastenbelegung setzen; ohne Paare Standardbelegung\n";
    case Topic::halvernQuery:
      return usage +
             "model und config zeigen die Antwortbytes als Hex-Ziffern; verify schreibt den\n"
             "Konfigurationsblock unverändert zurück und meldet OK oder MISMATCH.\n"
             "--json: {\"query\":\"model\"|\"config\", \"response\":\"hex\"} oder\n"
             "{\"query\":\"verify\", \"unchanged\":true|false}.\n";
    case Topic::halvernLighting:
      return usage +
             "Voreinstellungen: Farbe 00d2ff, Helligkeit 4, Tempo 4, einfarbig.\n"
             "Helligkeit und Tempo 0–4 prüft das Keyboard.\n\n" +
             halvernEffects();
    case Topic::restore:
      return usage +
             "Wendet erneut an, was ZEPA Control gespeichert hat: für eine angeschlossene\n"
             "ZEPA VX10 Beleuchtung, Einzeltastenfarben und Tastenbelegung des Profils, für\n"
             "eine angeschlossene Halvern Corvane Pro 108 die gespeicherte Beleuchtung und\n"
             "Tastenbelegung. Eine Zeile je Schritt; Exit-Status 1, wenn ein Schritt scheitert.\n";
  }
  return generalHelp;
}

}  // namespace zepa::cli
