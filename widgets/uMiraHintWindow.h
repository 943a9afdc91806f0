// Control hints through the shared tip window. Qt asks a widget for its
// hint with a tool-tip event; the hint window catches it for the whole
// application and shows the hint as a rectangular tip with a black frame
// that hides after 2 seconds, instead of Qt's own tool tip.
//
// The unit (MiraHintWindowUnit) makes the shared tip and the hint adaptor
// at program start and frees them at the end, logging
// "uMiraHintWindow Finalization".
// Threading: GUI thread only.
#pragma once

#include <QObject>
#include <QRect>
#include <string>

#include "infra/uUnitLifetime.h"

class TMiraToolTip;
class TMiraHintAdaptor;

class TMiraHintWindow final : public QObject {
public:
  TMiraHintWindow();

  // Shows Hint (8-bit: UTF-8 after the three bytes EF BB BF, else the
  // system code page) with its corner at Rect's top left. The same hint at
  // the same place while it shows changes nothing.
  void ActivateHint(const QRect& Rect, const std::string& Hint);
  // Whether the framework may hide the hint now (the tip's CanHide).
  bool ShouldHideHint() const;

  bool FBalloon = false;
  int FInterval = 2000;
  bool FAbsolute = false;
  std::u16string FTitle;
  bool FCenterTip = false;
  int FLastX = 0;
  int FLastY = 0;
  bool FTransparent = false;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
};

// The hint text of Hint as ActivateHint reads it.
std::u16string DecodeHintText(const std::string& Hint);

// The shared instances; null outside the unit's lifetime.
TMiraToolTip* MiraToolTip();
TMiraHintAdaptor* MiraHintAdaptor();
TMiraHintWindow* MiraHintWindow();

// For AddUnit before StartUnits, after the QApplication exists.
TUnitLifetime MiraHintWindowUnit();
