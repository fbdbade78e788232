// The program's main window: the multiple-document frame holding image
// windows, with the menus, speed bars, actions, dialogs, progress bar, the
// settings store and the program-wide flags that commands and batches share.
//
// Its work is spread over several files by topic: main_form.cpp (creation,
// showing, closing, files and windows), main_menus.cpp (menus and speed bars),
// app/actions (actions and menu state), app/interpreter (the command
// language) and app/batch (recorder, history, player).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/string_list.h"
#include "platform/ui/forms.h"

namespace kv {

class TBasicAction;
class TBitmap;
class TMainMenu;
class TMenuItem;
class TActionList;
class TSpeedBar;
class TProgressBar;
class TOpenImagerDialog;
class TSaveImagerDialog;
class tformstorage1;
class timagerlayer;
class Tchild;
class TFormcatalog;
class TCommandInterpreter;
class TBatchRecorder;
class TMDIWallpaper;

// Run mode, set once at start: 0 editor, 1 slide-show player, 2 screen saver, 3 wallpaper changer.
extern uint8_t RunMode;
// Set when a save question is answered Cancel, a save dialog is cancelled or an
// action is refused during a batch; read by CLOSE, SAVEALL, CLOSEALL and the shut-down.
extern bool CancelFlag;

class Tform1 : public TForm {
 public:
  explicit Tform1(TComponent* AOwner);
  ~Tform1() override;

  // ---- components ----
  TMainMenu* MainMenu1 = nullptr;
  TSpeedBar* SpeedBar1 = nullptr;
  TSpeedBar* imagespeedbar = nullptr;
  TActionList* ActionList1 = nullptr;
  TOpenImagerDialog* OpenDialog1 = nullptr;
  TSaveImagerDialog* SaveDialog1 = nullptr;
  tformstorage1* Formstorage1 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  timagerlayer* imagerlayer1 = nullptr;
  TMenuItem* Filter1 = nullptr;
  TMenuItem* PluginFilter1 = nullptr;
  TMenuItem* Farben1 = nullptr;
  TMenuItem* Bild1 = nullptr;
  TMenuItem* Datei1 = nullptr;
  TMenuItem* Kanletrennen1 = nullptr;
  TMenuItem* Katalog2 = nullptr;
  TMenuItem* Sortierung1 = nullptr;
  TMenuItem* Sortierung2 = nullptr;
  TMenuItem* Erneutladen1 = nullptr;
  TMenuItem* Fenster1 = nullptr;
  TMenuItem* Mauszeiger1 = nullptr;
  TMenuItem* Digitalkamera1 = nullptr;
  // View toggles the image windows follow when shown: rulers and status line
  // (an image window shows both while these items do not exist).
  TMenuItem* Lineal1 = nullptr;
  TMenuItem* Statusleiste1 = nullptr;

  // ---- window state ----
  // Files still to open: blank-separated names, a name with blanks in double quotes.
  std::string PendingFiles;
  // Set by the webcam's per-frame batch; getchild answers it before the active window.
  Tchild* OverrideChild = nullptr;
  // Depth of running batch players: nested players keep the program busy
  // until the outermost one ends.
  int32_t BatchBusy = 0;
  bool Busy() const { return BatchBusy > 0; }
  bool Pump = false;            // set while AbortProc lets messages run
  bool Quiet = false;           // no repaint and menu update after a command
  bool AbortRequested = false;  // set by progress reports while Escape is held
  int32_t AutoSaveCounter = 0;

  // ---- stored values of Formstorage1 (names and defaults as listed by the main window) ----
  int32_t StoredInt(const std::string& Name) const;
  bool StoredBool(const std::string& Name) const;
  double StoredFloat(const std::string& Name) const;
  std::string StoredString(const std::string& Name) const;
  void SetStoredInt(const std::string& Name, int32_t Value);
  void SetStoredBool(const std::string& Name, bool Value);
  void SetStoredString(const std::string& Name, const std::string& Value);

  // ---- command language (app/interpreter) ----
  // Runs one command line; false only when an acquisition or the scanner options were cancelled.
  bool interpreter(TObject* Sender, const std::string& Line);
  Tchild* getchild() const;
  timagerlayer* getimager() const;
  TFormcatalog* getcatalog() const;
  TBitmap* getbitmap() const;
  TSpeedBar* getospeedbar() const { return imagespeedbar; }
  // Undo point: the target child's image records an undo step and is flagged modified.
  void saveundo();
  TCommandInterpreter& Interpreter() { return *FInterpreter; }

