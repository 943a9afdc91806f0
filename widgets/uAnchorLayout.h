// Controls placed at their design positions and kept there as the parent
// grows, by the edges they are anchored to (left, top, right, bottom): a
// control anchored left and right widens with the parent, one anchored
// right only moves with the right edge; the same vertically. The design
// size is the parent's size the positions were given for.
// GUI thread; the layout is owned by whoever keeps it and borrows the
// widgets, which must outlive its Apply calls.
#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <vector>

constexpr uint8_t akLeft = 1;
constexpr uint8_t akTop = 2;
constexpr uint8_t akRight = 4;
constexpr uint8_t akBottom = 8;

class TAnchorLayout {
public:
  explicit TAnchorLayout(QSize DesignSize) : FDesignSize(DesignSize) {}

  // Puts Control at Rect now and records how it follows the parent.
  void Place(QWidget* Control, const QRect& Rect, uint8_t Anchors = akLeft | akTop);
  // Places every control for a parent of Size.
  void Apply(QSize Size) const;
  // Where Control goes for a parent of Size (its current geometry when it
  // was not placed here).
  QRect RectFor(const QWidget* Control, QSize Size) const;

private:
  struct TPlaced {
    QPointer<QWidget> Control;
    QRect Design;
    uint8_t Anchors;
  };
  QRect Follow(const TPlaced& Placed, QSize Size) const;

  QSize FDesignSize;
  std::vector<TPlaced> FPlaced;
};
