// The program's one tip window: a frameless top-level window that never
// takes the focus, shown with its tip point at a screen position, as a
// balloon (rounded, with a stem, title, icon and close button) or as a
// rectangle with a black frame. Control hints and balloon warnings share it
// (uMiraHintWindow.h holds the shared instance).
//
// ShowBalloon shows the shared tip as a balloon and runs a modal loop until
// it goes away: its interval ends, its close button is clicked, or a mouse
// button is pressed anywhere in the program (the press is still delivered),
// a window closes, or the activation changes.
//
// Threading: GUI thread only. Ownership: the unit start makes the shared
// tip, the unit end frees it.
#pragma once

#include <QPainterPath>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <string>

enum class TTipIcon : uint8_t { ttNoneIcon, ttInformationIcon, ttWarningIcon, ttStopIcon };

class TMiraToolTip final : public QWidget {
  Q_OBJECT

public:
  TMiraToolTip();
  ~TMiraToolTip() override;

  const std::u16string& Text() const { return FText; }
  void SetText(const std::u16string& S);
  const std::u16string& Title() const { return FTitle; }
  void SetTitle(const std::u16string& S);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool B);
  bool Visible() const { return FVisible; }

  // Shows the tip with its tip point at the screen position (X, Y), kept on
  // the work area of the screen nearest to it.
  void ShowAt(int X, int Y);
  void Hide();

  // The text's extent with a margin of 10 pixels on each side.
  QSize MarginExtent() const;
  // A tip of Size at (X, Y) moved back by what would stick out past the
  // work area's right and bottom edges.
  static QPoint KeepOnWorkArea(QPoint Point, QSize Size, const QRect& WorkArea);

  TTipIcon ICON = TTipIcon::ttNoneIcon;
  bool Balloon = true;
  int Interval = 3000;  // ms until a shown tip hides itself; 0 or less: never
  bool Absolute = false;
  bool CenterTip = false;
  bool ShowCloseButton = true;
  bool CanHide = true;

signals:
  void Shown();
  void Hidden();

protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;

private:
  struct TLayout;
  TLayout Measure() const;
  QRect CloseButtonRect() const;
  // The balloon's outline in window coordinates, Inset pixels inside.
  QPainterPath Outline(int BodyHeight, double Inset) const;

  std::u16string FText;
  std::u16string FTitle;
  bool FTransparent = false;
  bool FVisible = false;
  bool FStemBelow = false;  // the body above the tip point
  int FStemX = 0;           // the tip point within the window
  QTimer FHideTimer;
};

// Balloon flags: bit 7 exact positioning, bit 1 centred on the point.
constexpr uint32_t sbAbsolute = 128;
constexpr uint32_t sbCenterTip = 2;

void ShowBalloon(int X, int Y, const std::u16string& Text, uint32_t Flags, TTipIcon Icon,
                 int Interval, const std::u16string& Title);
// At the centre of Window's rectangle on the screen.
void ShowBalloonAtWindow(QWidget* Window, const std::u16string& Text, const std::u16string& Title,
                         uint32_t Flags, TTipIcon Icon, int Interval);
// Whether a balloon's modal loop runs now.
bool BalloonLoopRunning();
