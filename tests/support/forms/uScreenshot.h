// Saving pictures of the window for people to look at (the screenshot
// programs). GUI thread.
#pragma once

#include <QDir>
#include <QPixmap>
#include <QString>
#include <cstdio>

namespace morvotest {

// Saves Picture, Scale times as large, as the PNG file Folder/Name and
// prints its path; false (and a message) when there is nothing to save or
// the file cannot be written.
inline bool SavePng(const QPixmap& Picture, const QDir& Folder, const char* Name, int Scale = 1) {
  const QString File = Folder.filePath(QString::fromLatin1(Name));
  if (Picture.isNull() ||
      !(Scale == 1 ? Picture : Picture.scaled(Picture.size() * Scale)).save(File, "PNG")) {
    std::fprintf(stderr, "cannot save %s\n", qPrintable(File));
    return false;
  }
  std::printf("%s\n", qPrintable(File));
  return true;
}

}  // namespace morvotest
