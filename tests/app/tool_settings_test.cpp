// The image tools' windows keep their settings: a value changed in a window
// that is then run or cancelled comes back the next time the window opens,
// also after the settings have been read anew from the disk.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/dialogs/size_frames.h"
#include "app/main/main_form.h"
#include "app/tools/join_tool.h"
#include "app/tools/lossless_jpeg.h"
#include "app/tools/mosaic_tool.h"
#include "app/tools/numbered_copies.h"
#include "app/tools/stereo_tool.h"
#include "app/tools/stuck_pixel_tool.h"
#include "command_fixture.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/button.h"
#include "platform/ui/memo.h"
#include "platform/ui/std_controls.h"

namespace kv {
namespace {

using namespace kv::test;

std::string MemoText(const TMemo& M) {
  TStringList l;
  M.GetLines(l);
  std::string s;
  for (int32_t i = 0; i < l.Count(); ++i) s += l.Get(i) + "|";
  return s;
}

// One window of the table: how it is made, a change the user makes, and what
// of that change reads back (before the change: the default).
struct TToolCase {
  const char* Name;
  std::function<std::unique_ptr<TToolDialog>(Tform1&)> Make;
  std::function<void(TToolDialog&)> Change;
  std::function<std::string(TToolDialog&)> Read;
  std::string Default;
  std::string Changed;
};

template <typename T>
T& As(TToolDialog& D) {
  return dynamic_cast<T&>(D);
}

std::string Flag(bool B) { return B ? "1" : "0"; }

const TToolCase kCases[] = {
    {"join", [](Tform1& F) { return std::make_unique<Theftenform>(nullptr, F); },
     [](TToolDialog& D) {
       As<Theftenform>(D).KvSpinEdit1->SetText("30");
       As<Theftenform>(D).AntialiasBox->SetChecked(false);
     },
     [](TToolDialog& D) {
       return As<Theftenform>(D).KvSpinEdit1->Text() + Flag(As<Theftenform>(D).AntialiasBox->Checked());
     },
     "501", "300"},
    {"mosaic", [](Tform1&) { return std::make_unique<Tmosaicform>(nullptr, 400, 300); },
     [](TToolDialog& D) {
       auto& m = As<Tmosaicform>(D);
       // Columns and rows follow each other with "Proportional": both come back as they were.
       m.ColumnsEdit->SetText("30");
       m.AdjustEdit->SetText("25");
       m.FilterBox->SetItemIndex(3);
       m.BorderBox->SetChecked(true);
     },
     [](TToolDialog& D) {
       auto& m = As<Tmosaicform>(D);
       return m.ColumnsEdit->Text() + "/" + m.RowsEdit->Text() + "/" + m.AdjustEdit->Text() + "/" +
              IntToStr(m.FilterBox->ItemIndex()) + Flag(m.BorderBox->Checked());
     },
     "50/50/0/00", "30/30/25/31"},
    {"stuck pixels", [](Tform1& F) { return std::make_unique<Tdefpixform>(nullptr, &F); },
     [](TToolDialog& D) {
       auto& s = As<Tdefpixform>(D);
       s.KvSpinEdit11->SetText("77");
       TStringList l;
       l.Add("100,120");
       l.Add("5,6");
       s.Memo1->SetLines(l);
     },
     [](TToolDialog& D) { return As<Tdefpixform>(D).KvSpinEdit11->Text() + "/" + MemoText(*As<Tdefpixform>(D).Memo1); },
     "50/", "77/100,120|5,6|"},
    {"numbered copies", [](Tform1&) { return std::make_unique<Tdiginform>(nullptr); },
     [](TToolDialog& D) {
       auto& n = As<Tdiginform>(D);
       n.TargetEdit->SetText("/tmp/ziel");
       n.ModeBox->SetItemIndex(1);
       n.CommentsBox->SetChecked(false);
     },
     [](TToolDialog& D) {
       auto& n = As<Tdiginform>(D);
       return n.TargetEdit->Text() + "/" + IntToStr(n.ModeBox->ItemIndex()) + Flag(n.CommentsBox->Checked());
     },
     "/01", "/tmp/ziel/10"},
    {"lossless jpeg", [](Tform1&) { return std::make_unique<Tlosslessjpgform>(nullptr, true); },
     [](TToolDialog& D) {
       auto& j = As<Tlosslessjpgform>(D);
       j.FileEdit->SetText("/tmp/a.jpg");
       j.TrafoBox->SetItemIndex(4);
       j.KeepDateBox->SetChecked(false);
     },
     [](TToolDialog& D) {
       auto& j = As<Tlosslessjpgform>(D);
       return j.FileEdit->Text() + "/" + IntToStr(j.TrafoBox->ItemIndex()) + Flag(j.KeepDateBox->Checked());
     },
     "/21", "/tmp/a.jpg/40"},
    {"3-D", [](Tform1&) { return std::make_unique<Tanaglyphform>(nullptr, 0, "Auge Links / Rechts -> 3D-Bild ..."); },
     [](TToolDialog& D) { As<Tanaglyphform>(D).mycombobox1->SetItemIndex(5); },
     [](TToolDialog& D) { return IntToStr(As<Tanaglyphform>(D).mycombobox1->ItemIndex()); }, "0", "5"},
    // The lengths of "Ausgabe" are frames with stores of their own.
    {"mesh", [](Tform1&) { return std::make_unique<Tanaglyphform>(nullptr, 2, "3D-Gitter ..."); },
     [](TToolDialog& D) {
       auto& a = As<Tanaglyphform>(D);
       a.mycombobox1->SetItemIndex(6);
       a.EyeFrame->SetShown(7);  // centimetres
     },
     [](TToolDialog& D) {
       auto& a = As<Tanaglyphform>(D);
       return IntToStr(a.mycombobox1->ItemIndex()) + "/" + IntToStr(Round32(a.EyeFrame->Shown()));
     },
     "0/6", "6/7"},
};

class ToolSettings : public CommandTest {
 protected:
  // Opens the window modally as the menu does; Work acts as the user in it and
  // ends it. Returns what Read saw when the window came up.
  std::string Open(const TToolCase& C, const std::function<TModalResult(TToolDialog&)>& Work) {
    std::string seen;
    std::unique_ptr<TToolDialog> d = C.Make(*Form);
    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      auto& dlg = dynamic_cast<TToolDialog&>(F);
      seen = C.Read(dlg);
      return Work(dlg);
    });
    d->ShowModal();
    d.reset();
    Pump();
    return seen;
  }
};

