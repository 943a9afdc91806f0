// "高级" in the main window: the advanced dialog of the chosen format,
// modal, and the quality list that follows what it stored.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>

#include "engine/uTaskManager.h"
#include "params/forms/ufrmParam.h"
#include "params/forms/ufrmParamFrame.h"
#include "params/uEncodeParam.h"
#include "params/uParamManager.h"
#include "tests/app/forms/uFormsTestKit.h"

namespace {

class MainWindowParams : public formstest::TFormTest {
protected:
  // Presses "高级" and runs Act on the dialog once its modal loop runs;
  // returns whether a dialog came up.
  bool OpenAdvanced(const std::function<void(TfrmParam&)>& Act) {
    bool Seen = false;
    QTimer::singleShot(0, [&] {
      auto* Dialog = dynamic_cast<TfrmParam*>(QApplication::activeModalWidget());
      if (!Dialog) return;
      Seen = true;
      Act(*Dialog);
      if (Dialog->isVisible()) Dialog->reject();
    });
    Form().btnParamSet->click();
    return Seen;
  }
};

TEST_F(MainWindowParams, AbrChosenInTheDialogShowsInTheQualityList) {
  TfrmMain& F = Form();
  ASSERT_TRUE(F.rbMP3->isChecked());
  const bool Opened = OpenAdvanced([](TfrmParam& Dialog) {
    EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("MP3 配置"));
    EXPECT_TRUE(Dialog.isModal());
    auto* Page = dynamic_cast<TMp3Frame*>(Dialog.FFrame);
    ASSERT_NE(Page, nullptr);
    Page->rbABR->click();
    Page->cbbABR->setCurrentIndex(5);
    Dialog.btnOK->click();
  });
  ASSERT_TRUE(Opened);
  auto* Mp3 = dynamic_cast<TMp3Param*>(F.Manager()->FParamManager->FindByExtension(".mp3"));
  ASSERT_NE(Mp3, nullptr);
  EXPECT_EQ(Mp3->FBitRateMode, 1);
  EXPECT_EQ(Mp3->FAbrIndex, 5);
  EXPECT_EQ(F.cbbQulity->currentIndex(), 5);
  EXPECT_TRUE(F.cbbQulity->currentText().contains(QStringLiteral("ABR:128Kbps")));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // gone with its modal loop
}

TEST_F(MainWindowParams, TheDialogFollowsTheChosenFormat) {
  TfrmMain& F = Form();
  F.rbFlac->click();
  const bool Opened = OpenAdvanced([](TfrmParam& Dialog) {
    EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("FLAC 配置"));
    EXPECT_NE(dynamic_cast<TFlacFrame*>(Dialog.FFrame), nullptr);
    Dialog.btnCancel->click();
  });
  EXPECT_TRUE(Opened);
}

}  // namespace