  // ---- files and windows (main_form.cpp) ----
  Tchild* newwindow();
  TFormcatalog* newcatalog();
  std::string givenoname() const;
  Tchild* duplicate();
  void fensteranpassen(TObject* Sender, Tchild* Child);
  void historyadd(const std::string& FileName);
  // Opens every name of the open dialog's file list by a command line each.
  void openit();
  bool executeopendialog();
  bool executesavedialog();
  bool Speichern1Click(TObject* Sender);
  bool Speichernals1Click(TObject* Sender);
  bool catalogspeichern1Click(TObject* Sender);
  bool catalogspeichernals1Click(TObject* Sender);
  void Wallpaperclick(TObject* Sender);
  void ChangeWallPaper(const std::string& FileName, int32_t Mode);
  // Hands a mail to the desktop's mailer; false when none could be started.
  bool sendmail(const std::string& Recipient, const std::string& Subject, const std::string& Text,
                const TStrings& Attachments);
  bool onprogressany(TObject* Sender, int32_t Percent);
  void PercentProc(int32_t Percent);
  bool AbortProc();
  void anotherinstance();
  void childcaptions(TStrings& List) const;
  Tchild* findchild(const std::string& Caption) const;
  void movetoforeground();
  void doidle(TObject* Sender, bool& Done);
  // Rebuilds the filter menu from the catalogue and the filter files of the program's folders.
  void rebuildfiltermenu();

  // ---- actions and menu state (app/actions) ----
  void ActionList1Execute(TBasicAction* Action, bool& Handled);
  // True, after telling the user, while a batch plays or a message pump runs:
  // menu clicks then must not start commands of their own.
  bool RefusedWhileBusy();
  void updateall();
  void Setmousepointer();
  void checkclipboard();
  // View toggles of the menus (checked or not), read by updateall.
  TMenuItem* Standardleiste1 = nullptr;  // speed bar SpeedBar1
  TMenuItem* Objektleiste = nullptr;     // speed bar imagespeedbar
  TMenuItem* BatchFenster1 = nullptr;    // command history window
  // Click handlers of menu items (the sender is the item).
  void mousepointerclick(TObject* Sender);
  void flipchecked(TObject* Sender);
  void setchecked(TObject* Sender);
  void onzoomclick(TObject* Sender);

  // ---- batches (app/batch) ----
  void playbatch(const std::string& FileName);
  // Called by the interpreter for every logged line: history window and recording.
  void LogLine(const std::string& Line);
  TBatchRecorder& Recorder() { return *FRecorder; }
  // Recorder actions: start or resume, pause, stop and save under a name asked for.
  void batchnew();
  void batchpause();
  void batchstop();

  // ---- window events, menus and their handlers (main_form.cpp, main_menus.cpp, main_files.cpp) ----
  TMenuItem* Katalog1 = nullptr;
  // The frame's background picture, behind the image windows.
  TMDIWallpaper* Wallpaper1 = nullptr;
  // The open dialog's file list, as openit reads it.
  TStrings& OpenFiles();
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  // The options that take effect at once: stored menu shortcuts and the label shadow.
  void ApplyOptions();
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void DropFiles(TObject* Sender, const TStrings& Files);
  void AutoItemClick(TObject* Sender);
  // The recent files, newest first.
  void historynames(TStrings& List) const;
  // Builds the speed bar's sections and hidden buttons from the main menu.
  void mainmenu_to_speedbar(TSpeedBar* Bar);
  void pluginclickproc(TObject* Sender);
  void urlclickproc(TObject* Sender);
  void filterclickproc(TObject* Sender);
  void onchannelclickproc(TObject* Sender);
  void catalogarrangeclickproc(TObject* Sender);
  void catalogsortclickproc(TObject* Sender);
  void Nebeneinander1Click(TObject* Sender);
  void Untereinander1Click(TObject* Sender);
  void bereinander1Click(TObject* Sender);
  void AufBildgreanpassen1Click(TObject* Sender);
  void RckgngigPufferlschen1Click(TObject* Sender);
  void Optionen2Click(TObject* Sender);
  void Willkommen1Click(TObject* Sender);
  void berdasProgramm1Click(TObject* Sender);
  void Hilfethemen1Click(TObject* Sender);
  void WeitereProgramme1Click(TObject* Sender);
  void Lizenz1Click(TObject* Sender);
  void Tour1Click(TObject* Sender);
  void SpeedBar1Customize(TObject* Sender);
  void HauptStatusClick(TObject* Sender);
  void SpeedBar1PosChanged(TObject* Sender);
  void SpeedBar1ApplyAlign(TObject* Sender, TAlign Align, bool& Apply);
  void imagespeedbarApplyAlign(TObject* Sender, TAlign Align, bool& Apply);
  void Formstorage1RestorePlacement(TObject* Sender);
  void Importieren1Click(TObject* Sender);
  void Filterimportieren1Click(TObject* Sender);
  void Weiterempfehlung1Click(TObject* Sender);
  void ToggleClick(TObject* Sender);

 private:
  void CreateStore();
  void BuildMenus();
  void BuildFilterMenus();
  void BuildChannelMenu();
  void BuildCatalogMenus();
  void LoadBackground();
  void ImportFiles(const std::string& Filter, bool FilterFactory);
  std::unique_ptr<TStringList> FOpenFiles;

  std::unique_ptr<TCommandInterpreter> FInterpreter;
  std::unique_ptr<TBatchRecorder> FRecorder;
};

// The one main window of the process, or nullptr before it exists.
extern Tform1* form1;

}  // namespace kv
