#include "params/forms/ufrmParam.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <memory>
#include <tuple>
#include <vector>

#include "params/forms/ufrmParamFrame.h"
#include "params/uParamManager.h"
#include "platform/qt/uQtMessageQueue.h"
#include "platform/uMessageBox.h"
#include "platform/uProfile.h"
#include "tests/support/uPlayerSetup.h"
#include "widgets/uMiraFonts.h"

namespace {

// Answers from a script; a box the script does not cover is closed, so
// that no box is ever left open on the test's thread.
class TAnswers : public platform::IMessageBoxAnswerer {
public:
  void Push(int Result) { FScript.Push(Result); }
  void BoxOpened(const platform::TMessageBoxPtr& Box) override {
    FScript.BoxOpened(Box);
    if (!Box->Answered()) Box->Answer(0);
  }
  std::vector<platform::TMessageBoxPtr> Seen() const { return FScript.Seen(); }

private:
  platform::TScriptedAnswerer FScript;
};

class ParamDialog : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FPlayer.PlayerFolderIsOurs());
    QApplication::setFont(SongTiFont());
    platform::qt::BindMessageQueue(QStringLiteral("格式转换工具"));
    platform::SetMessageBoxAnswerer(FAnswers);
  }
  void TearDown() override {
    FDialog.reset();
    platform::SetMessageBoxAnswerer(nullptr);
    platform::qt::UnbindMessageQueue();
  }

  // The manager as the task manager makes it, reading the file as it is now.
  TParamManager& Params() {
    if (!FParams) {
      FParams = std::make_unique<TParamManager>();
      FParams->FOnChanged = [this](TFormatType Type) { FChanged.push_back(Type); };
      for (const char* Ext : {".mp3", ".ape", ".wav", ".flac"})
        EXPECT_TRUE(FParams->Register(Ext)) << Ext;
    }
    return *FParams;
  }
  TMp3Param& Mp3() { return dynamic_cast<TMp3Param&>(*Params().FindByExtension(".mp3")); }

  TfrmParam& Open(const std::u16string& Extension, TParamManager* Manager) {
    FDialog = std::make_unique<TfrmParam>(Manager, Extension);
    FDialog->show();
    QApplication::processEvents();
    return *FDialog;
  }
  TMp3Frame& Mp3Page() {
    Open(u".mp3", &Params());
    auto* Page = dynamic_cast<TMp3Frame*>(FDialog->FFrame);
    EXPECT_NE(Page, nullptr);
    return *Page;
  }
  int32_t Stored(const char* Section, const char* Key) const {
    return platform::GetPrivateProfileInt(Section, Key, -1, FPlayer.WideConfigFile());
  }

  TPlayerSetup FPlayer{true};
  std::shared_ptr<TAnswers> FAnswers = std::make_shared<TAnswers>();
  std::unique_ptr<TParamManager> FParams;
  std::vector<TFormatType> FChanged;
  std::unique_ptr<TfrmParam> FDialog;
};

