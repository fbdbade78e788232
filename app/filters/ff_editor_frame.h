// The panel in which Filter Factory filters are written: one filter of its
// library at a time, its three channel formulas, title, category, author,
// copyright and "8BF" text, the eight control names and values, loading and
// saving libraries, and the place where a formula fails to parse.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/frames.h"

namespace kv {

class TButton;
class TEdit;
class TKvSlider;
class TKvSpeedButton;
class TLabel;
class TMemo;
class TTimer;
class tfflfilter;

class Tframeuserfilform : public TFrame {
 public:
  explicit Tframeuserfilform(TComponent* AOwner);
  ~Tframeuserfilform() override;

  tfflfilter& Library() { return *FLibrary; }
  // The filter dialog lends the library to its filter item while it runs it.
  std::unique_ptr<tfflfilter> TakeLibrary() { return std::move(FLibrary); }
  void GiveLibrary(std::unique_ptr<tfflfilter> Library) { FLibrary = std::move(Library); }
  // Raised after the shown filter or one of its fields changed (the filter
  // dialog refreshes its preview).
  TNotifyEvent OnFilterChange;

  TLabel* Label1 = nullptr;  // "Filter:"
  TLabel* Label2 = nullptr;  // current / count
  // "Rot", "Grün", "Blau", "Name", "Kategorie", "8BF", "Autor", "Copyright".
  std::array<TKvSpeedButton*, 8> KvSpeedButtons{};
  TMemo* RichEdit1 = nullptr;
  std::array<TEdit*, 8> Edits{};
  std::array<TKvSlider*, 8> Sliders{};
  std::array<TLabel*, 8> ValueLabels{};
  TLabel* Image1 = nullptr;  // the error sign
  TLabel* Label3 = nullptr;  // "Stelle:"
  TLabel* Label4 = nullptr;  // the error position
  TButton* Button1 = nullptr;  // "Laden ..."
  TButton* Button2 = nullptr;  // "Speichern ..."
  TButton* Button3 = nullptr;  // "Hilfe"
  TButton* Button4 = nullptr;  // "+"
  TButton* Button5 = nullptr;  // "-"
  TButton* Button6 = nullptr;  // "<"
  TButton* Button7 = nullptr;  // ">"
  TTimer* Timer1 = nullptr;

  // Puts the current filter into the controls, then raises OnFilterChange.
  void ShowFilter();
  // Stores the text and the controls into the current filter, compiling a
  // channel formula first; then raises OnFilterChange.
  void TakeBack();
  // The field the text shows (ffkRed ... ffk8BF).
  int32_t ShownField() const { return FField; }
  void ChooseField(int32_t Field);
  // 0 while the shown formula compiles, else its 1-based error position.
  int32_t ErrorPosition() const { return FErrorPosition; }
  // "<", ">", "+" and "-".
  void StepFilter(int32_t Delta);
  void InsertFilter();
  void DeleteFilter();
  // A library from a file (".ffl" or ".afs"); the edits back into the library, then saved as ".ffl".
  void LoadLibrary(const std::string& FileName);
  void SaveLibrary(const std::string& FileName);
  // The caret of the text to the error position (a click on the error sign).
  void GoToError();
  // Whether a library was loaded or saved since the frame was made.
  bool FilesChanged() const { return FFilesChanged; }

 private:
  void SliderMoved(int32_t Tag);
  void ShowError(int32_t Position);
  std::unique_ptr<tfflfilter> FLibrary;
  int32_t FField;
  int32_t FErrorPosition = 0;
  bool FShowing = false;
  bool FFilesChanged = false;
};

}  // namespace kv
