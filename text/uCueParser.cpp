#include "text/uCueParser.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "codecs/uEncodeIntf.h"
#include "codecs/uLxPlayerDllExport.h"
#include "infra/uLxFileUtils.h"
#include "platform/uCodePage.h"
#include "text/uTextReader.h"

namespace {

// Cue values are cut to these lengths before they are stored.
constexpr size_t ValueChars = 99;
constexpr size_t TypeChars = 100;

// Keyword and value are parted by a space; a tab serves as well, as some
// sheets are written with tabs between the fields.
size_t FindBlank(std::u16string_view S) {
  return S.find_first_of(u" \t");
}

std::u16string Head(std::u16string_view S, size_t Count) {
  return std::u16string(S.substr(0, Count));
}

// The text before the first blank (empty when there is none).
std::u16string FirstWord(std::u16string_view S) {
  const size_t Blank = FindBlank(S);
  return Blank == std::u16string_view::npos ? std::u16string() : Head(S, Blank);
}

std::u16string WithoutQuotes(std::u16string S) {
  std::erase(S, u'"');
  return S;
}

// Decimal integer with an optional sign, nothing else; false when the text
// is not one or does not fit in 32 bits.
bool TryParseInt(std::u16string_view S, int32_t& Value) {
  size_t I = 0;
  bool Negative = false;
  if (I < S.size() && (S[I] == u'+' || S[I] == u'-')) {
    Negative = S[I] == u'-';
    ++I;
  }
  if (I == S.size())
    return false;
  int64_t Acc = 0;
  for (; I < S.size(); ++I) {
    if (S[I] < u'0' || S[I] > u'9')
      return false;
    Acc = Acc * 10 + (S[I] - u'0');
    if (Acc > int64_t(std::numeric_limits<int32_t>::max()) + 1)
      return false;
  }
  if (Negative)
    Acc = -Acc;
  if (Acc > std::numeric_limits<int32_t>::max() || Acc < std::numeric_limits<int32_t>::min())
    return false;
  Value = int32_t(Acc);
  return true;
}

int32_t ParseIntOrZero(std::u16string_view S) {
  int32_t Value = 0;
  return TryParseInt(S, Value) ? Value : 0;
}

// The text before the first occurrence of Delimiter (empty when there is
// none); Text loses everything through that delimiter.
std::u16string TakeBefore(std::u16string& Text, char16_t Delimiter) {
  const size_t Pos = Text.find(Delimiter);
  if (Pos == std::u16string::npos)
    return {};
  std::u16string Before = Text.substr(0, Pos);
  Text.erase(0, Pos + 1);
  return Before;
}

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
  if (Wanted.empty())
    return false;
  std::vector<std::u16string> Matches;
  TSearchRecW Rec;
  if (WideFindFirst(Folder + u"*.*", faAnyFile, Rec) != 0)
    return false;
  do {
    if ((Rec.Attr & (faDirectory | faDevice)) == 0 && WideUpperAscii(Rec.Name) == Wanted)
      Matches.push_back(Rec.Name);
  } while (WideFindNext(Rec) == 0);
  WideFindClose(Rec);
  if (Matches.empty())
    return false;
  Path = Folder + *std::min_element(Matches.begin(), Matches.end());
  return true;
}

// Code page for a sheet without byte-order mark, decided for the sheet as a
// whole: on a UTF-8 desktop a sheet that is not UTF-8 throughout is in the
// legacy code page, also on its lines whose bytes happen to form valid
// UTF-8 (the GBK bytes of "学习" do). 0 is the system code page.
int32_t SheetCodePage(const std::vector<uint8_t>& Bytes) {
  const std::string_view Text(reinterpret_cast<const char*>(Bytes.data()), Bytes.size());
  if (EncodingOfMark(Text) != teAnsi || !platform::AnsiIsUtf8())
    return 0;
  return platform::IsValidUtf8(Text) ? 0 : int32_t(platform::LegacyCodePage());
}

