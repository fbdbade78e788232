// Messages of the GIF graphic.
#pragma once

namespace kv {

constexpr char SGIFVersion[] = "Unbekannte GIF Version";
constexpr char SGIFEncodeError[] = "GIF Bild Kodierungsfehler";
constexpr char SGIFDecodeError[] = "GIF Bild enthält fehlerhafte Daten";
constexpr char SGIFCodeSize[] = "GIF Codegröße nicht im Bereich von 2 bis 9";
constexpr char SGIFWrongColors[] = "Falsche Farbanzahl; muß eine Potenz von 2 sein";
constexpr char SGIFBadExtension[] = "Unerkannter Erweiterungsblock: %.2x";
constexpr char SGIFNoData[] = "Keine GIF Daten zum schreiben";
constexpr char SGIFResize[] = "Die Größe eines GIF Bildes kann nicht geändert werden";
constexpr char SReadError[] = "Stream-Read-Fehler";

}  // namespace kv
