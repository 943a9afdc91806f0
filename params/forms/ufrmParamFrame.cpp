#include "params/forms/ufrmParamFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <exception>

#include "params/uEncodeParam.h"
#include "params/uParamManager.h"
#include "platform/qt/uQtText.h"
#include "platform/uCodePage.h"
#include "platform/uMessageBox.h"
#include "platform/uMessageQueue.h"

using platform::qt::WideText;

namespace {

constexpr uint8_t akBottomLeft = akLeft | akBottom;
// The page below pnlTop: the options and the two buttons.
constexpr int BelowPanel = 100;
constexpr int TopPanelLeft = 8;
constexpr int TopPanelTop = 3;
constexpr int TopPanelRightGap = TfrmParamFrame::DesignWidth - 8 - 307;
// A drop-down list at the design's 12-pixel font.
constexpr int BoxHeight = 20;
constexpr int RadioHeight = 17;

template <class TControl, class... TArgs>
TControl* Named(QWidget* Parent, const char* Name, TArgs&&... Args) {
  auto* Control = new TControl(std::forward<TArgs>(Args)..., Parent);
  Control->setObjectName(QString::fromLatin1(Name));
  return Control;
}

QLabel* AutoSizedLabel(QWidget* Parent, const char* Name, const QString& Caption, int Left,
                       int Top) {
  auto* Label = Named<QLabel>(Parent, Name, Caption);
  Label->adjustSize();
  Label->move(Left, Top);
  return Label;
}

// As wide as its caption needs, as high as the design's radio buttons.
QRadioButton* AutoSizedRadio(QWidget* Parent, const char* Name, const QString& Caption, int Left,
                             int Top) {
  auto* Radio = Named<QRadioButton>(Parent, Name, Caption);
  Radio->setGeometry(Left, Top, Radio->sizeHint().width(), RadioHeight);
  return Radio;
}

QComboBox* DropDownList(QWidget* Parent, const char* Name, const QStringList& Items,
                        const QRect& Rect) {
  auto* Box = Named<QComboBox>(Parent, Name);
  Box->addItems(Items);
  Box->setCurrentIndex(0);
  Box->setGeometry(Rect);
  return Box;
}

int Below(const QWidget* Control, int Gap) { return Control->y() + Control->height() + Gap; }

// A stored index shown in a box of Count entries (the last one for a value
// out of range, as the parameters' tables take it).
int ShownIndex(uint8_t Value, int Count) {
  return static_cast<int>(ClampIndex(Value, static_cast<size_t>(Count)));
}

// The box's selection as the byte the object stores; an empty selection
// keeps Current.
uint8_t StoredIndex(const QComboBox* Box, uint8_t Current) {
  return Box->currentIndex() < 0 ? Current : static_cast<uint8_t>(Box->currentIndex());
}

QString Text(const char* Utf8) { return QString::fromUtf8(Utf8); }

}  // namespace

// ---------------------------------------------------------------------------
// The base page

TfrmParamFrame::TfrmParamFrame(TParamManager* Params, QWidget* Parent)
    : QWidget(Parent), FParams(Params) {
  CreateControls();
}

TfrmParamFrame::~TfrmParamFrame() = default;

