// The real cue sheets of the corpus (tests/text/cue-corpus), each split by
// the real engine from an image made to its measure: every audio track must
// be there, named as the sheet says, cut at the exact sample (compared byte
// for byte with shntool's shnsplit where it reads the sheet, and with the CD
// frame arithmetic always), and the tracks of each file joined must give
// back the file. Each sheet is split from WAV and from FLAC images, and from
// APE images made by the system's own encoder where its FILE lines name
// audio of another kind (CUETools' ".dummy" files, found through the ".ape"
// fallback).
//
// An image holds white noise around every cut and at its ends and silence
// between (kept as holes in the file), so that long albums stay cheap; its
// length is the sheet's last INDEX in that file and a tail that ends off any
// CD frame. The work lies in memory (/dev/shm) where the machine has it.
//
// Each run prints one line "[corpus] <sheet> <format>: ..." with its counts.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>

#include "app/uSourceAdding.h"
#include "platform/uCodePage.h"
#include "tests/app/uAppTestEnv.h"
#include "tests/app/uCueCorpusSheets.h"
#include "tests/support/uWavHeader.h"

using namespace cuetest;
using namespace cuecorpus;

namespace {

constexpr int64_t Rate = 44100;
constexpr int64_t FrameBytes = 4;  // 16-bit stereo
constexpr int64_t SamplesPerCdFrame = Rate / 75;

enum class TImageFormat { Wav, Flac, Ape };

const char* FormatName(TImageFormat Format) {
  return Format == TImageFormat::Wav ? "wav" : Format == TImageFormat::Flac ? "flac" : "ape";
}

std::u16string LowerExt(const std::u16string& Name) {
  const size_t Dot = Name.find_last_of(u".\\/:");
  return Dot == std::u16string::npos || Name[Dot] != u'.' ? std::u16string()
                                                          : LowerAscii(Name.substr(Dot));
}

bool IsKnownAudio(const std::u16string& Name) {
  const std::u16string Ext = LowerExt(Name);
  return Ext == u".wav" || Ext == u".flac" || Ext == u".ape";
}

// The file name after the last "\", "/" or ":", and without its extension.
std::u16string BareName(const std::u16string& Name) {
  const size_t Slash = Name.find_last_of(u"\\/:");
  return Slash == std::u16string::npos ? Name : Name.substr(Slash + 1);
}

std::u16string BareStem(const std::u16string& Name) {
  const std::u16string Bare = BareName(Name);
  return Bare.substr(0, Bare.size() - LowerExt(Bare).size());
}

fs::path PathOf(const fs::path& Folder, const std::u16string& Name) {
  return Folder / fs::path(platform::WideToUtf8(Name));
}

// A folder for one run, in memory when the machine offers /dev/shm.
class TWorkDir {
public:
  TWorkDir() {
    std::error_code Error;
    const fs::path Base =
        fs::is_directory("/dev/shm", Error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string Pattern = (Base / "morvo-corpus-XXXXXX").string();
    if (!mkdtemp(Pattern.data())) throw std::runtime_error("cannot make " + Pattern);
    FPath = Pattern;
  }
  ~TWorkDir() {
    std::error_code Ignored;
    fs::remove_all(FPath, Ignored);
  }
  const fs::path& Path() const { return FPath; }

private:
  fs::path FPath;
};

// A 16-bit stereo 44.1 kHz WAV of Samples sample frames: noise over the
// Windows (sample ranges), holes elsewhere.
void WriteImage(const fs::path& File, int64_t Samples,
                std::vector<std::pair<int64_t, int64_t>> Windows, uint32_t Seed) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  const uint32_t DataBytes = uint32_t(Samples * FrameBytes);
  morvotest::WritePcm16WavHeader(Out, uint32_t(Rate), 2, DataBytes);
  std::mt19937 Noise(Seed);
  std::sort(Windows.begin(), Windows.end());
  std::vector<uint32_t> Block;
  int64_t Written = 0;  // samples up to which noise has been placed
  for (auto [From, To] : Windows) {
    From = std::clamp<int64_t>(std::max(From, Written), 0, Samples);
    To = std::clamp<int64_t>(To, 0, Samples);
    if (To <= From) continue;
    Block.resize(size_t(To - From));
    for (uint32_t& Sample : Block)
      Sample = Noise();
    Out.seekp(44 + From * FrameBytes);
    Out.write(reinterpret_cast<const char*>(Block.data()),
              std::streamsize(Block.size() * FrameBytes));
    Written = To;
  }
  Out.close();
  fs::resize_file(File, uint64_t(44 + Samples * FrameBytes));
}

// Where the "data" chunk of a WAV file lies: its offset and size.
std::pair<int64_t, int64_t> WavDataRange(const fs::path& File) {
  std::ifstream In(File, std::ios::binary);
  char Head[12];
  if (!In.read(Head, 12) || std::string(Head, 4) != "RIFF") return {-1, 0};
  int64_t Pos = 12;
  char Chunk[8];
  while (In.seekg(Pos) && In.read(Chunk, 8)) {
    const uint32_t Size = uint8_t(Chunk[4]) | uint8_t(Chunk[5]) << 8 | uint8_t(Chunk[6]) << 16 |
                          uint32_t(uint8_t(Chunk[7])) << 24;
    if (std::string(Chunk, 4) == "data") {
      const int64_t Left = int64_t(fs::file_size(File)) - Pos - 8;
      return {Pos + 8, std::min<int64_t>(Size, Left)};
    }
    Pos += 8 + Size + (Size & 1);
  }
  return {-1, 0};
}

// Whether Count bytes of A from AtA equal those of B from AtB.
bool SameBytes(const fs::path& A, int64_t AtA, const fs::path& B, int64_t AtB, int64_t Count) {
  std::ifstream InA(A, std::ios::binary), InB(B, std::ios::binary);
  InA.seekg(AtA);
  InB.seekg(AtB);
  std::vector<char> BufA(1 << 20), BufB(1 << 20);
  while (Count > 0) {
    const std::streamsize N = std::streamsize(std::min<int64_t>(Count, int64_t(BufA.size())));
    if (!InA.read(BufA.data(), N) || !InB.read(BufB.data(), N)) return false;
    if (!std::equal(BufA.begin(), BufA.begin() + N, BufB.begin())) return false;
    Count -= N;
  }
  return true;
}

// The sheet with every audio FILE naming Ext instead (the quoted name
// replaced where it stands, the rest of the sheet kept as it is).
TSheetText WithAudioExtension(TSheetText Sheet, const TOracleSheet& Oracle,
                              const std::u16string& Ext) {
  for (const TOracleFile& File : Oracle.Files) {
    if (!File.Audio || LowerExt(File.Name) == Ext) continue;
    const std::u16string Quoted = u"\"" + File.Name + u"\"";
    const std::u16string Renamed =
        u"\"" + File.Name.substr(0, File.Name.size() - LowerExt(File.Name).size()) + Ext + u"\"";
    for (size_t At = Sheet.Text.find(Quoted); At != std::u16string::npos;
         At = Sheet.Text.find(Quoted, At + 1))
      Sheet.Text.replace(At, Quoted.size(), Renamed);
  }
  return Sheet;
}

struct TCorpusCase {
  std::string Sheet;
  TImageFormat Format;
};

void PrintTo(const TCorpusCase& Case, std::ostream* Out) {
  *Out << Case.Sheet << " " << FormatName(Case.Format);
}

std::vector<TCorpusCase> CorpusCases() {
  std::vector<TCorpusCase> Cases;
  for (const std::string& Sheet : CorpusSheets()) {
    Cases.push_back({Sheet, TImageFormat::Wav});
    Cases.push_back({Sheet, TImageFormat::Flac});
    const std::string Bytes = ReadBytes(CorpusRoot() / Sheet);
    const TOracleSheet Oracle = ReadSheet(DecodeSheet(Bytes, Sheet).Text);
    if (std::any_of(Oracle.Files.begin(), Oracle.Files.end(),
                    [](const TOracleFile& File) { return File.Audio && !IsKnownAudio(File.Name); }))
      Cases.push_back({Sheet, TImageFormat::Ape});
  }
  return Cases;
}

class CueCorpusTest : public TManagerTest, public ::testing::WithParamInterface<TCorpusCase> {
protected:
  struct TImageFile {
    fs::path Reference;  // the image's PCM as WAV
    int64_t Samples = 0;
  };

