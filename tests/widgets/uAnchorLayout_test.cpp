#include "widgets/uAnchorLayout.h"

#include <gtest/gtest.h>

#include <QWidget>

TEST(AnchorLayout, ControlsFollowTheEdgesTheyAreAnchoredTo) {
  QWidget Parent;
  QWidget Fixed(&Parent), Grows(&Parent), RightBottom(&Parent), Wide(&Parent);
  TAnchorLayout Layout(QSize(542, 556));
  Layout.Place(&Fixed, QRect(8, 8, 100, 35));
  Layout.Place(&Grows, QRect(8, 50, 526, 268), akLeft | akTop | akRight | akBottom);
  Layout.Place(&RightBottom, QRect(346, 513, 100, 35), akRight | akBottom);
  Layout.Place(&Wide, QRect(8, 426, 526, 80), akLeft | akRight | akBottom);
  EXPECT_EQ(Grows.geometry(), QRect(8, 50, 526, 268));

  Layout.Apply(QSize(642, 656));
  EXPECT_EQ(Fixed.geometry(), QRect(8, 8, 100, 35));
  EXPECT_EQ(Grows.geometry(), QRect(8, 50, 626, 368));
  EXPECT_EQ(RightBottom.geometry(), QRect(446, 613, 100, 35));
  EXPECT_EQ(Wide.geometry(), QRect(8, 526, 626, 80));
  EXPECT_EQ(Layout.RectFor(&Grows, QSize(542, 556)), QRect(8, 50, 526, 268));
}
