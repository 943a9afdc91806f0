// The pages of the advanced settings dialog: one page edits the parameter
// object of one target format. The base page carries the three
// after-conversion options and the buttons "设为默认" and "恢复初始值";
// the MP3 and APE pages add their format's controls above them, the FLAC
// and WAV pages have none of their own. A page keeps no values of its own:
// it shows the object's values when it is made and writes them back only on
// StoreControls.
//
// Threading: GUI thread only. Ownership: a page is a child widget of its
// dialog; it borrows the parameter manager and the object it edits, which
// outlive it. An error of the configuration file raised by the two buttons
// goes to the application's error handling (platform::ReportUnhandledError);
// the page stays as it is.
#pragma once

#include <QStringList>
#include <QWidget>
#include <string>

#include "widgets/uAnchorLayout.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class TEncodeParam;
class TParamManager;

class TfrmParamFrame : public QWidget {
public:
  // The page's size as designed; the options and buttons keep their
  // distance from its bottom edge when the page's height changes.
  static constexpr int DesignWidth = 325;
  static constexpr int DesignHeight = 233;

  // The page of a target extension (".mp3", ".ape", ".wav", ".flac", any
  // case), made, attached and filled; null for any other extension. Params
  // may be null (no task manager): the page then edits nothing. The page
  // is Parent's child (the caller's to free when Parent is null).
  static TfrmParamFrame* Make(const std::u16string& Extension, TParamManager* Params,
                              QWidget* Parent);

  ~TfrmParamFrame() override;

  // Shows the object's values (nothing without one).
  virtual void LoadControls();
  // Points FParam at the page's object; the base page has none.
  virtual void AttachParam();
  // Fills Panel with the format's controls, sets its height, then shows the
  // object's values.
  virtual void BuildControls(QFrame* Panel);
  // Writes the controls into the object (nothing without one).
  virtual void StoreControls();

  // "设为默认": the controls into the object, the object into the file.
  void SetDefaultClick();
  // "恢复初始值": after a Yes, the object back to its defaults (saved) and
  // shown again.
  void RestoreDefaultClick();

  QCheckBox* chkDelAftSucc;
  QCheckBox* chkInsAftSucc;
  QCheckBox* chkAutoRead;
  QFrame* pnlTop;
  QPushButton* btnSetApprove;
  QPushButton* btnReclApprove;

  TEncodeParam* FParam = nullptr;

protected:
  TfrmParamFrame(TParamManager* Params, QWidget* Parent);
  // The construction steps that call the page's own operations.
  void Setup();
  // The object registered for Extension, null without a manager or object.
  TEncodeParam* ParamFor(const char* Extension) const;
  void resizeEvent(QResizeEvent* Event) override;

  TParamManager* FParams;

private:
  void CreateControls();
  // Runs a button's command; an exception it raises is the application's.
  static void Guarded(void (TfrmParamFrame::*Command)(), TfrmParamFrame* Page);

  TAnchorLayout FAnchors{QSize(DesignWidth, DesignHeight)};
};

class TMp3Frame final : public TfrmParamFrame {
public:
  void LoadControls() override;
  void AttachParam() override;
  void BuildControls(QFrame* Panel) override;
  void StoreControls() override;
  // Enables the box beside the selected bitrate mode, disables the others.
  void UpdateBoxes();

  QComboBox* cbbMode = nullptr;
  QRadioButton* rbCBR = nullptr;
  QComboBox* cbbCBR = nullptr;
  QRadioButton* rbABR = nullptr;
  QComboBox* cbbABR = nullptr;
  QRadioButton* rbVBR = nullptr;
  QComboBox* cbbVBR = nullptr;

private:
  friend class TfrmParamFrame;
  TMp3Frame(TParamManager* Params, QWidget* Parent);

  QStringList FModes;
  QStringList FBitrates;
  QStringList FVbrPresets;
};

class TApeFrame final : public TfrmParamFrame {
public:
  void LoadControls() override;
  void AttachParam() override;
  void BuildControls(QFrame* Panel) override;
  void StoreControls() override;

  QComboBox* cbbLevel = nullptr;

private:
  friend class TfrmParamFrame;
  TApeFrame(TParamManager* Params, QWidget* Parent);

  QStringList FLevels;
};

// A format without controls of its own: the options and buttons only.
class TOptionsOnlyFrame : public TfrmParamFrame {
public:
  void BuildControls(QFrame* Panel) override;

protected:
  using TfrmParamFrame::TfrmParamFrame;
};

class TFlacFrame final : public TOptionsOnlyFrame {
public:
  void AttachParam() override;

private:
  friend class TfrmParamFrame;
  using TOptionsOnlyFrame::TOptionsOnlyFrame;
};

class TWavFrame final : public TOptionsOnlyFrame {
public:
  void AttachParam() override;

private:
  friend class TfrmParamFrame;
  using TOptionsOnlyFrame::TOptionsOnlyFrame;
};
