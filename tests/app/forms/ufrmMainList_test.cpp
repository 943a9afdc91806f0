// The list of the main window as a user works it: clicks, drags, keys,
// header clicks and context menus.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListView.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "tests/app/forms/uFormsTestKit.h"

namespace {

class MainList : public formstest::TFormTest {
protected:
  QWidget* Viewport() { return Form().lvFileList->viewport(); }
  QPoint CellCentre(int Row, int Column) {
    return Form().lvFileList->CellRect(Row, Column).center();
  }

  void Send(QEvent::Type Type, QPoint At, Qt::MouseButton Button,
            Qt::KeyboardModifiers Modifiers = {}) {
    if (Type == QEvent::MouseButtonPress) FHeld = Button;
    if (Type == QEvent::MouseButtonRelease) FHeld = Qt::NoButton;
    QMouseEvent Event(
        Type, At, Viewport()->mapToGlobal(At), Type == QEvent::MouseMove ? Qt::NoButton : Button,
        Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(FHeld), Modifiers);
    QApplication::sendEvent(Viewport(), &Event);
  }
  void Press(QPoint At, Qt::MouseButton Button = Qt::LeftButton,
             Qt::KeyboardModifiers Modifiers = {}) {
    Send(QEvent::MouseButtonPress, At, Button, Modifiers);
  }
  void MoveTo(QPoint At) { Send(QEvent::MouseMove, At, Qt::NoButton); }
  void Release(QPoint At) { Send(QEvent::MouseButtonRelease, At, Qt::LeftButton); }
  void Key(int KeyCode, Qt::KeyboardModifiers Modifiers = {}) {
    QKeyEvent Event(QEvent::KeyPress, KeyCode, Modifiers);
    QApplication::sendEvent(Form().lvFileList, &Event);
  }
  void ClickHeader(int Column) {
    QHeaderView* Header = Form().lvFileList->header();
    QTest::mouseClick(Header->viewport(), Qt::LeftButton, {},
                      QPoint(Header->sectionViewportPosition(Column) + 10, Header->height() / 2));
  }
  std::vector<int> SelectedRows() {
    std::vector<int> Rows;
    for (int Row = 0; Row < Form().Model()->rowCount(); ++Row)
      if (Form().lvFileList->selectionModel()->isRowSelected(Row, {})) Rows.push_back(Row);
    return Rows;
  }
  std::vector<int> SelectedTasks() {
    std::vector<int> Rows;
    for (int Row = 0; Row < Form().Manager()->TaskCount(); ++Row)
      if (Form().Manager()->GetTask(Row)->FSelected) Rows.push_back(Row);
    return Rows;
  }
  QStringList Captions() {
    return {Form().Model()->Caption(0), Form().Model()->Caption(1), Form().Model()->Caption(2)};
  }
  Qt::MouseButton FHeld = Qt::NoButton;

  std::vector<std::u16string> BoxTexts() {
    std::vector<std::u16string> Texts;
    for (const auto& Box : FAnswerer->Seen())
      Texts.push_back(Box->Caption() + u"|" + Box->Text());
    return Texts;
  }
};

}  // namespace

TEST_F(MainList, HeaderClicksSortWithOneSharedDirection) {
  // Sources and targets sort differently: the folder decides the source.
  AddFiles({"b/2.wav", "a/3.wav", "c/1.wav"});
  ClickHeader(0);
  EXPECT_EQ(Form().SortState(), 1);
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"3.mp3", u"2.mp3", u"1.mp3"}));
  EXPECT_EQ(Captions(), (QStringList{QStringLiteral("源文件↑"), QStringLiteral("目标文件名"),
                                     QStringLiteral("状态")}));
  // The next column continues the toggle: descending.
  ClickHeader(1);
  EXPECT_EQ(Form().SortState(), 2);
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"3.mp3", u"2.mp3", u"1.mp3"}));
  EXPECT_EQ(Captions(), (QStringList{QStringLiteral("源文件"), QStringLiteral("目标文件名↓"),
                                     QStringLiteral("状态")}));
  ClickHeader(1);
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"1.mp3", u"2.mp3", u"3.mp3"}));
  // The status header does nothing before any conversion has finished.
  ClickHeader(2);
  EXPECT_EQ(Form().SortState(), 1);
  EXPECT_EQ(Captions()[2], QStringLiteral("状态"));
  // Adding sources clears the marks but not the direction.
  AddFiles({"d/4.wav"});
  EXPECT_EQ(Captions()[1], QStringLiteral("目标文件名"));
  EXPECT_EQ(Form().SortState(), 1);
}

