#include "widgets/uAnchorLayout.h"

#include <algorithm>

namespace {

// One axis: the start follows the far edge when only the far edge holds it;
// the length grows when both edges do.
void FollowAxis(bool NearAnchor, bool FarAnchor, int Delta, int& Start, int& Length) {
  if (FarAnchor && NearAnchor)
    Length += Delta;
  else if (FarAnchor)
    Start += Delta;
}

}  // namespace

void TAnchorLayout::Place(QWidget* Control, const QRect& Rect, uint8_t Anchors) {
  Control->setGeometry(Rect);
  FPlaced.push_back({Control, Rect, Anchors});
}

QRect TAnchorLayout::Follow(const TPlaced& Placed, QSize Size) const {
  int Left = Placed.Design.left(), Width = Placed.Design.width();
  int Top = Placed.Design.top(), Height = Placed.Design.height();
  FollowAxis(Placed.Anchors & akLeft, Placed.Anchors & akRight, Size.width() - FDesignSize.width(),
             Left, Width);
  FollowAxis(Placed.Anchors & akTop, Placed.Anchors & akBottom,
             Size.height() - FDesignSize.height(), Top, Height);
  return QRect(Left, Top, std::max(0, Width), std::max(0, Height));
}

void TAnchorLayout::Apply(QSize Size) const {
  for (const TPlaced& Placed : FPlaced)
    if (Placed.Control) Placed.Control->setGeometry(Follow(Placed, Size));
}

QRect TAnchorLayout::RectFor(const QWidget* Control, QSize Size) const {
  for (const TPlaced& Placed : FPlaced)
    if (Placed.Control == Control) return Follow(Placed, Size);
  return Control ? Control->geometry() : QRect();
}