TEST_F(ToolSettings, ValuesComeBackAfterRunAndAfterCancel) {
  MakeChild(60, 40, [](int32_t, int32_t) { return TBGRPixel{10, 20, 30}; });
  for (const TToolCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    struct TEnd {
      const char* How;
      std::function<TModalResult(TToolDialog&)> End;
    };
    const TEnd ends[] = {
        {"run", [](TToolDialog& D) {
           D.RunButton->Click();
           return mrNone;
         }},
        {"cancel", [](TToolDialog& D) {
           for (int32_t i = 0; i < D.ComponentCount(); ++i)
             if (auto* b = dynamic_cast<TButton*>(D.Components(i)); b && b->Caption() == "&Abbrechen") b->Click();
           return mrNone;
         }},
        {"closed", [](TToolDialog&) { return mrCancel; }},
    };
    for (const TEnd& e : ends) {
      SCOPED_TRACE(e.How);
      SetRegistryFolder(Dir + "reg-" + c.Name + "-" + e.How);
      EXPECT_EQ(Open(c, [&](TToolDialog& D) {
                  c.Change(D);
                  return e.End(D);
                }),
                c.Default);
      EXPECT_EQ(Open(c, [](TToolDialog&) { return mrCancel; }), c.Changed);
      // Read anew from the file, as at the next start of the program.
      SetRegistryFolder(Dir + "reg-" + c.Name + "-" + e.How);
      EXPECT_EQ(Open(c, [](TToolDialog&) { return mrCancel; }), c.Changed);
    }
  }
}

}  // namespace
}  // namespace kv