  // Makes the image of every audio file the tracks lie in; the reference
  // WAVs in Ref, the images where the sheet in Sheet will look for them.
  // FILE lines that name the same file share its image.
  std::vector<TImageFile> MakeImages(const TOracleSheet& Oracle,
                                     const std::vector<TExpectedTrack>& Tracks,
                                     const fs::path& SheetDir, const fs::path& Ref,
                                     TImageFormat Format) {
    std::map<std::u16string, std::pair<int64_t, std::vector<std::pair<int64_t, int64_t>>>> Plans;
    for (size_t F = 0; F < Oracle.Files.size(); ++F) {
      if (std::none_of(Tracks.begin(), Tracks.end(),
                       [F](const TExpectedTrack& T) { return T.File == int(F); }))
        continue;
      auto& [Samples, Windows] = Plans[BareStem(Oracle.Files[F].Name)];
      // A tail after the last INDEX that ends off any CD frame.
      Samples = std::max(Samples, Oracle.Files[F].LastFrame * SamplesPerCdFrame + 2 * Rate + 37 +
                                      101 * int64_t(F));
      for (const TExpectedTrack& Track : Tracks)
        for (const int64_t Frame : {Track.StartFrame, Track.EndFrame})
          if (Track.File == int(F) && Frame > 0)
            Windows.push_back({Frame * SamplesPerCdFrame - Rate, Frame * SamplesPerCdFrame + Rate});
    }
    std::map<std::u16string, TImageFile> Made;
    uint32_t Seed = 1000;
    for (auto& [Stem, Plan] : Plans) {
      auto& [Samples, Windows] = Plan;
      Windows.push_back({0, Rate});
      Windows.push_back({Samples - Rate, Samples});
      const fs::path Wav = PathOf(Format == TImageFormat::Wav ? SheetDir : Ref, Stem + u".wav");
      WriteImage(Wav, Samples, Windows, ++Seed);
      Made[Stem] = {Wav, Samples};
      if (Format == TImageFormat::Flac) {
        EXPECT_TRUE(RunCommand("flac -s -f -0 -o " + Quote(PathOf(SheetDir, Stem + u".flac")) +
                               " " + Quote(Wav)));
      } else if (Format == TImageFormat::Ape) {
        ConvertToApe(Wav, SheetDir);
      }
    }
    std::vector<TImageFile> Images(Oracle.Files.size());
    for (size_t F = 0; F < Oracle.Files.size(); ++F)
      if (Plans.count(BareStem(Oracle.Files[F].Name)))
        Images[F] = Made[BareStem(Oracle.Files[F].Name)];
    return Images;
  }

