// The library's export and class factories, seen from the system's side.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/player/codecs/uCodecTestKit.h"

using namespace codectest;

namespace {

IClassFactory* FactoryFor(const TGUID& ClassId) {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(LibraryEntry()(ClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  return factory;
}

}  // namespace

TEST(CodecsExport, ExportsOnlyTheClassObjectEntry) {
  ASSERT_NE(LibraryEntry(), nullptr) << "libcodecs.so not loadable from " MORVO_BIN_DIR;
  const auto symbols = RunTool("nm -D --defined-only " MORVO_BIN_DIR
                               "/libcodecs.so | awk '$2 ~ /^[TDBRVW]$/ {print $3}'");
  ASSERT_EQ(symbols.ExitCode, 0) << symbols.Output;
  EXPECT_EQ(symbols.Output, "DllGetClassObject\n");
}

TEST(CodecsExport, UnknownClassOrInterfaceIsRefusedWithNullOutput) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(LibraryEntry()(IID_IEncoder, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(LibraryEntry()(CLSID_FlacEncoder, IID_IEncoder, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

TEST(CodecsExport, EachEncoderAnswersOnlyItsOwnParameterInterface) {
  for (const TGUID* classId : {&CLSID_Mp3Encoder, &CLSID_ApeEncoder, &CLSID_FlacEncoder}) {
    TEncoderPair pair;
    ASSERT_TRUE(CreateLibraryEncoder(*classId, pair));
    for (const TGUID* other :
         {&IID_ILameStreamEncoder, &IID_IFlacEncoderParam, &IID_IApeEncoderParam}) {
      if (*other == ParamIdOf(*classId)) continue;
      void* foreign = reinterpret_cast<void*>(1);
      EXPECT_EQ(pair.Encoder->QueryInterface(*other, &foreign), E_NOINTERFACE);
      EXPECT_EQ(foreign, nullptr);
    }
    // Both interfaces lead back to the same object.
    IUnknown* viaEncoder = nullptr;
    IUnknown* viaParam = nullptr;
    pair.Encoder->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaEncoder));
    pair.Param->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaParam));
    EXPECT_EQ(viaEncoder, viaParam);
    viaEncoder->Release();
    viaParam->Release();
  }
}

TEST(CodecsExport, FactoryRefusesAggregation) {
  IClassFactory* factory = FactoryFor(CLSID_Mp3Encoder);
  ASSERT_NE(factory, nullptr);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(factory, IID_IEncoder, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  factory->Release();
}

TEST(CodecsExport, EncodersRefuseUnusableInputAndMisuse) {
  TTempDir dir;
  for (const TGUID* classId : {&CLSID_Mp3Encoder, &CLSID_ApeEncoder, &CLSID_FlacEncoder}) {
    TFileCallback output(dir / "refused.bin");
    {
      TEncoderPair pair;
      ASSERT_TRUE(CreateLibraryEncoder(*classId, pair));
      const uint8_t block[64] = {};
      EXPECT_LT(pair.Encoder->Encode(block, sizeof block), 0) << "Encode before Init";
      WAVEFORMATEX twelveBits{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 12, 0};
      EXPECT_NE(pair.Encoder->Init(&output, &twelveBits), 0);
      EXPECT_LT(pair.Encoder->Encode(block, sizeof block), 0) << "Encode after a failed Init";
      pair.Encoder->Finish();
    }
    EXPECT_EQ(output.RefCount(), 1u) << "the encoder must release the callback";
  }
  TEncoderPair mp3;
  ASSERT_TRUE(CreateLibraryEncoder(CLSID_Mp3Encoder, mp3));
  TFileCallback output(dir / "six.mp3");
  WAVEFORMATEX sixChannels{WAVE_FORMAT_PCM, 6, 44100, 44100 * 12, 12, 16, 0};
  EXPECT_NE(mp3.Encoder->Init(&output, &sixChannels), 0);
  mp3.Encoder->Finish();
}

// A source of length 0 never reaches Encode; the file made by Init and
// Finish alone must still be a valid, empty stream.
TEST(CodecsExport, EmptySourceIsFinishedLikeTheTools) {
  TTempDir dir;
  TPcm pcm = MakePcm(0, 2, 16, 44100);
  {
    TFileCallback output(dir / "empty.flac");
    TEncoderPair pair;
    ASSERT_TRUE(CreateLibraryEncoder(CLSID_FlacEncoder, pair));
    static_cast<IFlacEncoderParam*>(static_cast<void*>(pair.Param))->SetSampleCount(0);
    const auto result = Drive(pair.Encoder, output, pcm);
    EXPECT_EQ(result.InitResult, 0);
    EXPECT_EQ(result.FinishResult, 0);
  }
  const auto test = RunTool("flac -s -t " + Quote(dir / "empty.flac"));
  EXPECT_EQ(test.ExitCode, 0) << test.Output;
  {
    TFileCallback output(dir / "empty.mp3");
    TEncoderPair pair;
    ASSERT_TRUE(CreateLibraryEncoder(CLSID_Mp3Encoder, pair));
    EXPECT_EQ(Drive(pair.Encoder, output, pcm).FinishResult, 0);
  }
  // LAME makes the information frame and one frame of padding; the lame
  // tool gives the same for an empty input.
  std::ofstream(dir / "empty.raw", std::ios::binary).flush();
  const auto tool = RunTool("lame --quiet -r -s 44.1 --bitwidth 16 -m s -b 192 " +
                            Quote(dir / "empty.raw") + " " + Quote(dir / "tool.mp3"));
  ASSERT_EQ(tool.ExitCode, 0) << tool.Output;
  EXPECT_EQ(std::filesystem::file_size(dir / "empty.mp3"),
            std::filesystem::file_size(dir / "tool.mp3"));
}

// A failing target disk is reported by every encoder, never fatal: a disk
// that fills up, an output that stops seeking before the headers are
// completed, and an output closed before Init.
TEST(CodecsExport, FailingOutputIsReportedNotFatal) {
  TTempDir dir;
  const TPcm pcm = MakePcm(44100 * 3, 2, 16, 44100);
  struct TCase {
    const char* Name;
    const TGUID* ClassId;
    int64_t WriteBudget;  // bytes the disk takes before it is full
  };
  for (const TCase& c :
       {TCase{"MP3", &CLSID_Mp3Encoder, 20000}, TCase{"FLAC", &CLSID_FlacEncoder, 30000}}) {
    SCOPED_TRACE(c.Name);
    {
      TFileCallback output(dir / "full.bin");  // outlives the encoder, which holds it
      TEncoderPair pair;
      ASSERT_TRUE(CreateLibraryEncoder(*c.ClassId, pair));
      output.FailWritesAfter(c.WriteBudget);
      const TEncodeResult result = Drive(pair.Encoder, output, pcm);
      EXPECT_TRUE(result.EncodeFailed);
      EXPECT_NE(result.FinishResult, 0);
    }
    {
      TFileCallback output(dir / "noseek.bin");
      TEncoderPair pair;
      ASSERT_TRUE(CreateLibraryEncoder(*c.ClassId, pair));
      ASSERT_EQ(pair.Encoder->Init(&output, &pcm.Format), 0);
      EXPECT_GE(pair.Encoder->Encode(pcm.Bytes.data(), 16384), 0);
      output.FailSeeks();
      EXPECT_NE(pair.Encoder->Finish(), 0);
    }
    {
      TFileCallback output(dir / "closed.bin");
      TEncoderPair pair;
      ASSERT_TRUE(CreateLibraryEncoder(*c.ClassId, pair));
      output.Close();
      const TEncodeResult result = Drive(pair.Encoder, output, pcm);
      EXPECT_NE(result.InitResult, 0);
      EXPECT_NE(result.FinishResult, 0);
    }
  }
}
