// The HTML gallery of a slide show: an overview page of thumbnails and one
// page per picture, written in UTF-8 with every name and text escaped; the
// settings window "Diashow-Webseite generieren" and its ".sht" files.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/params/file_kind_types.h"
#include "app/workflows/slide_settings.h"
#include "net/http_request.h"  // HtmlEscape for the pages' texts
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TCheckBox;
class TCheckListBox;
class TEdit;
class TKvSpinEdit;
class TMemo;
class TPageControl;
class TTabSheet;
class tformstorage1;

struct THtmlSettings {
  int32_t TPbs = 0;
  int32_t TPcp = 4;
  int32_t TPnc = 5;
  std::string TPpt = "Bildergalerie";
  std::string TPt = "Bildergalerie";
  std::string TPfn = "index.html";
  bool TCst = true;
  int32_t TCbs = 2;
  bool TCss = true;
  int32_t TCw = 100, TCh = 100;
  bool TCew = false;
  bool TCoo = true;
  tFileFormatset Filetypes{tFileFormat::jpg};
  int32_t IPbs = 2;
  std::string IPt = "Bild";
  bool IPnb = true;
  std::string IPnp = "Nächstes Bild", IPpp = "Vorheriges Bild", IPtn = "Übersicht", IPfp = "Erstes Bild",
              IPlp = "Letztes Bild";
  bool IOca = true;
  // Red-green-blue numbers, red in the high byte.
  uint32_t GRbc = 0xA0A0A0, GRtc = 0, GRlc = 0xFF, GRlv = 0x69;
  std::string GRbl = "https://www.example.org/";
  std::string GRbt = "Zurück zur Hauptseite";
  std::string GRbi;
  std::vector<std::string> BT{"Hier können Sie Text oder zusätzlichen HTML-Code vor die Tabelle schreiben."};
  std::vector<std::string> AT{"Hier können Sie Text oder zusätzlichen HTML-Code hinter die Tabelle schreiben."};
  std::vector<std::string> BI{"Hier können Sie Text oder zusätzlichen HTML-Code vor das Bild schreiben."};
  std::vector<std::string> AI{"Hier können Sie Text oder zusätzlichen HTML-Code hinter das Bild schreiben."};
  std::string SD = "HTMLShow";
  std::string MD;  // the folder the pages' folder is made in; empty: the user's home folder
  std::string JpegParams;  // the JPEG writing parameters, an image-format parameter text
};

// "WebSlide" and the settings, in their order; the JPEG parameters follow.
std::string WriteHtmlSettings(const THtmlSettings& H);
// Every key the line holds replaces the value in H; the others stay.
void ReadHtmlSettings(const std::string& Line, THtmlSettings& H);

// A colour number (red in the high byte) as "#rrggbb".
std::string HtmlColour(uint32_t Rgb);

// Where the pages go: MD (the home folder when empty) + SD + "/".
std::string HtmlGalleryFolder(const THtmlSettings& H);

struct THtmlExportJob {
  std::string Show;  // the slide-show command
  THtmlSettings Settings;
  bool Overview = true;
  bool PicturePages = true;
  tImageInfoset ThumbInfo{tImageInfo::filename};
  const std::atomic<bool>* Abort = nullptr;  // ends the page loop after a thumbnail
  // After each picture, before Abort is read: the pictures done so far and their number.
  std::function<void(int32_t Done, int32_t Count)> OnProgress;
};
struct THtmlExportResult {
  std::string Folder;      // with "/"
  std::string FirstPage;   // the overview, or "0.html"
  std::vector<std::string> Failed;  // sources that could not be copied or converted
  int32_t Pictures = 0;
};
// Writes the pages, pictures and thumbnails into MD + SD + "/".
THtmlExportResult WriteHtmlGallery(const THtmlExportJob& Job);

class Tslidehtmlform : public TForm {
 public:
  explicit Tslidehtmlform(TComponent* AOwner);

  TPageControl* PageControl1 = nullptr;
  TTabSheet* Pages[9] = {};  // "Tabellenseite", "Tabelleninhalt", "Vor Tabelle", "Nach Tabelle",
                             // "Bildseite", "Bildoptionen", "Vor Bild", "Nach Bild", "Allgemein"
  TKvSpinEdit *TPbs = nullptr, *TPcp = nullptr, *TPnc = nullptr, *TCbs = nullptr, *TCw = nullptr, *TCh = nullptr,
              *IPbs = nullptr;
  TEdit *TPpt = nullptr, *TPt = nullptr, *TPfn = nullptr, *IPt = nullptr, *IPnp = nullptr, *IPpp = nullptr,
        *IPtn = nullptr, *IPfp = nullptr, *IPlp = nullptr, *GRbc = nullptr, *GRtc = nullptr, *GRlc = nullptr,
        *GRlv = nullptr, *GRbl = nullptr, *GRbt = nullptr, *GRbi = nullptr, *SD = nullptr, *MD = nullptr;
  TCheckBox *TCst = nullptr, *TCss = nullptr, *TCew = nullptr, *TCoo = nullptr, *IPnb = nullptr, *IOca = nullptr;
  TMemo *BT = nullptr, *AT = nullptr, *BI = nullptr, *AI = nullptr;
  TCheckListBox* InfoList = nullptr;  // "Zusätzliche Informationen" under each thumbnail
  TButton* GenerateButton = nullptr;  // "Webseite generieren"
  TButton* ParamsButton = nullptr;    // "Parameter...": the JPEG writing parameters
  std::string JpegParams;
  tFileFormatset Filetypes{tFileFormat::jpg};

  THtmlSettings Settings() const;
  void SetSettings(const THtmlSettings& H);
  tImageInfoset ThumbInfo() const;
  // "Einstellungen speichern" / "Einstellungen laden" with a chosen ".sht" file.
  void SaveSettingsFile(const std::string& FileName) const;
  void LoadSettingsFile(const std::string& FileName);
  // Hides the pages that do not apply.
  void ShowPagesFor(bool Overview, bool PicturePages);
  // The JPEG parameters dialog on a 1 x 1 picture, starting from JpegParams,
  // whose text takes the result when it closes with OK.
  void ParamsButtonClick();

 private:
  tformstorage1* FStore = nullptr;
};

// "Webseite ...": the questions, the settings window, the pages and the closing message.
void ExportHtmlGallery(const TSlideSettings& Show);

}  // namespace kv
