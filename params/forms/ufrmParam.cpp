#include "params/forms/ufrmParam.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include "params/forms/ufrmParamFrame.h"
#include "platform/qt/uQtText.h"
#include "widgets/uMiraFonts.h"

namespace {

constexpr uint8_t akBottomRight = akRight | akBottom;
// The client area below the panel, the row of "确定" and "取消": what the
// designed form has there (its outer height is the panel's + 70, title bar
// and borders included).
constexpr int BelowPanel = TfrmParam::DesignHeight - TfrmParam::DesignPanelHeight;

// "MP3 配置" for ".mp3": the extension after its first character, upper case.
QString CaptionFor(const std::u16string& Extension) {
  const QString Name = platform::qt::ToQString(Extension).mid(1).toUpper();
  return QCoreApplication::translate("TfrmParam", "%1 配置").arg(Name);
}

}  // namespace

TfrmParam::TfrmParam(TParamManager* Params, const std::u16string& Extension, QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmParam"));
  setFont(SongTiFont());
  setWindowTitle(CaptionFor(Extension));

  pnlFrame = new QLabel(this);
  pnlFrame->setObjectName(QStringLiteral("pnlFrame"));
  pnlFrame->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pnlFrame->setAlignment(Qt::AlignCenter);
  pnlFrame->setGeometry(0, 0, DesignWidth, DesignPanelHeight);
  btnOK = new QPushButton(QCoreApplication::translate("TfrmParam", "确定"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  FAnchors.Place(btnOK, QRect(157, 235, 75, 29), akBottomRight);
  btnCancel = new QPushButton(QCoreApplication::translate("TfrmParam", "取消"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  FAnchors.Place(btnCancel, QRect(238, 235, 75, 29), akBottomRight);
  connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

  QSize Client(DesignWidth, DesignHeight);
  FFrame = TfrmParamFrame::Make(Extension, Params, pnlFrame);
  if (FFrame) {
    // The page fills the panel, which takes the page's height.
    pnlFrame->setFrameStyle(QFrame::NoFrame);
    pnlFrame->resize(DesignWidth, FFrame->height());
    FFrame->setGeometry(0, 0, DesignWidth, FFrame->height());
    Client.setHeight(pnlFrame->height() + BelowPanel);
  } else {
    pnlFrame->setText(QCoreApplication::translate("TfrmParam", "无相关配置"));
  }
  setFixedSize(Client);
  FAnchors.Apply(Client);
}

TfrmParam::~TfrmParam() = default;

void TfrmParam::btnOKClick() {
  if (FFrame) FFrame->StoreControls();
  accept();
}

void TfrmParam::btnCancelClick() { reject(); }
