#include "widgets/ufrmDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "engine/uTaskManager.h"
#include "widgets/uMiraFonts.h"

namespace {

constexpr int CornerDiameter = 10;
constexpr int TextLeft = 30;

QLabel* AutoSizedLabel(QWidget* Parent, const QString& Text) {
  auto* Label = new QLabel(Text, Parent);
  Label->adjustSize();
  return Label;
}

}  // namespace

TfrmDlg::TfrmDlg(QWidget* Parent, int Height, int Width, TTaskManager* Manager)
    : QWidget(Parent), FManager(Manager) {
  setObjectName(QStringLiteral("frmDlg"));
  setFont(TahomaFont());
  resize(Width, Height);
  setAutoFillBackground(false);

  lblLine1 =
      AutoSizedLabel(this, QCoreApplication::translate(
                               "TfrmDlg", "    欢迎使用音频格式转换工具，您可对Mp3、Ape、Wav、"));
  lblLine1->setObjectName(QStringLiteral("lblLine1"));
  lblLine2 =
      AutoSizedLabel(this, QCoreApplication::translate(
                               "TfrmDlg", "Flac进行文件格式与品质转换。请点选“添加文件”按钮转 "));
  lblLine2->setObjectName(QStringLiteral("lblLine2"));
  lblLine3 = AutoSizedLabel(this, QCoreApplication::translate("TfrmDlg", "换您所需要音频文件！"));
  lblLine3->setObjectName(QStringLiteral("lblLine3"));
  chkTip = new QCheckBox(QCoreApplication::translate("TfrmDlg", "下次不用提示"), this);
  chkTip->setObjectName(QStringLiteral("chkTip"));
  chkTip->resize(97, 17);
  btnOk = new QPushButton(QIcon(QStringLiteral(":/morvo/art/glyph_ok.png")),
                          QCoreApplication::translate("TfrmDlg", "我知道了"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->resize(75, 25);
  // Tab order: the box first, then the button.
  setTabOrder(chkTip, btnOk);
  connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });

  // Rounded corners: the panel's own shape, on top of the list.
  QPainterPath Shape;
  Shape.addRoundedRect(QRectF(0, 0, Width, Height), CornerDiameter / 2.0, CornerDiameter / 2.0);
  setMask(QRegion(Shape.toFillPolygon().toPolygon()));
  raise();
  Layout();

  FFocusWatch = connect(qApp, &QApplication::focusChanged, this,
                        [this](QWidget* Old, QWidget* Now) { FocusChanged(Old, Now); });
}

TfrmDlg::~TfrmDlg() { disconnect(FFocusWatch); }

void TfrmDlg::Layout() {
  lblLine1->move(TextLeft, 20);
  lblLine2->move(TextLeft, lblLine1->geometry().bottom() + 1 + 5);
  lblLine3->move(TextLeft, lblLine2->geometry().bottom() + 1 + 5);
  chkTip->move(lblLine3->x(), lblLine3->geometry().bottom() + 1 + 10);
  btnOk->move(width() - 30 - btnOk->width(), chkTip->y() - 5);
}

void TfrmDlg::btnOkClick() {
  if (chkTip->isChecked() && FManager) FManager->FTipShow = 1;
  CloseForm();
}

// The focus left the button or the box: the panel closes unless it went to
// the other one of the two. A focus that leaves the whole application
// (Now null) is no move inside the window.
void TfrmDlg::FocusChanged(QWidget* Old, QWidget* Now) {
  if (FClosed || !Now) return;
  if ((Old == btnOk && Now != chkTip) || (Old == chkTip && Now != btnOk)) CloseForm();
}

void TfrmDlg::CloseForm() {
  if (FClosed) return;
  TCloseAction Action = TCloseAction::caHide;
  if (OnTipClose) OnTipClose(this, Action);
  if (Action == TCloseAction::caNone) return;
  FClosed = true;
  hide();
}

void TfrmDlg::paintEvent(QPaintEvent*) {
  QPainter P(this);
  P.setRenderHint(QPainter::Antialiasing);
  QPainterPath Shape;
  Shape.addRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), CornerDiameter / 2.0,
                       CornerDiameter / 2.0);
  P.fillPath(Shape, palette().color(QPalette::Window));
  P.setPen(QPen(palette().color(QPalette::Mid), 1));
  P.drawPath(Shape);
}
