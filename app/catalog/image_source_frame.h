// The image-source frame of the tools that work through many pictures
// (automation, slide shows, mosaics, numbered copies): which pictures, as a
// parameter text, and the run of a per-image action over them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui/frames.h"

namespace kv {

class mycombobox;
class TButton;
class TCheckBox;
class TDirectoryEdit;
class TEdit;
class TFilenameEdit;
class TLabel;
class Tform1;
class tformstorage1;

// The per-image work of a caller: called with the frame as sender while the
// picture it is for is the main window's current image.
using TImageSourceAction = std::function<void(TObject* Sender)>;

// The kind names of the source list, in the order of "SourceMode".
inline constexpr const char* kImageSourceKinds[] = {"Katalog", "Verzeichnis", "Alle geöffneten", "Scanner"};

class TimageSourceframe : public TFrame {
 public:
  explicit TimageSourceframe(TComponent* AOwner);

  TLabel* Label1 = nullptr;
  mycombobox* mycombobox1 = nullptr;  // source kind, "Verzeichnis" at first
  TFilenameEdit* FilenameEdit1 = nullptr;  // catalog file
  TDirectoryEdit* DirectoryEdit1 = nullptr;  // folder
  TCheckBox* CheckBox6 = nullptr;  // "Unterverzeichnisse einbeziehen"
  TCheckBox* CheckBox1 = nullptr;  // "In Einzelbilder trennen (Autokorrektur)"
  TEdit* options = nullptr;        // hidden: sort keys and "Filetypes"
  TButton* OptionsButton = nullptr;  // "Optionen"
  tformstorage1* formstorage1 = nullptr;

  // Keeps only the first Count kinds of the list (a tool that takes files
  // only offers "Katalog" and "Verzeichnis"); the choice stays within them.
  void SetKindCount(int32_t Count);
  int32_t SourceMode() const;

  // "SourceMode", for a folder "Dir" and "Subdirs", for a catalog "catalog",
  // then "seperate", a blank and the options text.
  void GetParams(std::string& Params) const;
  std::string GetParams() const;
  // Shows the choice of an image-source text (its absent values as at creation).
  void SetParams(const std::string& Params);

  // Runs Action once for each picture of the source (see the kinds). Owner
  // is the main window whose interpreter opens, scans and splits them. A
  // listed file that does not open is passed to NotLoaded instead.
  void getimages(const TImageSourceAction& Action, Tform1& Owner,
                 const std::function<void(const std::string& FileName)>& NotLoaded = {});

  void mycombobox1Change(TObject* Sender);
  // For the scanner, the scanner options; else the options dialog on the options text.
  void OptionsButtonClick(TObject* Sender);

 private:
  void UpdateControls();
  void PerImage(const TImageSourceAction& Action, Tform1& Owner);
};

}  // namespace kv
