#include <gtest/gtest.h>

#include "app/params/file_kinds.h"
#include "app/params/grafik_format.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace kv {
namespace {

class GrafikFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 400, 400);
    Box = new tgrafikformat(Form.get());
    Box->SetParent(Form.get());
    Box->OnChecklistChange();  // unassigned until a dialog sets it
    Box->SetOnChecklistChange([this](TObject* Sender) {
      ++Changes;
      LastSender = Sender;
    });
  }
  int32_t CheckedCount() const {
    int32_t n = 0;
    for (int32_t i = 0; i < Box->CheckList().Items().Count(); ++i) n += Box->CheckList().Checked(i);
    return n;
  }
  std::unique_ptr<TForm> Form;
  tgrafikformat* Box = nullptr;
  int Changes = 0;
  TObject* LastSender = nullptr;
};

TEST_F(GrafikFormat, ListsAndSets) {
  Box->SetKind(loadablegrafik);
  TStrings& items = Box->CheckList().Items();
  ASSERT_EQ(items.Count(), 11);
  EXPECT_EQ(items.Get(0), "(JPG) Jpeg ");
  EXPECT_EQ(items.Get(10), "(CUR) Microsoft Cursor ");

  // Kinds without a place in the list are ignored both ways.
  Box->SetFileFormatset(tFileFormatset{tFileFormat::pcf, tFileFormat::jpg});
  EXPECT_EQ(CheckedCount(), 1);
  EXPECT_TRUE(Box->CheckList().Checked(0));
  EXPECT_TRUE(Box->FileFormatset() == tFileFormatset{tFileFormat::jpg});
  Box->SetFileFormatset(tFileFormatset{tFileFormat::tga, tFileFormat::cur, tFileFormat::mp3});
  EXPECT_TRUE(Box->FileFormatset() == (tFileFormatset{tFileFormat::tga, tFileFormat::cur}));

  Box->SetKind(imageinfo);
  ASSERT_EQ(items.Count(), 11);
  EXPECT_EQ(items.Get(3), "Dateigröße");
  EXPECT_EQ(CheckedCount(), 0);  // a new kind starts unchecked
  const tImageInfoset info{tImageInfo::filename, tImageInfo::numpixels, tImageInfo::orientation};
  Box->SetImageInfoset(info);
  EXPECT_TRUE(Box->ImageInfoset() == info);
  EXPECT_TRUE(Box->CheckList().Checked(7));
  EXPECT_EQ(Changes, 0);  // setting from code raises nothing

  // The published properties store the sets by member name.
  EXPECT_EQ(GetPropValue(Box, "Kind"), "imageinfo");
  EXPECT_EQ(GetPropValue(Box, "ImageInfoset"), "[filename,numpixels,orientation]");
  SetPropValue(Box, "Kind", "loadablegrafik");
  SetPropValue(Box, "FileFormatset", "[png,gif]");
  EXPECT_TRUE(Box->FileFormatset() == (tFileFormatset{tFileFormat::png, tFileFormat::gif}));
}

TEST_F(GrafikFormat, ButtonsFireOneChangeAndClicksFireEach) {
  Box->SetKind(imageinfo);
  Box->AllButton().Click();
  EXPECT_EQ(CheckedCount(), 11);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(LastSender, &Box->AllButton());

  Box->NoneButton().Click();
  EXPECT_EQ(CheckedCount(), 0);
  EXPECT_EQ(Changes, 2);
  EXPECT_EQ(LastSender, &Box->NoneButton());

  // A person clicking one box: the same handler, with the list as sender.
  TCheckListBox& list = Box->CheckList();
  const int32_t y = list.ItemHeight() * 2 + 1;
  list.Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(4, y)));
  list.Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(4, y)));
  EXPECT_TRUE(list.Checked(2));
  EXPECT_EQ(Changes, 3);
  EXPECT_EQ(LastSender, &list);
  // A click on the text selects without toggling.
  list.Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(60, y)));
  list.Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(60, y)));
  EXPECT_TRUE(list.Checked(2));
  EXPECT_EQ(Changes, 3);
}

TEST_F(GrafikFormat, SizeChangePlacesTheParts) {
  Box->SetBounds(0, 0, 300, 250);
  const int32_t top = Box->ClientHeight() - 20 - 5;
  EXPECT_EQ(Box->AllButton().Top(), top);
  EXPECT_EQ(Box->NoneButton().Top(), top);
  EXPECT_EQ(Box->AllButton().Left(), 10);
  EXPECT_EQ(Box->NoneButton().Left(), 110);
  EXPECT_EQ(Box->AllButton().Width(), 100);
  EXPECT_EQ(Box->NoneButton().Width(), 110);
  EXPECT_EQ(Box->CheckList().Width(), 280);
  EXPECT_EQ(Box->CheckList().Height(), top - 20);
  EXPECT_EQ(Box->CheckList().Top(), 15);
  EXPECT_EQ(Box->AllButton().Caption(), "&Alle Markieren");
  EXPECT_EQ(Box->NoneButton().Tag(), 1);
  // Too small a frame gives an empty list, never a negative size.
  Box->SetBounds(0, 0, 10, 10);
  EXPECT_EQ(Box->CheckList().Height(), 0);
  EXPECT_EQ(Box->CheckList().Width(), 0);
  Form->Show();  // painting the checked and unchecked lines must not fail
  Box->SetImageInfoset(tImageInfoset{tImageInfo::filename});
  Box->SetBounds(0, 0, 300, 250);
  Box->CheckList().Invalidate();
  Box->CheckList().Update();
}

}  // namespace
}  // namespace kv
