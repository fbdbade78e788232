// Sound and text comments: the checks and questions before the comment
// commands run.
#include "app/actions/comment_actions.h"

#include "app/actions/input_memo.h"
#include "app/actions/main_actions.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "imaging/views/open_save_dialog.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"

namespace kv {

namespace {

const char* const kSaveFirst = "Sie müssen die Grafik erst speichern, bevor sie einen Kommentar aufnehmen können.";
const char* const kNoComment = "Es existiert kein Kommentar zu dieser Datei.";
const char* const kSoundFilter = "WAV-Dateien (*.wav)|*.wav";

bool Confirmed(const std::string& Text) {
  return MessageDlg(Text, mtConfirmation, mbOKCancel, 0) == mrOk;
}

void Refuse(const std::string& Text, TMsgDlgType Type) { MessageDlg(Text, Type, TMsgDlgButtons{mbOK}, 0); }

void RunLine(Tform1& Form, const std::string& Line) { RunActionLine(Form, Line); }

bool Record(Tform1& Form, const std::string& Image) {
  if (Image.empty()) {
    Refuse(kSaveFirst, mtError);
    return false;
  }
  const std::string sound = Image + ".wav";
  if (FileExists(sound) &&
      !Confirmed(Format("%s existiert bereits. Möchten Sie trotzdem einen neuen Tonkommentar aufnehmen?", sound)))
    return false;
  if (Confirmed("Drücken Sie auf OK, um mit der Aufnahme zu beginnnen."))
    RunLine(Form, "CommentRecord" + WriteParamString("Name", Image));
  return true;
}

bool EditText(Tform1& Form, const std::string& Image) {
  if (Image.empty()) {
    Refuse(kSaveFirst, mtError);
    return false;
  }
  TStringList lines;
  const std::string text = Image + ".txt";
  if (FileExists(text)) lines.LoadFromFile(text);
  if (EditLines("Textkommentar angeben", lines))
    RunLine(Form, "Textcomment" + WriteParamStrings("text", lines) + WriteParamString("Name", Image));
  return true;
}

bool Delete(Tform1& Form, const std::string& Image) {
  if (!FileExists(Image + ".wav")) {
    Refuse(kNoComment, mtInformation);
    return false;
  }
  if (Confirmed("Sind Sie sicher, dass Sie den Kommentar löschen möchten?"))
    RunLine(Form, "COMMENTDELETE" + WriteParamString("Name", Image));
  return true;
}

bool Play(Tform1& Form, const std::string& Image) {
  if (!FileExists(Image + ".wav")) {
    Refuse(kNoComment, mtInformation);
    return false;
  }
  RunLine(Form, "COMMENTPLAY" + WriteParamString("Name", Image));
  return true;
}

bool Import(Tform1& Form, const std::string& Image) {
  TOpenImagerDialog* dlg = Form.OpenDialog1;
  if (!dlg) return true;
  const std::string filter = dlg->Filter(), title = dlg->Title();
  dlg->SetFilter(kSoundFilter);
  dlg->SetTitle("WAV-Datei importieren");
  const bool chosen = dlg->Execute();
  dlg->SetFilter(filter);
  dlg->SetTitle(title);
  if (!chosen) return true;
  const std::string sound = Image + ".wav";
  if (!Image.empty() && FileExists(sound) &&
      !Confirmed(Format("%s existiert bereits. Möchten Sie trotzdem den Kommentar importieren?", sound)))
    return true;
  RunLine(Form, "Commentimport" + WriteParamString("filename", dlg->FileName()));
  return true;
}

}  // namespace

bool RunCommentAction(Tform1& Form, const std::string& Name) {
  timagerlayer* im = Form.getimager();
  if (!im) return true;
  const std::string image = im->IOParams().FileName;
  if (SameText(Name, "komrec")) return Record(Form, image);
  if (SameText(Name, "komtext")) return EditText(Form, image);
  if (SameText(Name, "komdel")) return Delete(Form, image);
  if (SameText(Name, "komplay")) return Play(Form, image);
  if (SameText(Name, "komimp")) return Import(Form, image);
  return true;
}

}  // namespace kv
