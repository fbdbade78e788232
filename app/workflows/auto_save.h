// Saving results under generated names: the auto-save parameter text, the
// name it gives for a number, AutoSaveImage, and the frame Tautosaveframe
// where users choose folder, start name, number, format and what happens
// when a file of the name exists. Automation and the webcam save through it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/exceptions.h"
#include "platform/ui/frames.h"

namespace kv {

class TButton;
class TCheckBox;
class TComboBox;
class TDirectoryEdit;
class TEdit;
class TKvSpinEdit;
class TLabel;
class TImager;
class tformstorage1;

// A save that could not be done: the name could not be reserved or the
// writer failed. The message names the file.
KV_DECLARE_EXCEPTION(EAutoSaveError, Exception)

// "Falls Datei existiert".
enum TAutoSaveExists : uint8_t { aseNewNumber = 0, aseOverwrite = 1, aseSkip = 2 };

// The auto-save text read once ("Directory", "Startfile", "Startnumber",
// "Type", "Exists", "KeepDirectory", "KeepStartfile", "KeepParams").
struct TAutoSaveSettings {
  std::string Directory;
  std::string Startfile = "unbenannt";
  int32_t Startnumber = 1;
  std::string Type = "JPG";
  TAutoSaveExists Exists = aseNewNumber;
  bool KeepDirectory = false;
  bool KeepStartfile = false;
  bool KeepParams = true;
};
TAutoSaveSettings ReadAutoSaveSettings(std::string_view Text);

// The name the next save of a picture loaded from SourceName would use with
// Number: folder + base + extension, where the base is the start name in
// lower case, "-" and the number, or with "KeepStartfile" the source's own
// name (numbered again, its trailing digits and one "-" cut, when "Exists" is
// 0 and that file exists).
std::string AutoSaveFileName(const std::string& SourceName, std::string_view Text, int32_t Number);
// The same for the picture of an image control.
std::string AutoSaveName(TImager& Image, std::string_view Text, int32_t Number);

enum TAutoSaveResult : uint8_t {
  asrSaved,   // written under the name of the result
  asrSkipped  // "nicht speichern" and the file exists: nothing was written
};

// The format parameters dialog on the page of Type ("JPG", "TIF", ...),
// started from the parameter text Params of a file of that type; OK writes
// the dialog's values back into Params. False when cancelled.
bool EditFormatParams(std::string& Params, const std::string& Type);

// Saves the picture under its generated name; Number below 0 starts at
// "Startnumber". With "Exists" 0 the first free name is reserved (created
// with O_EXCL) before the picture is written, so two savers never share a
// name, and Number ends one past it. "Überschreiben" overwrites but never
// the picture's own source file, unless the text keeps its folder, name and
// format (the user chose to save in place); another free number is taken
// instead. SavedName receives the name written. Raises EAutoSaveError.
TAutoSaveResult AutoSaveImage(TImager& Image, std::string_view Text, int32_t& Number,
                              std::string* SavedName = nullptr);

class Tautosaveframe : public TFrame {
 public:
  explicit Tautosaveframe(TComponent* AOwner);

  TLabel* Label1 = nullptr;
  TDirectoryEdit* DirectoryEdit1 = nullptr;
  TCheckBox* CheckBox2 = nullptr;  // keep the folder
  TLabel* Label2 = nullptr;
  TEdit* Edit3 = nullptr;          // "Startdatei"
  TLabel* Label3 = nullptr;        // "-"
  TKvSpinEdit* KvSpinEdit6 = nullptr;
  TCheckBox* CheckBox3 = nullptr;  // keep the start name
  TLabel* Label4 = nullptr;
  TComboBox* mycombobox2 = nullptr;  // "Grafikformat"
  TButton* ParamsButton = nullptr;   // "Parameter..."
  TCheckBox* CheckBox4 = nullptr;    // keep the format
  TLabel* Label5 = nullptr;
  TComboBox* mycombobox3 = nullptr;  // "Falls Datei existiert"
  tformstorage1* formstorage1 = nullptr;

  // The auto-save text of the controls, format keys of "Params" last.
  void GetParams(std::string& Out) const;
  std::string GetParams() const;
  // Enables or disables every control; the "wie vorher" boxes still
  // disable what they replace.
  void SetControlsEnabled(bool On);
  // The format parameter text edited with "Parameter..." (the stored "Params").
  const std::string& Params() const { return FParams; }
  void SetParams(const std::string& Value) { FParams = Value; }
  // The short name ("JPG") of the chosen format.
  std::string ChosenType() const;
  // "Parameter...": the format parameters dialog for the chosen kind.
  void ParamsButtonClick(TObject* Sender);

 private:
  void UpdateKeepStates();
  // The record of "Params" for the chosen kind, on a 1 x 1 picture.
  void ApplyParams();
  std::string FParams;
  bool FEnabled = true;
};

}  // namespace kv
