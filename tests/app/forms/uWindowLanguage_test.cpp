// The window in the user's language. The executable runs twice per
// language family (see CMakeLists.txt): the English cases under
// en_US.UTF-8, the Chinese ones under zh_CN.UTF-8 and C.UTF-8, because
// the core's catalog is chosen once per process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListPaint.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "platform/qt/uQtText.h"
#include "tests/app/forms/uFormsTestKit.h"
#include "widgets/uWindowLanguage.h"

namespace {

using platform::qt::ToQString;

// What a user sees in one language.
struct TShownTexts {
  const char* Caption;
  const char* AddFile;
  const char* FileList;
  const char* SourceColumn;
  const char* FailedEncoding;  // the painted status of a failed task
  const char* Summary;         // one failed, none converted
  const char* SelectAllText;   // the box for "select all" on an empty list
  const char* SelectAllCaption;
};

const TShownTexts Chinese{"格式转换工具",       "添加文件",
                          "转换列表",           "源文件",
                          "失败(编码过程失败)", "1个文件转换失败,0个文件转换成功",
                          "没有选项可供选择！", "全选提示"};
const TShownTexts English{"Format Converter",
                          "Add files",
                          "Conversion list",
                          "Source file",
                          "Failed (encoding failed)",
                          "1 file(s) failed, 0 file(s) converted",
                          "There is nothing to select!",
                          "Select all"};

class WindowLanguage : public formstest::TFormTest {
protected:
  // The window, its list, a painted failure, the summary and a message box
  // all speak the language of Expected.
  void ExpectWindowSpeaks(const TShownTexts& Expected) {
    TfrmMain& Main = Form();
    EXPECT_EQ(Main.windowTitle(), QString::fromUtf8(Expected.Caption));
    EXPECT_EQ(Main.btnAddFile->text(), QString::fromUtf8(Expected.AddFile));
    EXPECT_EQ(Main.grpFileList->title(), QString::fromUtf8(Expected.FileList));
    EXPECT_EQ(Main.Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QString::fromUtf8(Expected.SourceColumn));

    Main.btnAllSelectClick();
    const auto Boxes = FAnswerer->Seen();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(ToQString(Boxes[0]->Text()), QString::fromUtf8(Expected.SelectAllText));
    EXPECT_EQ(ToQString(Boxes[0]->Caption()), QString::fromUtf8(Expected.SelectAllCaption));

    AddFiles({"a.wav"});
    SetState(0, tsFailed, rcEncodeFailed);
    const TTaskItem& Task = *Main.Manager()->GetTask(0);
    EXPECT_EQ(StatusCellOf(Task, false).Text, QString::fromUtf8(Expected.FailedEncoding));
    EXPECT_EQ(TFileListModel::StatusText(Task), QString::fromUtf8(Expected.FailedEncoding));
    Main.Manager()->FFinishedCount = 1;
    EXPECT_EQ(ToQString(Main.Manager()->GetSummary()), QString::fromUtf8(Expected.Summary));
  }
};

TEST_F(WindowLanguage, EnglishLocaleShowsTheEnglishTranslation) {
  ASSERT_TRUE(InstallWindowTranslation(*qApp));
  ExpectWindowSpeaks(English);
  // The quit question is English, but its caption is what a worker's
  // question finds it by, so it keeps its Chinese.
  StartRunDisplay(1);
  FAnswerer->Push(platform::IDNO);
  EXPECT_FALSE(Form().close());
  ASSERT_EQ(FAnswerer->Seen().size(), 2u);
  EXPECT_EQ(ToQString(FAnswerer->Seen()[1]->Text()),
            QStringLiteral("Songs are being converted. Quit anyway?"));
  EXPECT_EQ(FAnswerer->Seen()[1]->Caption(), u"退出提示");
  // The run's stored result stays Chinese; only its display is English.
  EXPECT_EQ(Form().Manager()->GetTask(0)->FResult.load(), rcEncodeFailed);
  EXPECT_EQ(TaskResultText(rcEncodeFailed), u"编码过程失败");
}

TEST_F(WindowLanguage, ChineseAndCLocalesKeepTheDesignsTexts) {
  EXPECT_FALSE(InstallWindowTranslation(*qApp));
  ExpectWindowSpeaks(Chinese);
}

}  // namespace
