#include "text/uCueAudioLookup.h"

#include <algorithm>
#include <vector>

#include "infra/uLxFileUtils.h"

namespace {

std::u16string WithSlashes(std::u16string S) {
  std::replace(S.begin(), S.end(), u'\\', u'/');
  return S;
}

// True when Path names an existing file. Sheets come from Windows, whose
// file names ignore letter case: when the exact name is missing, a file of
// the folder whose name differs only in case is taken, and Path is set to it.
// A FIFO or device is no audio file: opening it to learn its length could
// wait forever.
bool ResolveExistingFile(std::u16string& Path) {
  if (WideSourceFileExists(Path)) return true;
  const std::u16string Folder = WideExtractFilePath(Path);
  const std::u16string Wanted = WideUpperAscii(WideExtractFileName(Path));
  if (Wanted.empty()) return false;
  std::vector<std::u16string> Matches;
  TSearchRecW Rec;
  if (WideFindFirst(Folder + u"*.*", faAnyFile, Rec) != 0) return false;
  do {
    if ((Rec.Attr & (faDirectory | faDevice)) == 0 && WideUpperAscii(Rec.Name) == Wanted)
      Matches.push_back(Rec.Name);
  } while (WideFindNext(Rec) == 0);
  WideFindClose(Rec);
  if (Matches.empty()) return false;
  Path = Folder + *std::min_element(Matches.begin(), Matches.end());
  return true;
}

// Name, and Name with the extension ".ape" unless it has that one already:
// an image compressed after the sheet was written.
bool ResolveWithApeFallback(std::u16string& Path) {
  if (ResolveExistingFile(Path)) return true;
  if (WideLowerAscii(WideExtractFileExt(Path)) == u".ape") return false;
  Path = WideChangeFileExt(Path, u".ape");
  return ResolveExistingFile(Path);
}

}  // namespace

bool FindCueAudioFile(const std::u16string& CueFileName, const std::u16string& NameInSheet,
                      bool SheetNamesOneFile, std::u16string& Path) {
  const std::u16string Folder = WideExtractFilePath(CueFileName);
  Path = Folder + NameInSheet;
  if (ResolveExistingFile(Path)) return true;
  // A sheet written on Windows may name a sub-folder with a backslash.
  if (NameInSheet.find(u'\\') != std::u16string::npos) {
    Path = Folder + WithSlashes(NameInSheet);
    if (ResolveExistingFile(Path)) return true;
  }
  // The sheet may have been renamed together with its image, or the image
  // compressed to APE after the sheet was written. Only for a sheet of one
  // image: the tracks of several files cannot all lie in the sheet's
  // namesake.
  if (SheetNamesOneFile) {
    Path = WideChangeFileExt(CueFileName, WideExtractFileExt(NameInSheet));
    if (ResolveWithApeFallback(Path)) return true;
  }
  // A path from the machine that wrote the sheet ("D:\\Rips\\x.wav", or the
  // ripper's sub-folder) with the file now beside the sheet; and the image
  // of one of several files compressed to APE.
  const std::u16string BareName = WideExtractFileName(NameInSheet);
  if (BareName.empty()) return false;
  Path = Folder + BareName;
  if (BareName != NameInSheet && ResolveExistingFile(Path)) return true;
  if (WideLowerAscii(WideExtractFileExt(Path)) == u".ape") return false;
  Path = WideChangeFileExt(Path, u".ape");
  return ResolveExistingFile(Path);
}
