#include "app/forms/uFileListModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "platform/qt/uQtText.h"
#include "tests/app/forms/uFormsTestKit.h"

using platform::qt::ToQString;

namespace {

class FileListModel : public formstest::TFormTest {
protected:
  // Every row shows its task, in the manager's order.
  void ExpectMirror() {
    TTaskManager& Manager = *Form().Manager();
    TFileListModel& Model = *Form().Model();
    ASSERT_EQ(Model.rowCount(), Manager.TaskCount());
    for (int Row = 0; Row < Model.rowCount(); ++Row) {
      TTaskItem* Task = Manager.GetTask(Row);
      EXPECT_EQ(Model.TaskAt(Row), Task) << "row " << Row;
      EXPECT_EQ(Model.index(Row, 0).data(), ToQString(Task->FSource));
      EXPECT_EQ(Model.index(Row, 1).data(), ToQString(Task->FTargetName));
      EXPECT_EQ(Model.index(Row, 2).data(), TFileListModel::StatusText(*Task));
    }
  }
};

}  // namespace

TEST_F(FileListModel, RowsFollowEveryChangeOfTheTaskList) {
  QAbstractItemModelTester Tester(Form().Model(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
  TTaskManager& Manager = *Form().Manager();
  AddFiles({"c.wav", "a.wav", "b.wav", "d.wav"});
  ExpectMirror();
  Manager.RemoveTask(Manager.GetTask(1)->FId);
  ExpectMirror();
  Manager.RenameTarget(Manager.GetTask(0)->FId, u"z.mp3");
  ExpectMirror();
  Manager.Sort(1, 1);
  ExpectMirror();
  EXPECT_EQ(Form().Model()->index(0, 1).data(), QStringLiteral("b.mp3"));
  SetState(0, tsDone);
  SetState(1, tsFailed, rcReadFailed);
  SetState(2, tsConverting, 0, 37);
  ExpectMirror();
  EXPECT_EQ(Form().Model()->index(1, 2).data(), QStringLiteral("失败(读取文件失败)"));
  EXPECT_EQ(Form().Model()->index(2, 2).data(), QStringLiteral("37"));
  Manager.ResetAll();
  ExpectMirror();
  EXPECT_EQ(Form().Model()->index(0, 2).data(), QStringLiteral("等待"));
}

TEST_F(FileListModel, RemovalScansFromTheTopAndReportsWhereItEnded) {
  AddFiles({"a.wav", "b.wav", "c.wav"});
  TFileListModel& Model = *Form().Model();
  const int32_t Second = Model.TaskAt(1)->FId;
  const TFileListModel::TRemoval Missing = Model.RowRemoved(9999);
  EXPECT_FALSE(Missing.Removed);
  EXPECT_EQ(Missing.ScanEnd, 3);
  EXPECT_EQ(Model.rowCount(), 3);
  const TFileListModel::TRemoval Found = Model.RowRemoved(Second);
  EXPECT_TRUE(Found.Removed);
  EXPECT_EQ(Found.ScanEnd, 1);
  EXPECT_EQ(Model.rowCount(), 2);
  // Notices for tasks that have no row, or rows without tasks, change nothing.
  EXPECT_EQ(Model.RowChanged(Second), -1);
  EXPECT_EQ(Model.RowAdded(9999), -1);
  EXPECT_EQ(Model.rowCount(), 2);
}

TEST_F(FileListModel, HeaderCaptionsAreTheDesigns) {
  TFileListModel& Model = *Form().Model();
  EXPECT_EQ(Model.headerData(0, Qt::Horizontal, Qt::DisplayRole), QStringLiteral("源文件"));
  EXPECT_EQ(Model.headerData(1, Qt::Horizontal, Qt::DisplayRole), QStringLiteral("目标文件名"));
  EXPECT_EQ(Model.headerData(2, Qt::Horizontal, Qt::DisplayRole), QStringLiteral("状态"));
  EXPECT_EQ(Model.columnCount(), 3);
}
