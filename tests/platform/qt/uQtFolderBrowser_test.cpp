#include "platform/qt/uQtFolderBrowser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>

#include "infra/uLxFileUtils.h"
#include "platform/qt/uQtText.h"
#include "platform/uCodePage.h"
#include "platform/uMessageBox.h"
#include "tests/support/uTempDir.h"

using namespace platform;

namespace {

class QtFolderBrowser : public ::testing::Test {
protected:
  void SetUp() override {
    qt::InstallFolderBrowser();
    SetMessageBoxAnswerer(FAnswerer);
    std::filesystem::create_directories(FDir.Path() / "存在的文件夹");
  }
  void TearDown() override {
    SetFolderBrowser(nullptr);
    SetMessageBoxAnswerer(nullptr);
  }
  std::u16string Folder() const { return PathToWide(FDir.Path().string()); }

  morvotest::TTempDir FDir;
  std::shared_ptr<TScriptedAnswerer> FAnswerer = std::make_shared<TScriptedAnswerer>();
};

qt::TQtFolderDialog* OpenPicker() {
  return dynamic_cast<qt::TQtFolderDialog*>(QApplication::activeModalWidget());
}

void Type(qt::TQtFolderDialog& Picker, const QString& Name) {
  Picker.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(Name);
}

}  // namespace

TEST_F(QtFolderBrowser, ATypedNameThatIsNoFolderIsRefusedAndThePickerStays) {
  FAnswerer->Push(IDOK);
  bool StayedOpen = false;
  std::u16string PickerTitle;
  QTimer::singleShot(0, [&] {
    qt::TQtFolderDialog* Picker = OpenPicker();
    ASSERT_NE(Picker, nullptr);
    PickerTitle = qt::ToWide(Picker->windowTitle());
    Type(*Picker, QStringLiteral("不存在"));
    Picker->accept();
    StayedOpen = Picker->isVisible();
    Type(*Picker, QStringLiteral("存在的文件夹"));
    Picker->accept();
  });
  std::u16string Directory = Folder();
  ASSERT_TRUE(WideSelectDirectory(u"请选择音效插件所在的文件夹：", u"", Directory, 0x73, nullptr));
  EXPECT_TRUE(StayedOpen);
  EXPECT_EQ(PickerTitle, u"请选择音效插件所在的文件夹：");
  EXPECT_EQ(Directory, Folder() + u"/存在的文件夹");
  ASSERT_EQ(FAnswerer->Seen().size(), 1u);
  EXPECT_EQ(FAnswerer->Seen()[0]->Text(), u"\"不存在\" 是无效的路径");
  EXPECT_EQ(FAnswerer->Seen()[0]->Flags(), MB_OK | MB_ICONERROR);
}

TEST_F(QtFolderBrowser, ACancelledPickerLeavesTheFolderAlone) {
  QTimer::singleShot(0, [] {
    if (qt::TQtFolderDialog* Picker = OpenPicker()) Picker->reject();
  });
  std::u16string Directory = Folder();
  EXPECT_FALSE(WideSelectDirectory(u"t", u"", Directory, 0x73, nullptr));
  EXPECT_EQ(Directory, Folder());
  EXPECT_TRUE(FAnswerer->Seen().empty());
}

TEST_F(QtFolderBrowser, WithoutABrowserNothingIsPickedAndAMissingStartFolderIsForgotten) {
  SetFolderBrowser(nullptr);
  std::u16string Directory = Folder() + u"/gone";
  EXPECT_FALSE(WideSelectDirectory(u"t", u"", Directory, 0x73, nullptr));
  EXPECT_TRUE(Directory.empty());
}