void TfrmParamFrame::CreateControls() {
  setObjectName(QStringLiteral("frmParamFrame"));
  resize(DesignWidth, DesignHeight);
  chkDelAftSucc = Named<QCheckBox>(
      this, "chkDelAftSucc", QCoreApplication::translate("TfrmParam", "转换成功后删除源文件"));
  FAnchors.Place(chkDelAftSucc, QRect(10, 140, 145, 17), akBottomLeft);
  chkInsAftSucc = Named<QCheckBox>(
      this, "chkInsAftSucc", QCoreApplication::translate("TfrmParam", "转换成功后添加到播放列表"));
  FAnchors.Place(chkInsAftSucc, QRect(10, 163, 177, 17), akBottomLeft);
  chkAutoRead = Named<QCheckBox>(
      this, "chkAutoRead", QCoreApplication::translate("TfrmParam", "自动读取源文件标签信息"));
  FAnchors.Place(chkAutoRead, QRect(10, 186, 161, 17), akBottomLeft);
  // Stored and shown, but nothing acts on it.
  chkAutoRead->setEnabled(false);
  // pnlTop follows the left, top and right edges; its height is the
  // format's, so it is not left to the anchors.
  pnlTop = Named<QFrame>(this, "pnlTop");
  pnlTop->setFrameShape(QFrame::NoFrame);
  pnlTop->setGeometry(TopPanelLeft, TopPanelTop, 307, 131);
  btnSetApprove = Named<QPushButton>(this, "btnSetApprove",
                                     QCoreApplication::translate("TfrmParam", "设为默认"));
  FAnchors.Place(btnSetApprove, QRect(10, 206, 75, 25), akBottomLeft);
  btnReclApprove = Named<QPushButton>(this, "btnReclApprove",
                                      QCoreApplication::translate("TfrmParam", "恢复初始值"));
  FAnchors.Place(btnReclApprove, QRect(90, 206, 75, 25), akBottomLeft);
}

TfrmParamFrame* TfrmParamFrame::Make(const std::u16string& Extension, TParamManager* Params,
                                     QWidget* Parent) {
  const std::string Ext = LowerCaseExtension(platform::WideToAnsi(Extension));
  TfrmParamFrame* Page = nullptr;
  if (Ext == ".mp3")
    Page = new TMp3Frame(Params, Parent);
  else if (Ext == ".ape")
    Page = new TApeFrame(Params, Parent);
  else if (Ext == ".wav")
    Page = new TWavFrame(Params, Parent);
  else if (Ext == ".flac")
    Page = new TFlacFrame(Params, Parent);
  if (Page) Page->Setup();
  return Page;
}

void TfrmParamFrame::Setup() {
  AttachParam();
  pnlTop->resize(pnlTop->width(), 0);
  BuildControls(pnlTop);
  resize(width(), pnlTop->height() + BelowPanel);
  connect(btnSetApprove, &QPushButton::clicked, this,
          [this] { Guarded(&TfrmParamFrame::SetDefaultClick, this); });
  connect(btnReclApprove, &QPushButton::clicked, this,
          [this] { Guarded(&TfrmParamFrame::RestoreDefaultClick, this); });
}

void TfrmParamFrame::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  FAnchors.Apply(size());
  pnlTop->setGeometry(TopPanelLeft, TopPanelTop, width() - TopPanelLeft - TopPanelRightGap,
                      pnlTop->height());
}

TEncodeParam* TfrmParamFrame::ParamFor(const char* Extension) const {
  return FParams ? FParams->FindByExtension(Extension) : nullptr;
}

void TfrmParamFrame::LoadControls() {
  if (!FParam) return;
  chkDelAftSucc->setChecked(FParam->FDelAftSucc != 0);
  chkInsAftSucc->setChecked(FParam->FInsAftSucc != 0);
  chkAutoRead->setChecked(FParam->FAutoRead != 0);
}

void TfrmParamFrame::AttachParam() { FParam = nullptr; }

void TfrmParamFrame::BuildControls(QFrame*) { LoadControls(); }

void TfrmParamFrame::StoreControls() {
  if (!FParam) return;
  FParam->FDelAftSucc = chkDelAftSucc->isChecked() ? 1 : 0;
  FParam->FInsAftSucc = chkInsAftSucc->isChecked() ? 1 : 0;
  FParam->FAutoRead = chkAutoRead->isChecked() ? 1 : 0;
}

void TfrmParamFrame::SetDefaultClick() {
  if (!FParam) return;
  StoreControls();
  FParam->SaveToFile();
}

