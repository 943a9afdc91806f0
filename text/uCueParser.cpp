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
#include "text/uCueAudioLookup.h"
#include "text/uTextReader.h"

namespace {

// Cue values are cut to these lengths before they are stored.
constexpr size_t ValueChars = 99;
constexpr size_t TypeChars = 100;

// Keyword and value are parted by a space; a tab serves as well, as some
// sheets are written with tabs between the fields.
size_t FindBlank(std::u16string_view S) { return S.find_first_of(u" \t"); }

std::u16string Head(std::u16string_view S, size_t Count) {
  return std::u16string(S.substr(0, Count));
}

// The text before the first blank (empty when there is none).
std::u16string FirstWord(std::u16string_view S) {
  const size_t Blank = FindBlank(S);
  return Blank == std::u16string_view::npos ? std::u16string() : Head(S, Blank);
}

// S without blanks and tabs at its start.
std::u16string SkipBlanks(std::u16string_view S) {
  const size_t First = S.find_first_not_of(u" \t");
  return First == std::u16string_view::npos ? std::u16string() : std::u16string(S.substr(First));
}

// S without blanks and tabs at either end.
std::u16string TrimBlanks(std::u16string_view S) {
  const size_t Last = S.find_last_not_of(u" \t");
  return Last == std::u16string_view::npos ? std::u16string() : SkipBlanks(S.substr(0, Last + 1));
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
  if (I == S.size()) return false;
  int64_t Acc = 0;
  for (; I < S.size(); ++I) {
    if (S[I] < u'0' || S[I] > u'9') return false;
    Acc = Acc * 10 + (S[I] - u'0');
    if (Acc > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
  }
  if (Negative) Acc = -Acc;
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
  if (Pos == std::u16string::npos) return {};
  std::u16string Before = Text.substr(0, Pos);
  Text.erase(0, Pos + 1);
  return Before;
}

// Duration in 100-ns units to milliseconds, rounded to the nearest (ties
// to even), kept within the 32-bit bounds of a track.
int32_t DurationToMs(int64_t Duration) {
  const double Ms = std::nearbyint(double(Duration) / 10000.0);
  if (Ms <= 0) return 0;
  if (Ms >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return int32_t(Ms);
}

}  // namespace

TCueParser::TCueParser() : FLines(std::make_unique<TWideStringList>()) {}

TCueParser::~TCueParser() = default;

const TCueTrack& TCueParser::Track(int Number) const {
  if (Number < 1 || Number > MaxTracks) throw std::out_of_range("TCueParser::Track");
  return FTracks[size_t(Number - 1)];
}

void TCueParser::ResetForParse() {
  FLines->Clear();
  FTitle.clear();
  FPerformer.clear();
  FCurrentTrack = 0;
  FHighestTrack = 0;
  FSkippingTrack = false;
  FParseFailed = false;
  FTracks = {};
  FPlaces = {};
  FSheetFiles.clear();
  FFoundFiles.clear();
  FCurrentFile = -1;
  FTrackCount = 0;
  FSheetTags.Clear();
}

bool TCueParser::Parse(const std::u16string& CueFileName) {
  ResetForParse();
  // Outside the guard: a sheet that cannot be read is the caller's error.
  FLines->LoadFromFile(CueFileName, 0);
  try {
    bool Result = true;
    for (int I = 0; I < FLines->Count(); ++I)
      Result = ParseLine(platform::WideToAnsi(FLines->Get(I)));
    if (FCurrentTrack == 0) return Result;

    FTrackCount = FCurrentTrack;
    for (int N = 1; N <= FTrackCount; ++N) {
      TCueTrack& Track = FTracks[size_t(N - 1)];
      if (Track.Performer.empty()) Track.Performer = FPerformer;
      // The last track of each file ends where its file does.
      const int32_t File = FPlaces[size_t(N - 1)].File;
      if (N == FTrackCount || (File >= 0 && LastTrackOfFile(File) == N)) Track.EndMs = 0;
    }

    if (!FindAudioFiles(CueFileName)) {
      ClearTrackTimes();
      return false;
    }
    PlaceCuts();
    if (Result) CloseLastTracks();
    return Result;
  } catch (...) {
    FParseFailed = true;
    return false;
  }
}

int32_t TCueParser::LastTrackOfFile(int32_t File) const {
  for (int32_t N = FTrackCount; N >= 1; --N)
    if (FPlaces[size_t(N - 1)].Named && FPlaces[size_t(N - 1)].File == File) return N;
  return 0;
}

bool TCueParser::FindAudioFiles(const std::u16string& CueFileName) {
  std::vector<bool> Used(FSheetFiles.size(), false);
  for (int32_t N = 1; N <= FTrackCount; ++N)
    if (FPlaces[size_t(N - 1)].File >= 0) Used[size_t(FPlaces[size_t(N - 1)].File)] = true;
  std::vector<std::u16string> Names;
  for (size_t F = 0; F < FSheetFiles.size(); ++F)
    if (Used[F] && std::find(Names.begin(), Names.end(), FSheetFiles[F]) == Names.end())
      Names.push_back(FSheetFiles[F]);
  const bool OneFile = Names.size() == 1;
  FFoundFiles.assign(FSheetFiles.size(), std::u16string());
  for (const std::u16string& Name : Names) {
    std::u16string Path;
    if (!FindCueAudioFile(CueFileName, Name, OneFile, Path)) continue;
    for (size_t F = 0; F < FSheetFiles.size(); ++F)
      if (FSheetFiles[F] == Name) FFoundFiles[F] = Path;
  }
  bool Found = false;
  for (int32_t N = 1; N <= FTrackCount; ++N) {
    const int32_t File = FPlaces[size_t(N - 1)].File;
    if (File < 0 || FFoundFiles[size_t(File)].empty()) continue;
    FTracks[size_t(N - 1)].FileName = FFoundFiles[size_t(File)];
    if (!Found) FFileName = FFoundFiles[size_t(File)];
    Found = true;
  }
  return Found;
}

void TCueParser::PlaceCuts() {
  // Track numbers of each file in order, and where the previous one began.
  std::vector<int32_t> Previous(FSheetFiles.size(), 0);
  for (int32_t N = 1; N <= FTrackCount; ++N) {
    const TTrackPlace& Place = FPlaces[size_t(N - 1)];
    TCueTrack& Track = FTracks[size_t(N - 1)];
    Track.StartFrame = Track.EndFrame = -1;
    if (!Place.Named || Place.File < 0) continue;
    int32_t& Before = Previous[size_t(Place.File)];
    if (Before == 0) {
      Track.StartFrame = 0;
    } else if (Place.Index01 >= 0) {
      Track.StartFrame = Place.Index01;
      // The track before it in this file ends here; one without a position
      // of its own has none to end.
      FTracks[size_t(Before - 1)].EndFrame = Place.Index01;
    } else {
      continue;
    }
    Before = N;
  }
}

void TCueParser::CloseLastTracks() {
  if (!IsPlayerLibraryAvailable()) {
    ClearTrackTimes();
    return;
  }
  for (size_t F = 0; F < FFoundFiles.size(); ++F) {
    const int32_t Last = LastTrackOfFile(int32_t(F));
    if (FFoundFiles[F].empty() || Last == 0) continue;
    // Released on every way out, exceptions of the library's calls included.
    TComPtr<IDecoderEx> Decoder;
    CreateDecoder(*Decoder.Put());
    if (!Decoder) {
      ClearTrackTimes();
      return;
    }
    if ((Decoder->Open(FFoundFiles[F].c_str()) & 0xFF) == 0) continue;
    TDecoderInfo Info{};
    Decoder->GetInfo(&Info);
    FTracks[size_t(Last - 1)].EndMs = DurationToMs(Info.Duration);
  }
}

void TCueParser::ClearTrackTimes() {
  for (int N = 1; N <= FTrackCount; ++N) {
    TCueTrack& Track = FTracks[size_t(N - 1)];
    Track.StartMs = Track.EndMs = 0;
    // No cut either: an empty range, which nothing converts.
    Track.StartFrame = Track.EndFrame = 0;
  }
}

TCueTrack& TCueParser::CurrentTrack() { return FTracks[size_t(FCurrentTrack - 1)]; }

bool TCueParser::ParseLine(const std::string& Line) {
  const std::u16string L = WideTrim(platform::AnsiToWide(Line));
  const size_t Blank = FindBlank(L);
  if (Blank == std::u16string::npos) return true;
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
  if (!FSkippingTrack) FSheetTags.TakeLine(FCurrentTrack, Keyword, Rest);
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
  // The tracks that follow lie in this file, their times counted from its
  // start, also when an earlier FILE line named the same file.
  FCurrentFile = int32_t(FSheetFiles.size());
  FSheetFiles.push_back(FFileName);
}

void TCueParser::ParseTrackLine(const std::u16string& Rest) {
  int32_t Number = 0;
  if (!TryParseInt(FirstWord(SkipBlanks(Rest)), Number)) Number = 1;
  // A number given again (a sheet of several discs that counts each from
  // 1) takes the next number after the highest: its track must not
  // overwrite the earlier one.
  if (Number >= 1 && Number <= MaxTracks && FPlaces[size_t(Number - 1)].Named)
    Number = FHighestTrack + 1;
  FSkippingTrack = Number < 1 || Number > MaxTracks;
  if (FSkippingTrack) return;
  FCurrentTrack = Number;
  FHighestTrack = std::max(FHighestTrack, Number);
  FPlaces[size_t(Number - 1)].Named = true;
  FPlaces[size_t(Number - 1)].File = FCurrentFile;
}

void TCueParser::ParseIndexLine(const std::u16string& Line) {
  const std::u16string Rest = SkipBlanks(Line);
  const std::u16string NumberText = FirstWord(Rest);
  int32_t Number = 0;
  if (!TryParseInt(NumberText, Number))
    throw std::invalid_argument("'" + platform::WideToUtf8(NumberText) +
                                "' is not a valid integer value");
  if (Number != 1) return;
  // A number was read, so a blank follows it.
  const std::string Time =
      platform::WideToAnsi(Head(Rest.substr(NumberText.size() + 1), TypeChars));
  const int32_t Start = ParseCueTime(Time);
  if (FCurrentTrack <= 0) return;
  CurrentTrack().StartMs = Start;
  TTrackPlace& Place = FPlaces[size_t(FCurrentTrack - 1)];
  Place.Index01 = ParseCueFrames(Time);
  // An EAC sheet with gaps appended to the previous track names the next
  // FILE between a track's INDEX 00 and its INDEX 01: the track lies in
  // the file of its INDEX 01.
  Place.File = FCurrentFile;
  // The track before ends here when it lies in the same file.
  if (FCurrentTrack > 1) {
    const TTrackPlace& Before = FPlaces[size_t(FCurrentTrack - 2)];
    if (!Before.Named || Before.File == FCurrentFile)
      FTracks[size_t(FCurrentTrack - 2)].EndMs = Start;
  }
}

namespace {

// The three fields of "mm:ss:ff" (0 for a field that is not an integer).
void SplitCueTime(const std::string& Text, int32_t& M, int32_t& S, int32_t& F) {
  std::u16string Rest = platform::AnsiToWide(Text);
  const auto Field = [](std::u16string_view Value) { return ParseIntOrZero(TrimBlanks(Value)); };
  M = Field(TakeBefore(Rest, u':'));
  S = Field(TakeBefore(Rest, u':'));
  F = Field(Head(Rest, ValueChars));
}

}  // namespace

int32_t TCueParser::ParseCueTime(const std::string& Text) {
  int32_t M, S, F;
  SplitCueTime(Text, M, S, F);
  // Each field counts only with its low 8 bits. Computed in whole numbers:
  // the exact value truncated, without floating-point residue.
  const int64_t Frames = (int64_t(uint8_t(M)) * 60 + uint8_t(S)) * CueFramesPerSecond + uint8_t(F);
  return int32_t(Frames * 1000 / CueFramesPerSecond);
}

int64_t TCueParser::ParseCueFrames(const std::string& Text) {
  int32_t M, S, F;
  SplitCueTime(Text, M, S, F);
  return (int64_t(std::max(M, 0)) * 60 + std::max(S, 0)) * CueFramesPerSecond + std::max(F, 0);
}
