// The tip dialog: a small borderless panel with rounded corners inside the
// main window's file list that tells the user how to begin. It closes when
// "我知道了" is clicked or the focus leaves its check box and button for
// anything else; with "下次不用提示" ticked the click stops it from showing
// at later starts (the task manager's FTipShow becomes 1).
// Threading: GUI thread. Ownership: a child of its parent widget.
#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class TTaskManager;

// What a closing form does afterwards.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

class TfrmDlg final : public QWidget {
public:
  using TTipCloseEvent = std::function<void(TfrmDlg* Sender, TCloseAction& Action)>;

  // Manager may be null (no task manager exists).
  TfrmDlg(QWidget* Parent, int Height, int Width, TTaskManager* Manager);
  ~TfrmDlg() override;

  void btnOkClick();
  // Closes the panel (runs FormClose) unless it is closed already.
  void CloseForm();

  QLabel* lblLine1;
  QLabel* lblLine2;
  QLabel* lblLine3;
  QCheckBox* chkTip;
  QPushButton* btnOk;
  TTipCloseEvent OnTipClose;

protected:
  void paintEvent(QPaintEvent* Event) override;

private:
  void Layout();
  void FocusChanged(QWidget* Old, QWidget* Now);

  TTaskManager* FManager;
  QMetaObject::Connection FFocusWatch;
  bool FClosed = false;
};
