#include "widgets/uMiraDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "platform/uCodePage.h"
#include "tests/support/uTempDir.h"

namespace fs = std::filesystem;

namespace {

QFileDialog* OpenDialog() { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }

void Type(QFileDialog& Dialog, const QString& Text) {
  Dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(Text);
}

class MiraOpenDialog : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* Name : {"晨曦.wav", "远方的河.flac", "归途.ape"})
      std::ofstream(FDir.Path() / fs::u8path(Name)) << "x";
    FDialog.InitialDir = Folder();
    FDialog.Filter = u"所有音频文件|*.WAV;*.FLAC;*.APE;|所有文件|*.*|";
  }
  std::u16string Folder() const { return platform::PathToWide(FDir.Path().string()); }

  morvotest::TTempDir FDir;
  TMiraOpenDialog FDialog;
};

}  // namespace

TEST(MiraDialogs, FilterTextBecomesQtsNameFilters) {
  const std::vector<TFileFilter> Pairs = ParseFilter(u"A|*.a|B|*.b");
  ASSERT_EQ(Pairs.size(), 2u);
  EXPECT_EQ(Pairs[1].Description, QStringLiteral("B"));
  EXPECT_EQ(QtNameFilters(u"A|*.a|B|*.b"),
            (QStringList{QStringLiteral("A (*.a)"), QStringLiteral("B (*.b)")}));
  // Patterns end in ";" and the text in "|", as the window's filter does; a
  // description that names its patterns keeps them.
  EXPECT_EQ(
      QtNameFilters(u"所有音频文件|*.LXM;*.MP1;*.DTSWAV;|AAC音乐文件(*.aac;*.aa)|*.aac;*.aa|"),
      (QStringList{QStringLiteral("所有音频文件 (*.LXM *.MP1 *.DTSWAV)"),
                   QStringLiteral("AAC音乐文件(*.aac;*.aa) (*.aac *.aa)")}));
  EXPECT_TRUE(QtNameFilters(u"").isEmpty());
  EXPECT_TRUE(QtNameFilters(u"没有图案|").isEmpty());
}

TEST(MiraDialogs, AMultiSelectionIsAFolderAndNamesInIt) {
  EXPECT_EQ(CollectPaths({u"/music/a.mp3"}), std::vector<std::u16string>{u"/music/a.mp3"});
  EXPECT_EQ(CollectPaths({u"/a", u"x.mp3", u"y.mp3", u"z.mp3"}),
            (std::vector<std::u16string>{u"/a/x.mp3", u"/a/y.mp3", u"/a/z.mp3"}));
  // At a root no second delimiter is added.
  EXPECT_EQ(CollectPaths({u"/", u"x.mp3"}), std::vector<std::u16string>{u"/x.mp3"});
  EXPECT_EQ(CollectPaths({u"C:\\", u"x.mp3"}), std::vector<std::u16string>{u"C:\\x.mp3"});
  EXPECT_EQ(CollectPaths({u"/a", u"/b/x.mp3"}), std::vector<std::u16string>{u"/b/x.mp3"});
  EXPECT_TRUE(CollectPaths({}).empty());
}

TEST_F(MiraOpenDialog, ChosenFilesComeBackAsFullPathsInTheOrderChosen) {
  FDialog.Options = {TOpenOption::ofAllowMultiSelect, TOpenOption::ofPathMustExist,
                     TOpenOption::ofFileMustExist, TOpenOption::ofEnableSizing};
  QStringList Filters;
  QTimer::singleShot(0, [&] {
    QFileDialog* Dialog = OpenDialog();
    ASSERT_NE(Dialog, nullptr);
    Filters = Dialog->nameFilters();
    EXPECT_EQ(Dialog->fileMode(), QFileDialog::ExistingFiles);
    Dialog->selectNameFilter(Filters.value(1));
    Type(*Dialog, QStringLiteral("\"归途.ape\" \"晨曦.wav\""));
    static_cast<QDialog*>(Dialog)->accept();  // as its button does
  });
  ASSERT_TRUE(FDialog.Execute(nullptr));
  EXPECT_EQ(Filters, (QStringList{QStringLiteral("所有音频文件 (*.WAV *.FLAC *.APE)"),
                                  QStringLiteral("所有文件 (*.*)")}));
  ASSERT_EQ(FDialog.Files.Count(), 2);
  EXPECT_EQ(FDialog.Files.Get(0), Folder() + u"/归途.ape");
  EXPECT_EQ(FDialog.Files.Get(1), Folder() + u"/晨曦.wav");
  EXPECT_EQ(FDialog.FileName, FDialog.Files.Get(0));
  EXPECT_EQ(FDialog.FilterIndex, 2);
}

TEST_F(MiraOpenDialog, OneFileOfAMultiSelectionIsItsFullPathOnce) {
  FDialog.Options = {TOpenOption::ofAllowMultiSelect, TOpenOption::ofFileMustExist};
  QTimer::singleShot(0, [&] {
    QFileDialog* Dialog = OpenDialog();
    ASSERT_NE(Dialog, nullptr);
    Type(*Dialog, QStringLiteral("远方的河.flac"));
    static_cast<QDialog*>(Dialog)->accept();  // as its button does
  });
  ASSERT_TRUE(FDialog.Execute(nullptr));
  ASSERT_EQ(FDialog.Files.Count(), 1);
  EXPECT_EQ(FDialog.Files.Get(0), Folder() + u"/远方的河.flac");
  EXPECT_EQ(FDialog.FileName, Folder() + u"/远方的河.flac");
}

TEST_F(MiraOpenDialog, ACancelKeepsWhatWasThereAndEmptiesFiles) {
  FDialog.Options = {TOpenOption::ofAllowMultiSelect};
  FDialog.FileName = u"/music/earlier.mp3";
  FDialog.FilterIndex = 2;
  FDialog.Files.Add(u"/music/earlier.mp3");
  QTimer::singleShot(0, [] {
    if (QFileDialog* Dialog = OpenDialog()) Dialog->reject();
  });
  EXPECT_FALSE(FDialog.Execute(nullptr));
  EXPECT_EQ(FDialog.Files.Count(), 0);
  EXPECT_EQ(FDialog.FileName, u"/music/earlier.mp3");
  EXPECT_EQ(FDialog.FilterIndex, 2);
  EXPECT_EQ(FDialog.Options, TOpenOptions{TOpenOption::ofAllowMultiSelect});
}
