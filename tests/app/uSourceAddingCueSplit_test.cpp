// Cutting a lossless image by its cue sheet with the real engine: the WAV
// tracks, joined, give back the image's PCM byte for byte.
#include <gtest/gtest.h>

#include "app/uSourceAdding.h"
#include "tests/app/uAppTestEnv.h"

using namespace cuetest;

namespace {

// Frames chosen so that no boundary falls on a whole millisecond.
const char* const ThreeTrackSheet =
    "PERFORMER \"Band\"\n"
    "TITLE \"Image\"\n"
    "FILE \"%IMAGE%\" WAVE\n"
    "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
    "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 00 00:01:20\n    INDEX 01 00:01:37\n"
    "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 00:03:05\n";

class CueSplitTest : public TManagerTest {
protected:
  // Adds the sheet for Image, converts every track to WAV and returns the
  // joined PCM of the tracks.
  std::string SplitAndJoin(const std::string& Image) {
    std::string Sheet = ThreeTrackSheet;
    Sheet.replace(Sheet.find("%IMAGE%"), 7, Image);
    WriteBytes(FDir.Path() / "image.cue", Sheet);

    TSourceAdder Adder(*FManager);
    Adder.SetTargetExt(u".wav");
    Adder.AddSources({FDir.Wide() + u"image.cue"}, TSourceAdder::ModeUser);
    EXPECT_TRUE(Adder.Refused().empty());
    EXPECT_EQ(CueTracks().size(), 3u);

    const fs::path Out = FDir.Path() / "out";
    FManager->SetDestPath(TTempDir::Utf8ToU16(Out.string() + "/"));
    FManager->FExistPolicy = epOverwrite;
    RunConversion();

    std::string Joined;
    for (TTaskItem* Task : CueTracks()) {
      EXPECT_EQ(Task->FState, tsDone) << "result " << Task->FResult.load();
      Joined += WavData(ReadBytes(Out / fs::path(Task->FTargetName)));
    }
    return Joined;
  }

  // Converts one whole file into Folder with the engine; false when the
  // target format is not available.
  bool ConvertWholeFile(const fs::path& Source, const std::u16string& TargetExt,
                        const fs::path& Folder) {
    TSourceAdder Adder(*FManager);
    Adder.SetTargetExt(TargetExt);
    Adder.AddSources({TTempDir::Utf8ToU16(Source.string())}, TSourceAdder::ModeUser);
    if (FManager->TaskCount() != 1) return false;
    FManager->SetDestPath(TTempDir::Utf8ToU16(Folder.string() + "/"));
    FManager->FExistPolicy = epOverwrite;
    RunConversion();
    const TTaskItem* Task = FManager->GetTask(0);
    EXPECT_EQ(Task->FState, tsDone) << "result " << Task->FResult.load();
    return true;
  }

  std::vector<TTaskItem*> CueTracks() {
    std::vector<TTaskItem*> Result;
    for (TTaskItem* Task : Tasks())
      if (Task->FKind == tkCueTrack) Result.push_back(Task);
    return Result;
  }
};

TEST_F(CueSplitTest, WavImageSplitsIntoTracksThatJoinBackExactly) {
  MakeNoiseWav(FDir.Path() / "image.wav", 4.27);
  const std::string Image = WavData(ReadBytes(FDir.Path() / "image.wav"));
  ASSERT_EQ(Image.size(), size_t(188307) * 4);
  const std::string Joined = SplitAndJoin("image.wav");
  ASSERT_EQ(Joined.size(), Image.size());
  EXPECT_TRUE(Joined == Image);
}

TEST_F(CueSplitTest, FlacImageSplitsIntoTracksThatJoinBackExactly) {
  MakeNoiseWav(FDir.Path() / "source.wav", 4.27);
  MakeFlac(FDir.Path() / "source.wav", FDir.Path() / "image.flac");
  const std::string Image = WavData(ReadBytes(FDir.Path() / "source.wav"));
  const std::string Joined = SplitAndJoin("image.flac");
  ASSERT_EQ(Joined.size(), Image.size());
  EXPECT_TRUE(Joined == Image);
}

TEST_F(CueSplitTest, ApeImageSplitsIntoTracksThatJoinBackExactly) {
  MakeNoiseWav(FDir.Path() / "image.wav", 4.27);
  const std::string Image = WavData(ReadBytes(FDir.Path() / "image.wav"));
  // The APE image is made by the system's own APE encoder.
  if (!ConvertWholeFile(FDir.Path() / "image.wav", u".ape", FDir.Path()))
    GTEST_SKIP() << "the codec library offers no APE encoder";
  ASSERT_TRUE(fs::exists(FDir.Path() / "image.ape"));
  fs::remove(FDir.Path() / "image.wav");
  const std::string Joined = SplitAndJoin("image.ape");
  ASSERT_EQ(Joined.size(), Image.size());
  EXPECT_TRUE(Joined == Image);
}

}  // namespace
