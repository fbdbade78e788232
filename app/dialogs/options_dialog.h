// "Optionen": the program-wide settings (stored values of the main window
// and a few registry keys), the file kinds associated with the desktop, the
// keyboard shortcuts of every menu item and the extra plug-in folders.
// Creating the dialog reads them; "OK" writes them back.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/params/file_kind_types.h"
#include "platform/graphics/canvas.h"
#include "platform/ui/custom_edit.h"
#include "platform/ui/forms.h"
#include "platform/ui/std_controls.h"

namespace kv {

class TButton;
class TCheckBox;
class TComboBox;
class TFilenameEdit;
class TKvSpinEdit;
class TLabel;
class TListBox;
class TMemo;
class TPageControl;
class TTabSheet;
class Tform1;
class tgrafikformat;

// Where the extra plug-in folders are kept (a registry list).
inline constexpr const char* AddPlugKey = "\\Software\\Kavrelin\\3.6\\AddPlug";
// The page the button "Weitere Sprachmodule ..." opens.
inline constexpr const char* LanguageModulesPage = "https://www.kavrelin.de/sprachmodule.html";

// The language extensions the combo offers after "Standard": those of the
// word table's languages and of the modules "kavrelin.XX" beside the program,
// upper case, each once.
std::vector<std::string> LanguageChoices();
// Whether the desktop hands a kind's files to the program now: a kind whose
// extensions share one file type is the program's when any of its classes
// holds that type.
bool FileKindAssociated(tFileFormat Kind);
// Gives every extension of the kind that the program holds back to its owner
// before it, until the program holds none.
void UnassociateFileKind(tFileFormat Kind);

// A field that takes a key press as a shortcut and shows it as text.
class THotKeyEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;

 protected:
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
};

// "Schriftoptionen": face, size, style and colour of a font.
class TFontOptionsForm : public TForm {
 public:
  explicit TFontOptionsForm(TComponent* AOwner);
  TComboBox* NameBox = nullptr;
  TKvSpinEdit* SizeEdit = nullptr;
  TCheckBox* BoldBox = nullptr;
  TCheckBox* ItalicBox = nullptr;
  TCheckBox* UnderlineBox = nullptr;
  TEdit* ColorEdit = nullptr;  // the colour as a number
  void SetFont(const TFont& Font);
  void GetFont(TFont& Font) const;
};

class Toptionform : public TForm {
 public:
  Toptionform(TComponent* AOwner, Tform1& Main);

  TPageControl* PageControl1 = nullptr;
  // "Allgemein"
  TFilenameEdit* BackgroundEdit = nullptr;
  TCheckBox* BackgroundAdjustBox = nullptr;
  TComboBox* LanguageBox = nullptr;
  TButton* LanguageButton = nullptr;
  TCheckBox* TextShadowBox = nullptr;
  // "Bild"
  TComboBox* RulerBox = nullptr;
  TComboBox* ResolutionBox = nullptr;
  TCheckBox* AutoZoomBox = nullptr;
  TCheckBox* AutoFitBox = nullptr;
  TKvSpinEdit* UndoEdit = nullptr;
  TComboBox* UndoModeBox = nullptr;
  // "Dateitypen"
  tgrafikformat* FileKinds = nullptr;
  // "Katalog"
  TKvSpinEdit* GridSizeEdit = nullptr;
  TKvSpinEdit* CatalogWidthEdit = nullptr;
  TKvSpinEdit* CatalogHeightEdit = nullptr;
  TButton* FontButton = nullptr;
  tgrafikformat* InfoFields = nullptr;
  // "Cache"
  TKvSpinEdit* HistoryEdit = nullptr;
  TCheckBox* DiskCacheBox = nullptr;
  TKvSpinEdit* DiskCacheEdit = nullptr;
  TButton* DiskClearButton = nullptr;
  TCheckBox* MemCacheBox = nullptr;
  TKvSpinEdit* MemCacheEdit = nullptr;
  TButton* MemClearButton = nullptr;
  // "Kürzel"
  TListBox* ShortcutList = nullptr;
  THotKeyEdit* HotKeyEdit = nullptr;
  TButton* SetButton = nullptr;
  TButton* DeleteButton = nullptr;
  // "Plugins"
  TMemo* PluginFolders = nullptr;

  TButton* Button1 = nullptr;  // "OK"
  TButton* Button2 = nullptr;  // "Abbrechen"
  TButton* Button3 = nullptr;  // "&Hilfe"

  // The catalog font as the dialog holds it.
  TFont& CatalogFont() { return FCatalogFont; }

  void FormCreate();
  void FormShow(TObject* Sender);
  void Button1Click(TObject* Sender);
  void ShortcutListClick(TObject* Sender);
  void SetButtonClick(TObject* Sender);
  void DeleteButtonClick(TObject* Sender);
  void DiskCacheBoxClick(TObject* Sender);
  void MemCacheBoxClick(TObject* Sender);
  void DiskClearButtonClick(TObject* Sender);
  void MemClearButtonClick(TObject* Sender);
  void FontButtonClick(TObject* Sender);
  void LanguageButtonClick(TObject* Sender);

 private:
  TTabSheet* Page(const std::string& Caption);
  // Replaces the shortcut of line Index.
  void SetLineShortcut(int32_t Index, const std::string& Text);

  Tform1& FMain;
  TFont FCatalogFont;
};

// Shows the dialog modally for the main window and frees it.
void ShowOptionsDialog(Tform1& Main);

}  // namespace kv