void TfrmParamFrame::RestoreDefaultClick() {
  const int Answer = platform::MessageBoxW(
      window(), WideText("TfrmParam", "是否确定重置配置信息？"), WideText("TfrmParam", "提示"),
      platform::MB_YESNO | platform::MB_ICONQUESTION);
  if (Answer != platform::IDYES || !FParam) return;
  FParam->ResetToDefault();
  LoadControls();
}

// A toolkit cannot carry an exception out of its click handler: the
// application's error handling shows it here, and the page goes on.
void TfrmParamFrame::Guarded(void (TfrmParamFrame::*Command)(), TfrmParamFrame* Page) {
  try {
    (Page->*Command)();
  } catch (...) {
    platform::ReportUnhandledError(std::current_exception());
  }
}

// ---------------------------------------------------------------------------
// MP3

TMp3Frame::TMp3Frame(TParamManager* Params, QWidget* Parent)
    : TfrmParamFrame(Params, Parent), FModes{QCoreApplication::translate("TfrmParam", "立体声"),
                                             QCoreApplication::translate("TfrmParam", "混合立体声"),
                                             QCoreApplication::translate("TfrmParam", "单声道")} {
  for (int32_t Bitrate : Mp3Bitrates)
    FBitrates << QStringLiteral("%1Kbps").arg(Bitrate);
  for (const char* Name : Mp3VbrPresetNames)
    FVbrPresets << Text(Name);
}

void TMp3Frame::AttachParam() { FParam = ParamFor(".mp3"); }

void TMp3Frame::BuildControls(QFrame* Panel) {
  QLabel* lblMode =
      AutoSizedLabel(Panel, "lblMode", QCoreApplication::translate("TfrmParam", "声道模式"), 0, 10);
  cbbMode = DropDownList(Panel, "cbbMode", FModes, QRect(150, lblMode->y() - 3, 110, BoxHeight));
  QLabel* lblBitrate =
      AutoSizedLabel(Panel, "lblBitrate", QCoreApplication::translate("TfrmParam", "比特率"), 0,
                     Below(cbbMode, 3));
  rbCBR = AutoSizedRadio(Panel, "rbCBR", QCoreApplication::translate("TfrmParam", "恒定码率(CBR)"),
                         10, Below(lblBitrate, 9));
  rbABR = AutoSizedRadio(Panel, "rbABR", QCoreApplication::translate("TfrmParam", "平均码率(ABR)"),
                         10, Below(rbCBR, 5));
  rbVBR = AutoSizedRadio(Panel, "rbVBR", QCoreApplication::translate("TfrmParam", "变长码率(VBR)"),
                         10, Below(rbABR, 5));
  const auto BoxBeside = [Panel](const char* Name, const QStringList& Items, QRadioButton* Radio) {
    QComboBox* Box = DropDownList(Panel, Name, Items, QRect(150, Radio->y(), 110, Radio->height()));
    Box->setEnabled(false);
    return Box;
  };
  cbbCBR = BoxBeside("cbbCBR", FBitrates, rbCBR);
  cbbABR = BoxBeside("cbbABR", FBitrates, rbABR);
  cbbVBR = BoxBeside("cbbVBR", FVbrPresets, rbVBR);
  for (QRadioButton* Radio : {rbCBR, rbABR, rbVBR})
    connect(Radio, &QRadioButton::clicked, this, [this] { UpdateBoxes(); });
  Panel->resize(Panel->width(), 120);
  TfrmParamFrame::BuildControls(Panel);
}

void TMp3Frame::UpdateBoxes() {
  cbbCBR->setEnabled(rbCBR->isChecked());
  cbbABR->setEnabled(rbABR->isChecked());
  cbbVBR->setEnabled(rbVBR->isChecked());
}

