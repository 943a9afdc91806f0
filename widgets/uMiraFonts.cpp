#include "widgets/uMiraFonts.h"

#include <QApplication>
#include <QFontDatabase>

QString CjkFontFamily() {
  static const QString Family = [] {
    const QStringList Chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString& Preferred :
         {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
          QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("AR PL UMing CN")})
      if (Chinese.contains(Preferred)) return Preferred;
    return Chinese.isEmpty() ? QApplication::font().family() : Chinese.first();
  }();
  return Family;
}

QFont SongTiFont(int PixelSize) {
  QFont Font(CjkFontFamily());
  Font.setPixelSize(PixelSize);
  return Font;
}

QFont TahomaFont() { return SongTiFont(11); }