TEST_F(MainList, TheStatusHeaderSortsByResultOnceATaskFinished) {
  AddFiles({"a.wav", "b.wav", "c.wav"});
  StartRunDisplay(3);
  SetState(0, tsDone);
  SetState(1, tsFailed, rcReadFailed);
  Form().Manager()->StopConvert();
  ClickHeader(2);
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"b.mp3", u"a.mp3", u"c.mp3"}));
  EXPECT_EQ(Captions()[2], QStringLiteral("状态↑"));
  // Removing the top row clears the marks.
  Form().Manager()->RemoveTask(Form().Manager()->GetTask(0)->FId);
  EXPECT_EQ(Captions()[2], QStringLiteral("状态"));
}

TEST_F(MainList, DraggingUpFromRowThreeToRowOneSelectsOneToThree) {
  AddFiles({"0.wav", "1.wav", "2.wav", "3.wav", "4.wav", "5.wav"});
  Press(CellCentre(3, 0));
  EXPECT_EQ(SelectedRows(), std::vector<int>{3});
  MoveTo(CellCentre(2, 0));
  MoveTo(CellCentre(1, 0));
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(SelectedTasks(), (std::vector<int>{1, 2, 3}));
  // Below the last row there is no row to reach: the selection stays.
  MoveTo(QPoint(CellCentre(0, 0).x(), Form().lvFileList->CellRect(5, 0).bottom() + 30));
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 2, 3}));
  Release(CellCentre(1, 0));
  // Without a button held, moving selects nothing.
  MoveTo(CellCentre(5, 0));
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 2, 3}));
}

TEST_F(MainList, DraggingPastTheVisibleRowsScrollsTheList) {
  std::vector<std::string> Names;
  for (int I = 0; I < 40; ++I)
    Names.push_back(std::to_string(I) + ".wav");
  AddFiles(Names);
  TFileListView& List = *Form().lvFileList;
  Press(CellCentre(0, 0));
  const int Last = List.TopIndex() + List.VisibleRowCount() - 1;
  MoveTo(QPoint(CellCentre(0, 0).x(), List.CellRect(Last, 0).top() + 3));
  EXPECT_GT(List.verticalScrollBar()->value(), 0);
  Release(CellCentre(0, 0));
}

TEST_F(MainList, NothingButSelectAllWorksInTheListWhileConverting) {
  AddFiles({"a.wav", "b.wav", "c.wav"});
  Press(CellCentre(1, 0));
  Release(CellCentre(1, 0));
  ASSERT_EQ(SelectedRows(), std::vector<int>{1});
  StartRunDisplay(3);
  Press(CellCentre(2, 0));
  Release(CellCentre(2, 0));
  EXPECT_EQ(SelectedRows(), std::vector<int>{1});
  Key(Qt::Key_Delete);
  Form().RemoveSelectedTasks();  // the menu's 移除
  EXPECT_EQ(Form().Manager()->TaskCount(), 3);
  Press(CellCentre(0, 0), Qt::RightButton);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1, 2}));
}

TEST_F(MainList, DeleteRemovesTheSelectedTasksAndTheButtonsExplainAnEmptyChoice) {
  AddFiles({"a.wav", "b.wav", "c.wav"});
  Press(CellCentre(0, 0));
  Press(CellCentre(2, 0), Qt::LeftButton, Qt::ControlModifier);
  Key(Qt::Key_Delete);
  EXPECT_EQ(TaskTargets(), std::vector<std::u16string>{u"b.mp3"});
  Form().btnDelete->click();
  EXPECT_EQ(BoxTexts(),
            std::vector<std::u16string>{u"移除文件提示|请选择预删除的选项，然后重试！"});
  Form().btnAllSelect->click();
  Form().btnDelete->click();
  EXPECT_EQ(Form().Manager()->TaskCount(), 0);
  Form().btnDelete->click();
  Form().btnAllSelect->click();
  EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{u"移除文件提示|请选择预删除的选项，然后重试！",
                                                     u"移除文件提示|没有可删除的选项！",
                                                     u"全选提示|没有选项可供选择！"}));
}

