// Creation, showing and closing of the main window; opening, saving, fitting
// and naming image windows; progress, abort and the hand-over of a second start.
#include "app/main/main_form.h"

#include "app/batch/batch_recorder.h"
#include "app/child/child_window.h"
#include "app/interpreter/interpreter.h"

namespace kv {

uint8_t RunMode = 0;
bool CancelFlag = false;
Tform1* form1 = nullptr;

Tform1::Tform1(TComponent* AOwner)
    : TForm(AOwner),
      FInterpreter(std::make_unique<TCommandInterpreter>(*this)),
      FRecorder(std::make_unique<TBatchRecorder>()) {
  form1 = this;
  SetFormStyle(fsMDIForm);  // image windows live in its client area
}

Tform1::~Tform1() {
  if (form1 == this) form1 = nullptr;
}

int32_t Tform1::StoredInt(const std::string&) const { return 0; }
bool Tform1::StoredBool(const std::string&) const { return false; }
double Tform1::StoredFloat(const std::string&) const { return 0; }
std::string Tform1::StoredString(const std::string&) const { return {}; }
void Tform1::SetStoredInt(const std::string&, int32_t) {}
void Tform1::SetStoredBool(const std::string&, bool) {}
void Tform1::SetStoredString(const std::string&, const std::string&) {}

bool Tform1::interpreter(TObject* Sender, const std::string& Line) { return FInterpreter->Run(Sender, Line); }

void Tform1::historyadd(const std::string&) {}
void Tform1::openit() {}
bool Tform1::executeopendialog() { return false; }
bool Tform1::executesavedialog() { return false; }
bool Tform1::Speichern1Click(TObject*) { return false; }
bool Tform1::Speichernals1Click(TObject*) { return false; }
bool Tform1::catalogspeichern1Click(TObject*) { return false; }
bool Tform1::catalogspeichernals1Click(TObject*) { return false; }
void Tform1::Wallpaperclick(TObject*) {}
void Tform1::ChangeWallPaper(const std::string&, int32_t) {}
bool Tform1::sendmail(const std::string&, const std::string&, const std::string&, const TStrings&) { return false; }
bool Tform1::onprogressany(TObject*, int32_t Percent) {
  PercentProc(Percent);
  AbortRequested = AbortProc();
  return AbortRequested;
}
void Tform1::PercentProc(int32_t) {}
bool Tform1::AbortProc() { return false; }
void Tform1::anotherinstance() {}
void Tform1::movetoforeground() {}
void Tform1::doidle(TObject*, bool& Done) { Done = true; }
void Tform1::rebuildfiltermenu() {}

}  // namespace kv
