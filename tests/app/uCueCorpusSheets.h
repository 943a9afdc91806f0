// The test's own reading of the corpus sheets (tests/text/cue-corpus): what
// each sheet asks for, worked out independently of the system's parser, as
// the oracle for the names and cuts the system makes. Text in the charset
// the corpus says each sheet is written in (SOURCES); cut points by the CD
// frame arithmetic: sample = (mm * 60 + ss) * rate + ff * rate / 75.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/uCodePage.h"
#include "tests/support/uTestFiles.h"

namespace cuecorpus {

namespace fs = std::filesystem;

inline const fs::path& CorpusRoot() {
  static const fs::path Root = fs::path(MORVO_SOURCE_DIR) / "tests" / "text" / "cue-corpus";
  return Root;
}

// Every sheet of the corpus, as paths below its root, in a stable order.
inline std::vector<std::string> CorpusSheets() {
  std::set<std::string> Sheets;
  for (const auto& Entry : fs::recursive_directory_iterator(CorpusRoot()))
    if (Entry.path().extension() == ".cue")
      Sheets.insert(fs::relative(Entry.path(), CorpusRoot()).generic_string());
  return {Sheets.begin(), Sheets.end()};
}

// The charset a sheet without byte-order mark is written in (SOURCES).
inline std::string TrueCharset(const std::string& Sheet) {
  const auto EndsWith = [&Sheet](const std::string& Tail) {
    return Sheet.size() >= Tail.size() &&
           Sheet.compare(Sheet.size() - Tail.size(), Tail.size(), Tail) == 0;
  };
  if (EndsWith(".gbk.cue")) return "CP936";
  if (EndsWith(".big5.cue")) return "CP950";
  if (EndsWith(".euc-kr.cue")) return "CP949";
  if (EndsWith(".shift-jis.cue")) return "CP932";
  if (EndsWith(".cp1251.cue") || Sheet == "deflacue/vys2.cue") return "CP1251";
  if (Sheet == "cuesheetnet/Aqualung 1252.cue" || Sheet == "cuesheetnet/Jethro Tull - Aqualung.cue")
    return "CP1252";
  return "UTF-8";
}

struct TSheetText {
  std::string Mark;     // the byte-order mark the file starts with
  std::string Charset;  // of the text after the mark
  std::u16string Text;
};

inline TSheetText DecodeSheet(const std::string& Bytes, const std::string& Sheet) {
  TSheetText Result;
  if (Bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
    Result = {Bytes.substr(0, 3), "UTF-8", {}};
  } else if (Bytes.rfind("\xFF\xFE", 0) == 0) {
    Result = {Bytes.substr(0, 2), "UTF-16LE", {}};
  } else if (Bytes.rfind("\xFE\xFF", 0) == 0) {
    Result = {Bytes.substr(0, 2), "UTF-16BE", {}};
  } else {
    Result = {"", TrueCharset(Sheet), {}};
  }
  Result.Text = platform::CharsetToWide(Result.Charset, Bytes.substr(Result.Mark.size()));
  return Result;
}

inline std::string EncodeSheet(const TSheetText& Sheet) {
  return Sheet.Mark + platform::WideToCharset(Sheet.Charset, Sheet.Text);
}

struct TOracleFile {
  std::u16string Name;    // as the sheet writes it
  bool Audio = true;      // not a BINARY (data) file
  int64_t LastFrame = 0;  // the latest INDEX of any number in this file
};

struct TOracleTrack {
  int Number = 0;
  std::u16string Title, Performer;
  bool Audio = true;
  int File = -1;         // the FILE of its INDEX 01 (of its TRACK line without one)
  int64_t Index01 = -1;  // in CD frames
};

struct TOracleSheet {
  std::u16string Performer;
  std::vector<TOracleFile> Files;
  std::vector<TOracleTrack> Tracks;
};

// The words of a line: blank- or tab-separated, a quoted word kept whole
// without its quotes.
inline std::vector<std::u16string> Words(const std::u16string& Line) {
  std::vector<std::u16string> Result;
  size_t I = 0;
  while (I < Line.size()) {
    while (I < Line.size() && (Line[I] == u' ' || Line[I] == u'\t'))
      ++I;
    if (I == Line.size()) break;
    std::u16string Word;
    if (Line[I] == u'"') {
      const size_t Close = Line.find(u'"', I + 1);
      Word =
          Line.substr(I + 1, Close == std::u16string::npos ? std::u16string::npos : Close - I - 1);
      I = Close == std::u16string::npos ? Line.size() : Close + 1;
    } else {
      while (I < Line.size() && Line[I] != u' ' && Line[I] != u'\t')
        Word += Line[I++];
    }
    Result.push_back(Word);
  }
  return Result;
}

inline std::vector<std::u16string> Lines(const std::u16string& Text) {
  std::vector<std::u16string> Result(1);
  for (char16_t C : Text) {
    if (C == u'\r' || C == u'\n')
      Result.emplace_back();
    else
      Result.back() += C;
  }
  return Result;
}

// The value of a TITLE or PERFORMER line: all after the keyword, without
// its quotes.
inline std::u16string Value(const std::u16string& Line) {
  const size_t Keyword = Line.find_first_not_of(u" \t");
  const size_t Rest = Line.find_first_not_of(u" \t", Line.find_first_of(u" \t", Keyword));
  std::u16string Result = Line.substr(Rest);
  while (!Result.empty() && (Result.back() == u' ' || Result.back() == u'\t'))
    Result.pop_back();
  std::erase(Result, u'"');
  return Result;
}

inline int64_t Frames(const std::u16string& Time) {
  const std::string T = platform::WideToUtf8(Time);
  int M = 0, S = 0, F = 0;
  std::sscanf(T.c_str(), "%d:%d:%d", &M, &S, &F);
  return (int64_t(M) * 60 + S) * 75 + F;
}

inline TOracleSheet ReadSheet(const std::u16string& Text) {
  TOracleSheet Sheet;
  int File = -1;
  for (const std::u16string& Line : Lines(Text)) {
    const std::vector<std::u16string> W = Words(Line);
    if (W.size() < 2) continue;
    TOracleTrack* Track = Sheet.Tracks.empty() ? nullptr : &Sheet.Tracks.back();
    if (W[0] == u"FILE") {
      File = int(Sheet.Files.size());
      Sheet.Files.push_back({W[1], W.size() < 3 || W[2] != u"BINARY", 0});
    } else if (W[0] == u"TRACK") {
      Sheet.Tracks.push_back(
          {std::stoi(platform::WideToUtf8(W[1])), {}, {}, W.size() > 2 && W[2] == u"AUDIO", File});
    } else if (W[0] == u"TITLE" && Track) {
      Track->Title = Value(Line);
    } else if (W[0] == u"PERFORMER") {
      (Track ? Track->Performer : Sheet.Performer) = Value(Line);
    } else if (W[0] == u"INDEX" && W.size() >= 3 && File >= 0) {
      const int64_t Frame = Frames(W[2]);
      Sheet.Files[size_t(File)].LastFrame = std::max(Sheet.Files[size_t(File)].LastFrame, Frame);
      if (Track && std::stoi(platform::WideToUtf8(W[1])) == 1) {
        Track->Index01 = Frame;
        Track->File = File;
      }
    }
  }
  for (TOracleTrack& Track : Sheet.Tracks)
    Track.Audio = Track.Audio && Track.File >= 0 && Sheet.Files[size_t(Track.File)].Audio;
  return Sheet;
}

// What the system is to make of one audio track.
struct TExpectedTrack {
  int Number = 0;
  std::u16string TargetName;
  int File = -1;
  int64_t StartFrame = 0;
  int64_t EndFrame = -1;  // -1: the end of the file
};

inline std::u16string CleanName(std::u16string Name) {
  for (char16_t& C : Name)
    if (std::u16string_view(u"\\/:*?\"<>|").find(C) != std::u16string_view::npos) C = u'-';
  return Name;
}

inline std::u16string LowerAscii(std::u16string S) {
  for (char16_t& C : S)
    if (C >= u'A' && C <= u'Z') C = char16_t(C - u'A' + u'a');
  return S;
}

// The audio tracks in order: "performer - title.wav" (the album's performer
// for a track without one, the two-digit number for a blank title, " (NN)"
// for a name an earlier track has), cut from the file's start for the first
// track of a file, else from INDEX 01 to the next INDEX 01 in the file.
inline std::vector<TExpectedTrack> ExpectedTracks(const TOracleSheet& Sheet) {
  std::vector<TExpectedTrack> Result;
  std::set<std::u16string> Names;
  std::vector<bool> FileStarted(Sheet.Files.size(), false);
  for (const TOracleTrack& Track : Sheet.Tracks) {
    if (!Track.Audio) continue;
    char Number[16];
    std::snprintf(Number, sizeof Number, "%02d", Track.Number);
    const bool BlankTitle = Track.Title.find_first_not_of(u' ') == std::u16string::npos;
    const std::u16string Title = BlankTitle ? platform::Utf8ToWide(Number) : Track.Title;
    const std::u16string Performer = Track.Performer.empty() ? Sheet.Performer : Track.Performer;
    std::u16string Name = CleanName(Performer + u" - " + Title);
    if (!Names.insert(LowerAscii(Name + u".wav")).second)
      Name += u" (" + platform::Utf8ToWide(Number) + u")";
    Names.insert(LowerAscii(Name + u".wav"));
    TExpectedTrack Expected{Track.Number, Name + u".wav", Track.File,
                            FileStarted[size_t(Track.File)] ? Track.Index01 : 0, -1};
    FileStarted[size_t(Track.File)] = true;
    for (auto Before = Result.rbegin(); Before != Result.rend(); ++Before)
      if (Before->File == Track.File) {
        Before->EndFrame = Track.Index01;
        break;
      }
    Result.push_back(Expected);
  }
  return Result;
}

}  // namespace cuecorpus