void TMp3Frame::LoadControls() {
  TfrmParamFrame::LoadControls();
  const auto* Mp3 = dynamic_cast<const TMp3Param*>(FParam);
  if (!Mp3) return;
  cbbMode->setCurrentIndex(ShownIndex(Mp3->FMode, cbbMode->count()));
  QRadioButton* const Radios[] = {rbCBR, rbABR, rbVBR};
  if (Mp3->FBitRateMode < 3) Radios[Mp3->FBitRateMode]->setChecked(true);
  UpdateBoxes();
  cbbCBR->setCurrentIndex(ShownIndex(Mp3->FCbrIndex, cbbCBR->count()));
  cbbABR->setCurrentIndex(ShownIndex(Mp3->FAbrIndex, cbbABR->count()));
  cbbVBR->setCurrentIndex(ShownIndex(Mp3->FVbrIndex, cbbVBR->count()));
}

void TMp3Frame::StoreControls() {
  TfrmParamFrame::StoreControls();
  auto* Mp3 = dynamic_cast<TMp3Param*>(FParam);
  if (!Mp3) return;
  Mp3->FMode = StoredIndex(cbbMode, Mp3->FMode);
  if (rbCBR->isChecked()) {
    Mp3->FBitRateMode = 0;
    Mp3->FCbrIndex = StoredIndex(cbbCBR, Mp3->FCbrIndex);
  } else if (rbABR->isChecked()) {
    Mp3->FBitRateMode = 1;
    Mp3->FAbrIndex = StoredIndex(cbbABR, Mp3->FAbrIndex);
  } else if (rbVBR->isChecked()) {
    Mp3->FBitRateMode = 2;
    Mp3->FVbrIndex = StoredIndex(cbbVBR, Mp3->FVbrIndex);
  }
  Mp3->Changed();
}

// ---------------------------------------------------------------------------
// APE

TApeFrame::TApeFrame(TParamManager* Params, QWidget* Parent)
    : TfrmParamFrame(Params, Parent), FLevels{
                                          QCoreApplication::translate("TfrmParam", "快速压缩级别"),
                                          QCoreApplication::translate("TfrmParam", "正常压缩级别"),
                                          QCoreApplication::translate("TfrmParam", "较高压缩级别"),
                                          QCoreApplication::translate("TfrmParam", "极高压缩级别"),
                                          QCoreApplication::translate("TfrmParam",
                                                                      "疯狂压缩级别")} {}

void TApeFrame::AttachParam() { FParam = ParamFor(".ape"); }

void TApeFrame::BuildControls(QFrame* Panel) {
  QLabel* lblLevel = AutoSizedLabel(Panel, "lblLevel",
                                    QCoreApplication::translate("TfrmParam", "编码级别"), 0, 10);
  cbbLevel =
      DropDownList(Panel, "cbbLevel", FLevels, QRect(150, lblLevel->y() - 3, 100, BoxHeight));
  Panel->resize(Panel->width(), 40);
  TfrmParamFrame::BuildControls(Panel);
}

void TApeFrame::LoadControls() {
  TfrmParamFrame::LoadControls();
  if (const auto* Ape = dynamic_cast<const TApeParam*>(FParam))
    cbbLevel->setCurrentIndex(ShownIndex(Ape->FQuality, cbbLevel->count()));
}

void TApeFrame::StoreControls() {
  TfrmParamFrame::StoreControls();
  auto* Ape = dynamic_cast<TApeParam*>(FParam);
  if (!Ape) return;
  Ape->FQuality = StoredIndex(cbbLevel, Ape->FQuality);
  Ape->Changed();
}

// ---------------------------------------------------------------------------
// FLAC and WAV: the options only

void TOptionsOnlyFrame::BuildControls(QFrame* Panel) {
  Panel->resize(Panel->width(), 0);
  TfrmParamFrame::BuildControls(Panel);
}

void TFlacFrame::AttachParam() { FParam = ParamFor(".flac"); }

void TWavFrame::AttachParam() { FParam = ParamFor(".wav"); }