TEST_F(MainList, RebuiltRowsLeaveNoHiddenSelectionForDeleteToRemove) {
  AddFiles({"b.wav", "a.wav", "c.wav"});
  Key(Qt::Key_A, Qt::ControlModifier);
  ASSERT_EQ(SelectedTasks(), (std::vector<int>{0, 1, 2}));
  ClickHeader(1);  // the rows are rebuilt unselected
  EXPECT_TRUE(SelectedRows().empty());
  EXPECT_TRUE(SelectedTasks().empty());
  Key(Qt::Key_Delete);
  EXPECT_EQ(Form().Manager()->TaskCount(), 3);
}

TEST_F(MainList, ContextMenusDependOnTheColumnAndTheTask) {
  AddFiles({"a.wav", "b.wav"});
  SetState(1, tsDone);
  // Right of the status column's start there is no menu.
  EXPECT_EQ(Form().PreparePopupMenu(CellCentre(0, 2)), nullptr);
  // Empty space in the source column: the menu without a selection.
  const QPoint Empty(CellCentre(0, 0).x(), Form().lvFileList->CellRect(1, 0).bottom() + 20);
  Press(Empty, Qt::RightButton);
  EXPECT_EQ(QApplication::activePopupWidget(), Form().pmNameColum);
  EXPECT_TRUE(Form().mmSelAll->isEnabled());
  EXPECT_FALSE(Form().mmPlay->isEnabled());
  EXPECT_FALSE(Form().mmModifyTag->isEnabled());
  EXPECT_FALSE(Form().mmDelete->isEnabled());
  Form().pmNameColum->close();
  // On a row: it is selected, and the commands on it are there.
  Press(CellCentre(0, 0), Qt::RightButton);
  EXPECT_EQ(SelectedRows(), std::vector<int>{0});
  EXPECT_TRUE(Form().mmPlay->isEnabled());
  EXPECT_TRUE(Form().mmDelete->isEnabled());
  EXPECT_FALSE(Form().mmModifyTag->isEnabled());
  Form().pmNameColum->close();
  // The target column: opening needs a finished task under the pointer.
  Press(CellCentre(0, 1), Qt::RightButton);
  EXPECT_EQ(QApplication::activePopupWidget(), Form().pmDestColum);
  EXPECT_FALSE(Form().mmOpenFile->isEnabled());
  EXPECT_FALSE(Form().mmOpenFilePath->isEnabled());
  EXPECT_TRUE(Form().mmRename->isEnabled());
  Form().pmDestColum->close();
  Press(CellCentre(1, 1), Qt::RightButton);
  EXPECT_EQ(Form().FPopupItem.row(), 1);
  EXPECT_TRUE(Form().mmOpenFile->isEnabled());
  EXPECT_TRUE(Form().mmOpenFilePath->isEnabled());
  Form().pmDestColum->close();
  // 选择全部 from the menu.
  Form().mmSelAll->trigger();
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1}));
}

TEST_F(MainList, ColumnsFollowTheWindowAndTheStatusColumnKeepsItsLimits) {
  Form().resize(742, 656);
  QHeaderView* Header = Form().lvFileList->header();
  const int Side = (Form().lvFileList->width() - 185) / 2;
  EXPECT_EQ(Form().lvFileList->width(), 510 + 200);
  EXPECT_EQ(Header->sectionSize(0), Side);
  EXPECT_EQ(Header->sectionSize(1), Side);
  EXPECT_EQ(Header->sectionSize(2), 165);
  Header->resizeSection(2, 300);
  EXPECT_EQ(Header->sectionSize(2), 200);
  Header->resizeSection(2, 20);
  EXPECT_EQ(Header->sectionSize(2), 150);
}

TEST_F(MainList, FinishedTasksCanBeRemovedOrTidiedAfterARun) {
  AddFiles({"a.wav", "b.wav", "c.wav"});
  StartRunDisplay(3);
  SetState(0, tsDone);
  SetState(1, tsFailed, rcReadFailed);
  SetState(2, tsDone);  // the last counted task ends the run
  ASSERT_FALSE(Form().Manager()->IsRunning());
  EXPECT_TRUE(Form().btnDeleteComplete->isVisible());
  EXPECT_TRUE(Form().btnView->isVisible());
  Form().btnView->click();  // failures first
  EXPECT_EQ(TaskTargets()[0], u"b.mp3");
  EXPECT_FALSE(Form().btnView->isVisible());
  Form().btnDeleteComplete->click();
  EXPECT_EQ(TaskTargets(), std::vector<std::u16string>{u"b.mp3"});
  EXPECT_FALSE(Form().btnDeleteComplete->isVisible());
}