TEST_F(ParamDialog, Mp3PageShowsTheObjectAndOkStoresOnlyTheChosenModesIndex) {
  Mp3().FCbrIndex = 1;
  Mp3().FVbrIndex = 6;
  Mp3().FMode = 1;
  Mp3().FInsAftSucc = 1;
  TMp3Frame& Page = Mp3Page();
  EXPECT_EQ(FDialog->windowTitle(), QStringLiteral("MP3 配置"));
  EXPECT_EQ(FDialog->height(), Page.height() + 39);
  EXPECT_EQ(Page.height(), 220);
  EXPECT_EQ(Page.cbbMode->currentText(), QStringLiteral("混合立体声"));
  EXPECT_TRUE(Page.rbCBR->isChecked());
  EXPECT_TRUE(Page.cbbCBR->isEnabled());
  EXPECT_FALSE(Page.cbbABR->isEnabled() || Page.cbbVBR->isEnabled());
  EXPECT_EQ(Page.cbbCBR->currentText(), QStringLiteral("256Kbps"));
  EXPECT_EQ(Page.cbbVBR->currentText(), QStringLiteral("Medium"));
  EXPECT_EQ(Page.cbbCBR->itemText(0), QStringLiteral("320Kbps"));
  EXPECT_EQ(Page.cbbCBR->itemText(11), QStringLiteral("32Kbps"));
  EXPECT_TRUE(Page.chkInsAftSucc->isChecked());
  EXPECT_FALSE(Page.chkAutoRead->isEnabled());

  QTest::mouseClick(Page.rbABR, Qt::LeftButton);
  EXPECT_TRUE(Page.cbbABR->isEnabled());
  EXPECT_FALSE(Page.cbbCBR->isEnabled() || Page.cbbVBR->isEnabled());
  Page.cbbABR->setCurrentIndex(Page.cbbABR->findText(QStringLiteral("128Kbps")));
  Page.cbbCBR->setCurrentIndex(0);  // not the chosen mode: left as it was
  Page.chkDelAftSucc->setChecked(true);
  FDialog->btnOK->click();

  EXPECT_EQ(FDialog->result(), QDialog::Accepted);
  EXPECT_FALSE(FDialog->isVisible());
  EXPECT_EQ(Mp3().FBitRateMode, 1);
  EXPECT_EQ(Mp3().FAbrIndex, 5);
  EXPECT_EQ(Mp3().FCbrIndex, 1);
  EXPECT_EQ(Mp3().FVbrIndex, 6);
  EXPECT_EQ(Mp3().FMode, 1);
  EXPECT_EQ(Mp3().FDelAftSucc, 1);
  // The quality list follows and the owner hears of it; the file does not.
  EXPECT_EQ(FChanged, std::vector<TFormatType>{ftMP3});
  ASSERT_EQ(Mp3().FQualityList.size(), 12u);
  EXPECT_NE(Mp3().FQualityList[5].find("ABR:128Kbps"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(FPlayer.ConfigFile()));
}

TEST_F(ParamDialog, ValuesOutOfRangeShowNoModeAndTheLastEntryAndStayUnlessChosen) {
  for (const auto& [Key, Value] :
       {std::pair{"BitRateMode", "3"}, {"Mp3CBR", "20"}, {"Mp3Mode", "3"}})
    platform::WritePrivateProfileString("MP3", Key, Value, FPlayer.WideConfigFile());
  TMp3Frame& Page = Mp3Page();
  EXPECT_FALSE(Page.rbCBR->isChecked() || Page.rbABR->isChecked() || Page.rbVBR->isChecked());
  EXPECT_FALSE(Page.cbbCBR->isEnabled() || Page.cbbABR->isEnabled() || Page.cbbVBR->isEnabled());
  EXPECT_EQ(Page.cbbCBR->currentText(), QStringLiteral("32Kbps"));
  EXPECT_EQ(Page.cbbMode->currentText(), QStringLiteral("单声道"));
  FDialog->btnOK->click();
  EXPECT_EQ(Mp3().FBitRateMode, 3);
  EXPECT_EQ(Mp3().FCbrIndex, 20);
  EXPECT_EQ(Mp3().FMode, 2);  // what the box showed and the encoder uses
}

TEST_F(ParamDialog, CancelLeavesTheObjectAsItWas) {
  TMp3Frame& Page = Mp3Page();
  QTest::mouseClick(Page.rbVBR, Qt::LeftButton);
  Page.cbbVBR->setCurrentIndex(0);
  Page.cbbMode->setCurrentIndex(2);
  Page.chkDelAftSucc->setChecked(true);
  FDialog->btnCancel->click();
  EXPECT_EQ(FDialog->result(), QDialog::Rejected);
  EXPECT_EQ(Mp3().FBitRateMode, 0);
  EXPECT_EQ(Mp3().FVbrIndex, 4);
  EXPECT_EQ(Mp3().FMode, 0);
  EXPECT_EQ(Mp3().FDelAftSucc, 0);
  EXPECT_TRUE(FChanged.empty());
}

TEST_F(ParamDialog, SetAsDefaultWritesThePageIntoTheFileAndStaysOpen) {
  TfrmParam& Dialog = Open(u".ape", &Params());
  auto* Page = dynamic_cast<TApeFrame*>(Dialog.FFrame);
  ASSERT_NE(Page, nullptr);
  EXPECT_EQ(Page->height(), 140);
  EXPECT_EQ(Page->cbbLevel->currentText(), QStringLiteral("正常压缩级别"));
  Page->cbbLevel->setCurrentIndex(3);
  Page->chkInsAftSucc->setChecked(true);
  Page->btnSetApprove->click();
  EXPECT_TRUE(Dialog.isVisible());
  EXPECT_EQ(Stored("APE", "Qulity"), 3);
  EXPECT_EQ(Stored("General", "InsAftSucc"), 1);
  EXPECT_EQ(Stored("General", "DelAftSucc"), 0);
  EXPECT_EQ(Stored("MP3", "Mp3CBR"), -1);  // each page saves its own section only
  // A later start reads what was saved.
  TParamManager Later;
  ASSERT_TRUE(Later.Register(".ape"));
  EXPECT_EQ(dynamic_cast<TApeParam*>(Later.FindByExtension(".ape"))->FQuality, 3);
}

TEST_F(ParamDialog, RestoreAsksFirstAndNoChangesNothing) {
  platform::WritePrivateProfileString("MP3", "BitRateMode", "2", FPlayer.WideConfigFile());
  platform::WritePrivateProfileString("MP3", "Mp3VBR", "1", FPlayer.WideConfigFile());
  TMp3Frame& Page = Mp3Page();
  EXPECT_TRUE(Page.rbVBR->isChecked());
  FAnswers->Push(platform::IDNO);
  Page.btnReclApprove->click();
  const auto Seen = FAnswers->Seen();
  ASSERT_EQ(Seen.size(), 1u);
  EXPECT_EQ(Seen[0]->Text(), u"是否确定重置配置信息？");
  EXPECT_EQ(Seen[0]->Caption(), u"提示");
  EXPECT_EQ(Seen[0]->Flags(), platform::MB_YESNO | platform::MB_ICONQUESTION);
  EXPECT_EQ(Mp3().FBitRateMode, 2);
  EXPECT_EQ(Mp3().FVbrIndex, 1);
  EXPECT_TRUE(Page.rbVBR->isChecked());
  EXPECT_EQ(Stored("MP3", "BitRateMode"), 2);
  EXPECT_TRUE(FChanged.empty());
}

TEST_F(ParamDialog, RestoreAnsweredYesShowsAndSavesTheDefaults) {
  for (const auto& [Section, Key, Value] : {std::tuple{"MP3", "BitRateMode", "2"},
                                            {"MP3", "Mp3VBR", "1"},
                                            {"MP3", "Mp3CBR", "9"},
                                            {"General", "DelAftSucc", "1"},
                                            {"General", "AutoRead", "1"}})
    platform::WritePrivateProfileString(Section, Key, Value, FPlayer.WideConfigFile());
  TMp3Frame& Page = Mp3Page();
  EXPECT_TRUE(Page.chkDelAftSucc->isChecked() && Page.chkAutoRead->isChecked());
  FAnswers->Push(platform::IDYES);
  Page.btnReclApprove->click();
  EXPECT_TRUE(FDialog->isVisible());
  EXPECT_TRUE(Page.rbCBR->isChecked());
  EXPECT_TRUE(Page.cbbCBR->isEnabled());
  EXPECT_FALSE(Page.cbbVBR->isEnabled());
  EXPECT_EQ(Page.cbbCBR->currentText(), QStringLiteral("192Kbps"));
  EXPECT_EQ(Page.cbbVBR->currentText(), QStringLiteral("Fast Standard"));
  EXPECT_FALSE(Page.chkDelAftSucc->isChecked() || Page.chkInsAftSucc->isChecked() ||
               Page.chkAutoRead->isChecked());
  EXPECT_EQ(Stored("MP3", "BitRateMode"), 0);
  EXPECT_EQ(Stored("MP3", "Mp3CBR"), 3);
  EXPECT_EQ(Stored("MP3", "Mp3VBR"), 4);
  EXPECT_EQ(Stored("General", "DelAftSucc"), 0);
  EXPECT_EQ(Stored("General", "AutoRead"), 0);
  EXPECT_EQ(FChanged, std::vector<TFormatType>{ftMP3});
}

TEST_F(ParamDialog, AnUnwritableFileIsShownAsTheApplicationsErrorAndTheDialogStays) {
  std::filesystem::create_directory(FPlayer.ConfigFile());  // a folder where the file belongs
  TMp3Frame& Page = Mp3Page();
  QTest::mouseClick(Page.rbABR, Qt::LeftButton);
  Page.btnSetApprove->click();
  FAnswers->Push(platform::IDYES);
  Page.btnReclApprove->click();
  EXPECT_TRUE(FDialog->isVisible());
  const auto Seen = FAnswers->Seen();
  ASSERT_EQ(Seen.size(), 3u);  // the error, the question, the error
  const std::u16string Expected = u"Unable to write to " + FPlayer.WideConfigFile();
  for (const auto& Box : {Seen[0], Seen[2]}) {
    EXPECT_EQ(Box->Text(), Expected);
    EXPECT_EQ(Box->Caption(), u"格式转换工具");
    EXPECT_EQ(Box->Flags(), platform::MB_OK | platform::MB_ICONERROR);
  }
  // "设为默认" stored the page before the save failed; the reset did its
  // part in memory.
  EXPECT_EQ(Mp3().FBitRateMode, 0);
  EXPECT_TRUE(std::filesystem::is_directory(FPlayer.ConfigFile()));
}

TEST_F(ParamDialog, AnExtensionWithoutAPageShowsThatThereIsNothingToSet) {
  TfrmParam& Dialog = Open(u".ogg", &Params());
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("OGG 配置"));
  EXPECT_EQ(Dialog.FFrame, nullptr);
  EXPECT_EQ(Dialog.pnlFrame->text(), QStringLiteral("无相关配置"));
  EXPECT_EQ(Dialog.size(), QSize(TfrmParam::DesignWidth, TfrmParam::DesignHeight));
  EXPECT_EQ(Dialog.btnOK->geometry(), QRect(157, 235, 75, 29));
  Dialog.btnOK->click();
  EXPECT_EQ(Dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(FChanged.empty());
  // No format chosen at all (none is available).
  EXPECT_EQ(Open(u"", &Params()).pnlFrame->text(), QStringLiteral("无相关配置"));
}

TEST_F(ParamDialog, FlacAndWavPagesCarryTheOptionsOnlyWithButtonsKeptAtTheBottom) {
  for (const auto& [Ext, Title, Key] :
       {std::tuple{u".FLAC", "FLAC 配置", ".flac"}, std::tuple{u".wav", "WAV 配置", ".wav"}}) {
    TfrmParam& Dialog = Open(Ext, &Params());
    EXPECT_EQ(Dialog.windowTitle(), QString::fromUtf8(Title));
    TfrmParamFrame* Page = Dialog.FFrame;
    ASSERT_NE(Page, nullptr);
    EXPECT_EQ(Page->height(), 100);
    EXPECT_EQ(Page->pnlTop->height(), 0);
    EXPECT_EQ(Dialog.height(), 139);
    // The options and the page's buttons keep their distance from the
    // page's bottom; the dialog's buttons from its own.
    EXPECT_EQ(Page->btnSetApprove->geometry(), QRect(10, 206 - 133, 75, 25));
    EXPECT_EQ(Page->chkDelAftSucc->y(), 140 - 133);
    EXPECT_EQ(Dialog.btnCancel->geometry(), QRect(238, 235 - 129, 75, 29));
    Page->chkDelAftSucc->setChecked(true);
    Dialog.btnOK->click();
    EXPECT_EQ(Params().FindByExtension(Key)->FDelAftSucc, 1) << Key;
  }
}

TEST_F(ParamDialog, WithoutParametersThePageEditsNothing) {
  TfrmParam& Dialog = Open(u".mp3", nullptr);
  auto* Page = dynamic_cast<TMp3Frame*>(Dialog.FFrame);
  ASSERT_NE(Page, nullptr);
  EXPECT_FALSE(Page->chkDelAftSucc->isChecked() || Page->chkInsAftSucc->isChecked());
  EXPECT_FALSE(Page->rbCBR->isChecked() || Page->rbABR->isChecked() || Page->rbVBR->isChecked());
  Page->btnSetApprove->click();
  FAnswers->Push(platform::IDYES);
  Page->btnReclApprove->click();
  EXPECT_EQ(FAnswers->Seen().size(), 1u);  // still asks
  Dialog.btnOK->click();
  EXPECT_EQ(Dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(std::filesystem::exists(FPlayer.ConfigFile()));
}

TEST_F(ParamDialog, EveryCaptionFitsItsControlAndEveryControlItsParent) {
  for (const char16_t* Ext : {u".mp3", u".ape", u".flac", u".wav"}) {
    TfrmParam& Dialog = Open(Ext, &Params());
    for (QWidget* Control : Dialog.findChildren<QWidget*>()) {
      if (!Control->isVisible()) continue;
      const std::string Name = Control->objectName().toStdString();
      EXPECT_TRUE(Control->parentWidget()->rect().contains(Control->geometry())) << Name;
      QString Caption;
      if (auto* Button = qobject_cast<QAbstractButton*>(Control)) Caption = Button->text();
      if (auto* Label = qobject_cast<QLabel*>(Control)) Caption = Label->text();
      if (auto* Box = qobject_cast<QComboBox*>(Control)) Caption = Box->currentText();
      const int Text = Control->fontMetrics().horizontalAdvance(Caption);
      // Check boxes and radio buttons draw their mark before the text.
      const int Mark =
          qobject_cast<QCheckBox*>(Control) || qobject_cast<QRadioButton*>(Control) ? 18 : 0;
      EXPECT_LE(Text + Mark, Control->width()) << Name;
      if (!Caption.isEmpty()) {
        EXPECT_LE(Control->fontMetrics().height(), Control->height()) << Name;
      }
    }
  }
}

}  // namespace
