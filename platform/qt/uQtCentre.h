// Centring a window on a screen, keeping its size: left = screen left +
// (screen width - window width) div 2, top likewise. GUI thread.
#pragma once

#include <QScreen>
#include <QWidget>

namespace platform::qt {

// Centres Window on the screen that shows Anchor (Window's own screen when
// Anchor is null or has none).
inline void CentreOnScreenOf(QWidget* Window, const QWidget* Anchor) {
  const QScreen* Screen = Anchor && Anchor->screen() ? Anchor->screen() : Window->screen();
  if (!Screen) return;
  const QRect Area = Screen->geometry();
  const QSize Outer = Window->frameGeometry().size();
  Window->move(Area.left() + (Area.width() - Outer.width()) / 2,
               Area.top() + (Area.height() - Outer.height()) / 2);
}

}  // namespace platform::qt
