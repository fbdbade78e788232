// A main window for the tests of the windows and lines that live in it. Its
// stored settings go to a scratch registry (never the user's, and never left
// behind for the next test), and it shows no welcome window, so its client
// area holds exactly the windows a test opens.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "app/main/main_form.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/application.h"
#include "platform/ui/qt_app.h"
#include "support/temp_files.h"

namespace kv::test {

class TMainWindowTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    SetRegistryFolder(Dir + "reg");
    CancelFlag = false;
  }
  void TearDown() override {
    Form.reset();
    Pump();
    SetRegistryFolder("");
    CancelFlag = false;
    TTempFolderTest::TearDown();
  }
  // Makes Form, W x H, and shows it.
  Tform1& ShowMainWindow(int32_t W, int32_t H) {
    Form = std::make_unique<Tform1>(nullptr);
    Form->SetBounds(0, 0, W, H);
    Form->SetStoredBool("NoWelcome", true);
    Form->Show();
    Pump();
    return *Form;
  }
  static void Pump() {
    if (!Application) return;
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }

  std::unique_ptr<Tform1> Form;
};

}  // namespace kv::test
