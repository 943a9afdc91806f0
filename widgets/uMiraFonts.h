// The design's fonts on this platform. Any installed CJK font stands for
// "宋体" (the window's 12-pixel font) and for Tahoma 8 pt (the tip dialog);
// sizes are logical pixels, so high-DPI screens scale them. GUI thread,
// after the QApplication exists.
#pragma once

#include <QFont>
#include <QString>

// The CJK family used: "Noto Sans CJK SC" when installed, else the first
// family that writes Simplified Chinese, else the application's family.
QString CjkFontFamily();
// "宋体" at PixelSize pixels.
QFont SongTiFont(int PixelSize = 12);
// Tahoma 8 pt: 11 pixels at the design's 96 dpi.
QFont TahomaFont();