// Duration in 100-ns units to milliseconds, rounded to the nearest (ties
// to even), kept within the 32-bit bounds of a track.
int32_t DurationToMs(int64_t Duration) {
  const double Ms = std::nearbyint(double(Duration) / 10000.0);
  if (Ms <= 0)
    return 0;
  if (Ms >= double(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return int32_t(Ms);
}

} // namespace

TCueParser::TCueParser() : FLines(std::make_unique<TWideStringList>()) {}

TCueParser::~TCueParser() = default;

const TCueTrack& TCueParser::Track(int Number) const {
  if (Number < 1 || Number > MaxTracks)
    throw std::out_of_range("TCueParser::Track");
  return FTracks[size_t(Number - 1)];
}

void TCueParser::ResetForParse() {
  FLines->Clear();
  FTitle.clear();
  FPerformer.clear();
  FCurrentTrack = 0;
  FSkippingTrack = false;
  FParseFailed = false;
  FTracks = {};
  FTrackCount = 0;
  FSheetTags.Clear();
}

bool TCueParser::Parse(const std::u16string& CueFileName) {
  ResetForParse();
  // Outside the guard: a sheet that cannot be read is the caller's error.
  LoadSheet(CueFileName);
  try {
    bool Result = true;
    for (int I = 0; I < FLines->Count(); ++I)
      Result = ParseLine(platform::WideToAnsi(FLines->Get(I)));
    if (FCurrentTrack == 0)
      return Result;

    FTrackCount = FCurrentTrack;
    FTracks[size_t(FTrackCount - 1)].EndMs = 0;
    for (int N = 1; N <= FTrackCount; ++N)
      if (FTracks[size_t(N - 1)].Performer.empty())
        FTracks[size_t(N - 1)].Performer = FPerformer;

    std::u16string Path;
    if (!FindAudioFile(CueFileName, Path)) {
      ClearTrackTimes();
      return false;
    }
    FFileName = Path;
    if (Result)
      CloseLastTrack(Path);
    return Result;
  } catch (...) {
    FParseFailed = true;
    return false;
  }
}

void TCueParser::LoadSheet(const std::u16string& CueFileName) {
  TMemoryStream Sheet;
  {
    TFileStreamW File(CueFileName, fmOpenRead | fmShareDenyWrite);
    Sheet.CopyFrom(File, 0);
  }
  Sheet.SetPosition(0);
  FLines->LoadFromStream(Sheet, SheetCodePage(Sheet.Bytes()));
}

bool TCueParser::FindAudioFile(const std::u16string& CueFileName, std::u16string& Path) const {
  const std::u16string Folder = WideExtractFilePath(CueFileName);
  Path = Folder + FFileName;
  if (ResolveExistingFile(Path))
    return true;
  // A sheet written on Windows may name a sub-folder with a backslash.
  if (FFileName.find(u'\\') != std::u16string::npos) {
    Path = Folder + WithSlashes(FFileName);
    if (ResolveExistingFile(Path))
      return true;
  }
  // The sheet may have been renamed together with its image, or the image
  // compressed to APE after the sheet was written.
  const std::u16string FileExt = WideExtractFileExt(FFileName);
  Path = WideChangeFileExt(CueFileName, FileExt);
  if (ResolveExistingFile(Path))
    return true;
  if (WideLowerAscii(FileExt) == u".ape")
    return false;
  Path = WideChangeFileExt(Path, u".ape");
  return ResolveExistingFile(Path);
}

void TCueParser::CloseLastTrack(const std::u16string& Path) {
  // Released on every way out, exceptions of the library's calls included.
  TComPtr<IDecoderEx> Decoder;
  if (IsPlayerLibraryAvailable())
    CreateDecoder(*Decoder.Put());
  if (!Decoder) {
    ClearTrackTimes();
    return;
  }
  if ((Decoder->Open(Path.c_str()) & 0xFF) == 0)
    return;
  TDecoderInfo Info{};
  Decoder->GetInfo(&Info);
  FTracks[size_t(FTrackCount - 1)].EndMs = DurationToMs(Info.Duration);
}

void TCueParser::ClearTrackTimes() {
  for (int N = 1; N <= FTrackCount; ++N) {
    FTracks[size_t(N - 1)].StartMs = 0;
    FTracks[size_t(N - 1)].EndMs = 0;
  }
}

TCueTrack& TCueParser::CurrentTrack() {
  return FTracks[size_t(FCurrentTrack - 1)];
}

bool TCueParser::ParseLine(const std::string& Line) {
  const std::u16string L = WideTrim(platform::AnsiToWide(Line));
  const size_t Blank = FindBlank(L);
  if (Blank == std::u16string::npos)
    return true;
  const std::u16string Keyword = L.substr(0, Blank);
  const std::u16string Rest = L.substr(Blank + 1);

  if (Keyword == u"TRACK") {
    ParseTrackLine(Rest);
  } else if (Keyword == u"FILE") {
    // Also within a refused track: FILE names the audio of all that follow.
    ParseFileLine(Rest);
  } else if (FSkippingTrack) {
    // Any other line of a track that was refused for its number: dropped.
  } else if (Keyword == u"TITLE") {
    const std::u16string V = WithoutQuotes(Head(Rest, ValueChars));
    if (FCurrentTrack == 0)
      FTitle = WideTrim(V);
    else
      CurrentTrack().Title = V;
  } else if (Keyword == u"PERFORMER") {
    const std::u16string V = WithoutQuotes(Head(Rest, ValueChars));
    if (FCurrentTrack == 0)
      FPerformer = V;
    else
      CurrentTrack().Performer = V;
  } else if (Keyword == u"SONGWRITER") {
    FSongwriter = WideTrim(WithoutQuotes(Head(Rest, ValueChars)));
  } else if (Keyword == u"CATALOG") {
    FCatalog = WideTrim(Head(Rest, ValueChars));
  } else if (Keyword == u"INDEX") {
    ParseIndexLine(Rest);
  }
  if (!FSkippingTrack)
    FSheetTags.TakeLine(FCurrentTrack, Keyword, Rest);
  return true;
}

void TCueParser::ParseFileLine(const std::u16string& Rest) {
  std::u16string Text = Rest;
  std::u16string Name;
  const size_t Open = Text.find(u'"');
  if (Open != std::u16string::npos) {
    Text.erase(0, Open + 1);
    Name = TakeBefore(Text, u'"');
  } else {
    // An unquoted name (allowed when it holds no blank): the file type is
    // the last word of the line.
    const size_t LastBlank = Text.find_last_of(u" \t");
    if (LastBlank != std::u16string::npos) {
      Name = Text.substr(0, LastBlank);
      Text.erase(0, LastBlank + 1);
    }
  }
  FFileType = WideTrim(Head(Text, TypeChars));
  FFileName = WideTrim(WithoutQuotes(Name));
}

void TCueParser::ParseTrackLine(const std::u16string& Rest) {
  int32_t Number = 0;
  if (!TryParseInt(FirstWord(Rest), Number))
    Number = 1;
  FSkippingTrack = Number < 1 || Number > MaxTracks;
  if (!FSkippingTrack)
    FCurrentTrack = Number;
}

void TCueParser::ParseIndexLine(const std::u16string& Rest) {
  const std::u16string NumberText = FirstWord(Rest);
  int32_t Number = 0;
  if (!TryParseInt(NumberText, Number))
    throw std::invalid_argument("'" + platform::WideToUtf8(NumberText) +
                                "' is not a valid integer value");
  if (Number != 1)
    return;
  // A number was read, so a blank follows it.
  const int32_t Start =
      ParseCueTime(platform::WideToAnsi(Head(Rest.substr(NumberText.size() + 1), TypeChars)));
  if (FCurrentTrack > 0)
    CurrentTrack().StartMs = Start;
  if (FCurrentTrack > 1)
    FTracks[size_t(FCurrentTrack - 2)].EndMs = Start;
}

int32_t TCueParser::ParseCueTime(const std::string& Text) {
  std::u16string Rest = platform::AnsiToWide(Text);
  const int32_t M = ParseIntOrZero(TakeBefore(Rest, u':'));
  const int32_t S = ParseIntOrZero(TakeBefore(Rest, u':'));
  const int32_t F = ParseIntOrZero(Head(Rest, ValueChars));
  // Each field counts only with its low 8 bits. Computed in whole numbers:
  // the exact value truncated, without floating-point residue.
  const int64_t Frames = (int64_t(uint8_t(M)) * 60 + uint8_t(S)) * 75 + uint8_t(F);
  return int32_t(Frames * 1000 / 75);
}
