#include "text/LxCmdStream.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Reads a payload the way the window does: every non-empty string is a path.
std::vector<std::u16string> ReadAll(const uint8_t* Data, int32_t Size, int* Passes = nullptr) {
  TCmdStream Stream;
  Stream.BeginRead(Data, Size);
  std::vector<std::u16string> Paths;
  int Count = 0;
  while (Stream.Position() < Stream.Size()) {
    std::u16string S;
    Stream.ReadWideString(S);
    ++Count;
    if (!S.empty()) Paths.push_back(S);
  }
  if (Passes) *Passes = Count;
  return Paths;
}

}  // namespace

TEST(CmdStream, WritesLengthByteAndLittleEndianUnits) {
  uint8_t Buffer[4096] = {};
  TCmdStream Stream;
  Stream.BeginWrite(Buffer, sizeof(Buffer));
  EXPECT_TRUE(Stream.WriteWideString(u"ab"));
  EXPECT_EQ(Stream.Size(), 5);
  const uint8_t Expected[] = {0x02, 0x61, 0x00, 0x62, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(Buffer, Buffer + 5), std::vector<uint8_t>(Expected, Expected + 5));
  EXPECT_TRUE(Stream.WriteWideString(u""));
  EXPECT_EQ(Stream.Size(), 6);
  EXPECT_EQ(Buffer[5], 0);
  EXPECT_TRUE(Stream.WriteWideString(u"/音乐/歌.cue"));
  EXPECT_EQ(ReadAll(Buffer, Stream.Size()), (std::vector<std::u16string>{u"ab", u"/音乐/歌.cue"}));
}

TEST(CmdStream, LongestStringRoundTripsAndLongerIsRefused) {
  uint8_t Buffer[4096] = {};
  TCmdStream Stream;
  Stream.BeginWrite(Buffer, sizeof(Buffer));
  const std::u16string Longest(255, u'字');
  EXPECT_TRUE(Stream.WriteWideString(Longest));
  EXPECT_EQ(Stream.Size(), 511);
  EXPECT_FALSE(
      Stream.WriteWideString(std::u16string(256, u'x')));  // would wrap the length byte to 0
  EXPECT_FALSE(Stream.WriteWideString(std::u16string(300, u'x')));
  EXPECT_EQ(Stream.Size(), 511);  // nothing of them was written
  EXPECT_EQ(Stream.Position(), 511);
  EXPECT_EQ(ReadAll(Buffer, Stream.Size()), std::vector<std::u16string>{Longest});
}

TEST(CmdStream, TruncatedPayloadsYieldNoPath) {
  const uint8_t Cut[] = {0x02, 0x61, 0x00};
  int Passes = 0;
  EXPECT_TRUE(ReadAll(Cut, 3, &Passes).empty());
  EXPECT_EQ(Passes, 3);  // each remaining byte taken as a length in turn

  const uint8_t LengthOnly[] = {0x05};
  EXPECT_TRUE(ReadAll(LengthOnly, 1).empty());

  // A good path followed by a cut one: the good one survives.
  const uint8_t Mixed[] = {0x01, 0x41, 0x00, 0x03, 0x42, 0x00};
  EXPECT_EQ(ReadAll(Mixed, sizeof(Mixed)), std::vector<std::u16string>{u"A"});
}

TEST(CmdStream, ReadingPastTheEndGivesDefaultsAndMovesNothing) {
  const uint8_t Data[] = {0x07, 0x08};
  TCmdStream Stream;
  Stream.BeginRead(Data, 2);
  EXPECT_FALSE(Stream.ReadBytes(nullptr, 3));
  EXPECT_EQ(Stream.Position(), 0);
  EXPECT_TRUE(Stream.ReadBytes(nullptr, 1));  // skipping
  EXPECT_EQ(Stream.ReadByte(0xEE), 0x08);
  EXPECT_EQ(Stream.ReadByte(0xEE), 0xEE);
  EXPECT_EQ(Stream.Position(), 2);
}

TEST(CmdStream, WritesThatDoNotFitDoNothing) {
  uint8_t Buffer[8] = {};
  TCmdStream Stream;
  Stream.BeginWrite(Buffer, 6);
  EXPECT_TRUE(Stream.WriteWideString(u"ab"));
  // One byte free: the length byte goes in, the units do not.
  EXPECT_FALSE(Stream.WriteWideString(u"cd"));
  EXPECT_EQ(Stream.Size(), 6);
  EXPECT_EQ(Buffer[5], 0x02);
  Stream.WriteByte(0x99, false);
  Stream.WriteBytes("zz", 2);
  EXPECT_EQ(Stream.Size(), 6);
  EXPECT_EQ(Buffer[6], 0);
  EXPECT_EQ(ReadAll(Buffer, Stream.Size()), std::vector<std::u16string>{u"ab"});

  Stream.BeginWrite(Buffer, 8);
  Stream.WriteByte(0x11, true);  // KeepSize: the byte is stored, the size stays
  EXPECT_EQ(Stream.Size(), 0);
  EXPECT_EQ(Stream.Position(), 1);
  EXPECT_EQ(Buffer[0], 0x11);
}