  // The system's own APE encoder makes the APE image.
  void ConvertToApe(const fs::path& Wav, const fs::path& Folder) {
    TSourceAdder Adder(*FManager);
    Adder.SetTargetExt(u".ape");
    Adder.AddSources({TTempDir::Utf8ToU16(Wav.string())}, TSourceAdder::ModeUser);
    ASSERT_EQ(FManager->TaskCount(), 1);
    FManager->SetDestPath(TTempDir::Utf8ToU16(Folder.string() + "/"));
    RunConversion(std::chrono::seconds(600));
    EXPECT_EQ(FManager->GetTask(0)->FState, tsDone);
    FManager->RemoveTask(FManager->GetTask(0)->FId);
  }

  // shnsplit's tracks of a single-file sheet, in order; what lies before
  // track 1's INDEX 01 comes as a track of its own, which the system puts
  // into track 1.
  std::vector<fs::path> SplitWithShnsplit(const TSheetText& Sheet, const fs::path& Image,
                                          const fs::path& Folder) {
    fs::create_directories(Folder);
    // shnsplit reads 8-bit sheets only; the cut points do not depend on it.
    const fs::path Copy = Folder / "sheet.cue";
    WriteBytes(Copy, Sheet.Charset.starts_with("UTF-16") ? platform::WideToUtf8(Sheet.Text)
                                                         : EncodeSheet(Sheet));
    EXPECT_TRUE(RunCommand("shnsplit -q -O always -d " + Quote(Folder) + " -f " + Quote(Copy) +
                           " -o wav " + Quote(Image)));
    std::vector<fs::path> Tracks;
    for (const auto& Entry : fs::directory_iterator(Folder))
      if (Entry.path().extension() == ".wav") Tracks.push_back(Entry.path());
    std::sort(Tracks.begin(), Tracks.end());
    return Tracks;
  }
};

TEST_P(CueCorpusTest, EveryTrackCutAtTheExactSampleAndNamedAsTheSheetSays) {
  const TCorpusCase& Case = GetParam();
  const std::string Bytes = ReadBytes(CorpusRoot() / Case.Sheet);
  const TSheetText Original = DecodeSheet(Bytes, Case.Sheet);
  const TOracleSheet Oracle = ReadSheet(Original.Text);
  const std::vector<TExpectedTrack> Expected = ExpectedTracks(Oracle);
  ASSERT_FALSE(Expected.empty()) << "no audio track in " << Case.Sheet;

  const TWorkDir Work;
  const fs::path SheetDir = Work.Path() / "sheet", Ref = Work.Path() / "ref",
                 Out = Work.Path() / "out";
  fs::create_directories(SheetDir);
  fs::create_directories(Ref);
  const TSheetText Sheet =
      Case.Format == TImageFormat::Wav    ? WithAudioExtension(Original, Oracle, u".wav")
      : Case.Format == TImageFormat::Flac ? WithAudioExtension(Original, Oracle, u".flac")
                                          : Original;
  const fs::path SheetFile = SheetDir / fs::path(Case.Sheet).filename();
  WriteBytes(SheetFile, EncodeSheet(Sheet));
  const std::vector<TImageFile> Images = MakeImages(Oracle, Expected, SheetDir, Ref, Case.Format);

  TSourceAdder Adder(*FManager);
  Adder.SetTargetExt(u".wav");
  Adder.AddSources({TTempDir::Utf8ToU16(SheetFile.string())}, TSourceAdder::ModeUser);
  // Data tracks (and data files) are reported, never added.
  const size_t DataTracks = Oracle.Tracks.size() - Expected.size();
  EXPECT_EQ(Adder.Refused().size(), DataTracks);
  for (const TRefusedSource& Refused : Adder.Refused())
    EXPECT_FALSE(Oracle.Tracks[size_t(Refused.Track - 1)].Audio)
        << "audio track " << Refused.Track << " refused";
  ASSERT_EQ(FManager->TaskCount(), int32_t(Expected.size()));
  FManager->SetDestPath(TTempDir::Utf8ToU16(Out.string() + "/"));
  FManager->FExistPolicy = epOverwrite;
  RunConversion(std::chrono::seconds(600));

  const bool OneFile = std::all_of(Expected.begin(), Expected.end(), [&](const TExpectedTrack& T) {
    return T.File == Expected.front().File;
  });
  std::vector<fs::path> Shn;
  const fs::path& FirstImage = Images[size_t(Expected.front().File)].Reference;
  if (Case.Format == TImageFormat::Wav && OneFile && DataTracks == 0) {
    // A sheet of one track from the start has no split point: shnsplit
    // refuses it, its one track is the whole image.
    const bool NoSplitPoint = Expected.size() == 1 && Oracle.Tracks.front().Index01 == 0;
    Shn = NoSplitPoint ? std::vector<fs::path>{FirstImage}
                       : SplitWithShnsplit(Sheet, FirstImage, Work.Path() / "shnsplit");
  }
  const size_t ShnOffset = Shn.size() == Expected.size() + 1 ? 1 : 0;  // a track before track 1
  if (!Shn.empty()) {
    EXPECT_EQ(Shn.size() - ShnOffset, Expected.size()) << "shnsplit's track count";
  }

  int NamesRight = 0, Exact = 0, ShnExact = 0;
  std::vector<int64_t> FileEnd(Images.size(), 0);  // where the joined tracks of each file have come
  for (size_t I = 0; I < Expected.size(); ++I) {
    const TExpectedTrack& Track = Expected[I];
    const TTaskItem* Task = FManager->GetTask(int32_t(I));
    EXPECT_EQ(Task->FState, tsDone)
        << "track " << Track.Number << ": result " << Task->FResult.load();
    EXPECT_EQ(platform::WideToUtf8(Task->FTargetName), platform::WideToUtf8(Track.TargetName));
    NamesRight += Task->FTargetName == Track.TargetName;
    const fs::path Made = PathOf(Out, Task->FTargetName);
    const auto [At, Size] = WavDataRange(Made);
    const TImageFile& Image = Images[size_t(Track.File)];
    const int64_t From = Track.StartFrame * SamplesPerCdFrame;
    const int64_t To = Track.EndFrame < 0 ? Image.Samples : Track.EndFrame * SamplesPerCdFrame;
    // The tracks of a file follow each other without gap or overlap.
    EXPECT_EQ(From, FileEnd[size_t(Track.File)]) << "track " << Track.Number;
    FileEnd[size_t(Track.File)] = To;
    const bool Same = At >= 0 && Size == (To - From) * FrameBytes &&
                      SameBytes(Made, At, Image.Reference, 44 + From * FrameBytes, Size);
    EXPECT_TRUE(Same) << "track " << Track.Number << ": " << Size / FrameBytes
                      << " samples, expected " << To - From << " from sample " << From;
    Exact += Same;
    if (!Shn.empty() && I + ShnOffset < Shn.size()) {
      // shnsplit's track 1 and what came before it, joined.
      int64_t Offset = 0;
      bool ShnSame = true;
      for (size_t Part = (I == 0 ? 0 : I + ShnOffset); Part <= I + ShnOffset; ++Part) {
        const auto [ShnAt, ShnSize] = WavDataRange(Shn[Part]);
        ShnSame = ShnSame && At >= 0 && ShnAt >= 0 && Offset + ShnSize <= Size &&
                  SameBytes(Made, At + Offset, Shn[Part], ShnAt, ShnSize);
        Offset += ShnSize;
      }
      ShnSame = ShnSame && Offset == Size;
      EXPECT_TRUE(ShnSame) << "track " << Track.Number << " differs from shnsplit's";
      ShnExact += ShnSame;
    }
  }
  for (size_t F = 0; F < Images.size(); ++F)
    if (Images[F].Samples > 0) {
      EXPECT_EQ(FileEnd[F], Images[F].Samples) << "file " << F << " not covered";
    }

  std::printf("[corpus] %s %s: tracks %zu, byte-exact %d, names right %d, shnsplit-exact %d/%zu\n",
              Case.Sheet.c_str(), FormatName(Case.Format), Expected.size(), Exact, NamesRight,
              ShnExact, Shn.empty() ? size_t(0) : Expected.size());
}

INSTANTIATE_TEST_SUITE_P(Corpus, CueCorpusTest, ::testing::ValuesIn(CorpusCases()),
                         [](const auto& Info) {
                           std::string Name =
                               Info.param.Sheet + "_" + FormatName(Info.param.Format);
                           for (char& C : Name)
                             if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
                           return Name;
                         });

// The legacy sheets name their tracks right on the desktops of Chinese
// users, on a desktop without language and on an English one.
class CueCorpusNames : public TManagerTest {};

TEST_F(CueCorpusNames, LegacySheetsNameTheirTracksRightOnEveryDesktop) {
  for (const std::string& Sheet : CorpusSheets()) {
    const std::string Charset = TrueCharset(Sheet);
    if (Charset == "UTF-8") continue;
    const std::string Bytes = ReadBytes(CorpusRoot() / Sheet);
    const TOracleSheet Oracle = ReadSheet(DecodeSheet(Bytes, Sheet).Text);
    const std::vector<TExpectedTrack> Expected = ExpectedTracks(Oracle);
    for (const char* Desktop : {"zh_CN.UTF-8", "C.UTF-8", "en_US.UTF-8"}) {
      const morvotest::TScopedLocale Env(Desktop, std::nullopt);
      const TTempDir Dir;
      const std::u16string Cue = Dir.Write(fs::path(Sheet).filename().string(), Bytes);
      // The parser only looks for the files; their content does not matter.
      for (const TOracleFile& File : Oracle.Files)
        Dir.Write(platform::WideToUtf8(BareName(File.Name)), "x");
      TSourceAdder Adder(*FManager);
      Adder.SetTargetExt(u".wav");
      Adder.AddSources({Cue}, TSourceAdder::ModeUser);
      ASSERT_EQ(FManager->TaskCount(), int32_t(Expected.size())) << Sheet << " on " << Desktop;
      for (size_t I = 0; I < Expected.size(); ++I)
        EXPECT_EQ(platform::WideToUtf8(FManager->GetTask(int32_t(I))->FTargetName),
                  platform::WideToUtf8(Expected[I].TargetName))
            << Sheet << " on " << Desktop;
      while (FManager->TaskCount() > 0)
        FManager->RemoveTask(FManager->GetTask(0)->FId);
    }
  }
}

}  // namespace
