// The advanced settings dialog "<FORMAT> 配置": a fixed dialog that hosts
// the settings page of one target format above "确定" and "取消". "确定"
// writes the page into its parameter object (in memory only) and closes;
// "取消" closes and keeps the object as it is. An extension without a page
// shows "无相关配置" instead.
//
// Threading: GUI thread only. Ownership: the dialog owns its page and
// borrows the parameter manager, which outlives it. Whoever makes the
// dialog shows it modally and frees it when the modal loop ends.
#pragma once

#include <QDialog>
#include <string>

#include "widgets/uAnchorLayout.h"

class QLabel;
class QPushButton;
class TParamManager;
class TfrmParamFrame;

class TfrmParam final : public QDialog {
public:
  // The design's client size, with the empty panel.
  static constexpr int DesignWidth = 323;
  static constexpr int DesignHeight = 268;
  static constexpr int DesignPanelHeight = 229;

  // Extension with its dot (".mp3"); Params may be null (no task manager),
  // the page then edits nothing. Parent is the window the dialog is centred
  // on and modal to.
  TfrmParam(TParamManager* Params, const std::u16string& Extension, QWidget* Parent = nullptr);
  ~TfrmParam() override;

  void btnOKClick();
  void btnCancelClick();

  // A panel that shows a caption centred while it holds no page.
  QLabel* pnlFrame;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  TfrmParamFrame* FFrame = nullptr;

private:
  TAnchorLayout FAnchors{QSize(DesignWidth, DesignHeight)};
};
