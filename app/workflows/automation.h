// Automation: a recorded batch program applied to many pictures (from an
// image source, or the current one), each result saved under a generated
// name and its window closed as chosen. The window "Batch" chooses; the main
// window runs it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TCheckBox;
class TGroupBox;
class TRadioButton;
class TbatchlistFrame;
class TimageSourceframe;
class Tautosaveframe;
class Tform1;
class tformstorage1;

// How the main window's actions open the window.
enum TAutoPreset : uint8_t { apBatch, apAutoScan, apMultiScan, apPhotocopy };

class Tautoform : public TForm {
 public:
  explicit Tautoform(TComponent* AOwner);

  TbatchlistFrame* batchlistFrame1 = nullptr;
  TGroupBox* GroupBox1 = nullptr;         // "vorher Bild laden"
  TRadioButton* RadioButton10 = nullptr;  // "nein"
  TRadioButton* RadioButton9 = nullptr;   // "ja, Bilder kommen von"
  TimageSourceframe* imageSourceframe1 = nullptr;
  TGroupBox* GroupBox2 = nullptr;  // "danach Bild"
  TCheckBox* CheckBox1 = nullptr;  // "speichern"
  TCheckBox* CheckBox2 = nullptr;  // "schliessen"
  Tautosaveframe* autosaveframe1 = nullptr;
  TButton* RunButton = nullptr;   // "Ausführen"
  TButton* EndButton = nullptr;   // "Beenden"
  TButton* HelpButton = nullptr;  // "Hilfe"
  tformstorage1* formstorage1 = nullptr;

  // The choices an action makes before the window shows. A preset whose
  // program is not in the batch folder selects none, so "Ausführen" asks
  // for one rather than running whichever program happens to be first.
  void Preset(TAutoPreset Value);
  // Shows the image source only with "ja", enables the auto-save frame only with "speichern".
  void UpdateControls();

 private:
  bool SelectProgram(const std::string& Name);
  // "Ausführen" without a program: says so and keeps the window open.
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  std::string FMissingProgram;  // the preset's program that is not there
};

// One automation run as the window set it up.
struct TAutomationJob {
  std::string Batch;  // full path of the batch program
  // The pictures come from the source; else the current picture only.
  TimageSourceframe* Source = nullptr;
  bool Save = false;
  std::string SaveText;  // auto-save text
  int32_t StartNumber = 1;
  bool Close = false;
  // After each picture (worked on or failed to load), with the pictures
  // dealt with so far and the total (0 when unknown); returning false stops the run.
  std::function<bool(int32_t Done, int32_t Total)> OnImage;
};

struct TAutomationResult {
  int32_t Done = 0;     // pictures the batch ran on
  int32_t Saved = 0;
  int32_t Skipped = 0;  // "nicht speichern" found the name taken: the window stays open
  int32_t Failed = 0;   // the batch or the save failed: the window stays open
  int32_t NotLoaded = 0;  // listed files that did not open
  bool Stopped = false;
  int32_t NextNumber = 1;
};

// Runs the job on the main window's interpreter. A picture that failed to
// load is not worked on (the window before it is not worked on twice), and a
// picture that was not saved is never closed.
TAutomationResult RunAutomation(Tform1& Form, const TAutomationJob& Job);

// The actions "Batch...", "Auto Scannen ...", "Fotokopierer ..." and "Multi Scan ...".
void ShowAutomation(Tform1& Form, TAutoPreset Preset);

}  // namespace kv
