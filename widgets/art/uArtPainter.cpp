// Paints the program's own artwork into PNG files at build time: the two
// progress-bar skins (three equal slices each: left end, stretchable middle,
// right end) and the icons of the window's buttons.
//   morvo_art_painter OUTPUT_FOLDER
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>

namespace {

// Skins: 30 x 12, slices of 10 pixels.
constexpr int SkinWidth = 30;
constexpr int SkinHeight = 12;

QImage Blank(int Width, int Height) {
  QImage Image(Width, Height, QImage::Format_ARGB32_Premultiplied);
  Image.fill(Qt::transparent);
  return Image;
}

// A bar with round ends; the middle slice has no horizontal change, so it
// stretches without showing it.
QImage Bar(const QColor& Top, const QColor& Bottom, const QColor& Edge) {
  QImage Image = Blank(SkinWidth, SkinHeight);
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);
  QLinearGradient Fill(0, 0, 0, SkinHeight);
  Fill.setColorAt(0, Top);
  Fill.setColorAt(1, Bottom);
  QPainterPath Path;
  Path.addRoundedRect(QRectF(0.5, 0.5, SkinWidth - 1, SkinHeight - 1), 5, 5);
  P.fillPath(Path, Fill);
  P.setPen(QPen(Edge, 1));
  P.drawPath(Path);
  // A highlight along the top edge.
  P.setPen(QPen(QColor(255, 255, 255, 110), 1));
  P.drawLine(QPointF(5, 2.5), QPointF(SkinWidth - 5, 2.5));
  return Image;
}

QImage FilledSkin() {
  return Bar(QColor(120, 200, 255), QColor(22, 110, 205), QColor(16, 86, 170));
}
QImage TrackSkin() {
  return Bar(QColor(226, 226, 226), QColor(246, 246, 246), QColor(168, 168, 168));
}

// A sheet of paper with a green plus.
QImage AddFileIcon() {
  QImage Image = Blank(24, 24);
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);
  QPainterPath Sheet;
  Sheet.moveTo(4.5, 1.5);
  Sheet.lineTo(14.5, 1.5);
  Sheet.lineTo(19.5, 6.5);
  Sheet.lineTo(19.5, 22.5);
  Sheet.lineTo(4.5, 22.5);
  Sheet.closeSubpath();
  P.fillPath(Sheet, QColor(252, 252, 252));
  P.setPen(QPen(QColor(110, 120, 135), 1));
  P.drawPath(Sheet);
  P.drawLine(QPointF(14.5, 1.5), QPointF(14.5, 6.5));
  P.drawLine(QPointF(14.5, 6.5), QPointF(19.5, 6.5));
  P.setPen(QPen(QColor(150, 160, 175), 1));
  for (double Y : {9.5, 12.5, 15.5})
    P.drawLine(QPointF(7, Y), QPointF(13, Y));
  P.setPen(Qt::NoPen);
  P.setBrush(QColor(40, 160, 60));
  P.drawEllipse(QPointF(17, 17), 6, 6);
  P.setPen(QPen(Qt::white, 2));
  P.drawLine(QPointF(17, 13.5), QPointF(17, 20.5));
  P.drawLine(QPointF(13.5, 17), QPointF(20.5, 17));
  return Image;
}

// A silver disc.
QImage DiscIcon() {
  QImage Image = Blank(24, 24);
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);
  QRadialGradient Shine(QPointF(9, 8), 14);
  Shine.setColorAt(0, QColor(250, 250, 255));
  Shine.setColorAt(0.5, QColor(200, 210, 230));
  Shine.setColorAt(1, QColor(150, 165, 195));
  P.setPen(QPen(QColor(100, 110, 130), 1));
  P.setBrush(Shine);
  P.drawEllipse(QPointF(12, 12), 10.5, 10.5);
  P.setBrush(QColor(235, 240, 250));
  P.drawEllipse(QPointF(12, 12), 4, 4);
  P.setBrush(Qt::transparent);
  P.setPen(QPen(QColor(120, 130, 150), 1));
  P.drawEllipse(QPointF(12, 12), 1.8, 1.8);
  return Image;
}

// Two arrows turning into each other: one format into another.
QImage ConvertIcon() {
  QImage Image = Blank(24, 24);
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);
  auto Arrow = [&P](bool Upper, const QColor& Color) {
    QPainterPath Path;
    if (Upper) {
      Path.moveTo(3, 10);
      Path.cubicTo(4, 4, 12, 2, 17, 6);
      Path.lineTo(19, 3);
      Path.lineTo(21, 11);
      Path.lineTo(13, 10);
      Path.lineTo(15, 8);
      Path.cubicTo(11, 5.5, 6.5, 7, 6, 10);
    } else {
      Path.moveTo(21, 14);
      Path.cubicTo(20, 20, 12, 22, 7, 18);
      Path.lineTo(5, 21);
      Path.lineTo(3, 13);
      Path.lineTo(11, 14);
      Path.lineTo(9, 16);
      Path.cubicTo(13, 18.5, 17.5, 17, 18, 14);
    }
    Path.closeSubpath();
    P.fillPath(Path, Color);
    P.setPen(QPen(Color.darker(140), 0.8));
    P.drawPath(Path);
  };
  Arrow(true, QColor(30, 140, 230));
  Arrow(false, QColor(240, 140, 30));
  return Image;
}

// The tip dialog's button glyph: a check mark.
QImage OkGlyph() {
  QImage Image = Blank(16, 16);
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);
  P.setPen(QPen(QColor(30, 150, 50), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  P.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
  return Image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: morvo_art_painter OUTPUT_FOLDER\n");
    return 2;
  }
  const QDir Folder(QString::fromLocal8Bit(argv[1]));
  if (!Folder.mkpath(QStringLiteral("."))) return 1;
  const std::pair<const char*, std::function<QImage()>> Pieces[] = {
      {"progress_filled.png", FilledSkin}, {"progress_track.png", TrackSkin},
      {"icon_add_file.png", AddFileIcon},  {"icon_cd.png", DiscIcon},
      {"icon_convert.png", ConvertIcon},   {"glyph_ok.png", OkGlyph},
  };
  for (const auto& [Name, Paint] : Pieces) {
    if (!Paint().save(Folder.filePath(QString::fromLatin1(Name)), "PNG")) {
      std::fprintf(stderr, "morvo_art_painter: cannot write %s\n", Name);
      return 1;
    }
  }
  return 0;
}
