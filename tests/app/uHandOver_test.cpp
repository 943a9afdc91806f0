#include "app/uHandOver.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "infra/uLxFileUtils.h"
#include "platform/uHandOverSocket.h"
#include "platform/uSharedMemory.h"
#include "platform/uThreads.h"
#include "tests/support/uScopedEnv.h"

namespace {

class TIdle : public platform::IMessageTarget {
public:
  intptr_t HandleMessage(uint32_t, uintptr_t, intptr_t) override { return 0; }
};

// Command lines of a test, the process's own put back afterwards.
class HandOver : public ::testing::Test {
protected:
  void TearDown() override {
    WideSetParams({});
    platform::TSharedMemory::Remove(SingleInstanceMappingName);
  }
  // Each test has its own mapping name.
  morvotest::TScopedEnv FNamespace{
      "MORVO_SHM_NAMESPACE", "handover" + std::to_string(getpid()) + "_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

uint32_t MappedPid() {
  auto View = platform::TSharedMemory::OpenExisting(SingleInstanceMappingName, 4);
  if (!View) return 0xFFFFFFFF;
  uint32_t Pid = 0;
  std::memcpy(&Pid, View->Data(), 4);
  return Pid;
}

void WriteMappedPid(uint32_t Pid) {
  auto View = platform::TSharedMemory::CreateOrOpen(SingleInstanceMappingName, 4);
  ASSERT_NE(View, nullptr);
  std::memcpy(View->Data(), &Pid, 4);
}

}  // namespace

TEST_F(HandOver, TheSwitchInAnyCaseWithAPathIsAHandOverRequest) {
  std::u16string Path;
  WideSetParams({u"/EncodeConvert", u"/music/a.flac"});
  EXPECT_TRUE(GetConvertParam(Path));
  EXPECT_EQ(Path, u"/music/a.flac");
  WideSetParams({u"/encodeCONVERT", u"/music/b.cue", u"ignored"});
  EXPECT_TRUE(GetConvertParam(Path));
  EXPECT_EQ(Path, u"/music/b.cue");
  // Without a path, a path without the switch, another switch: no request.
  for (const std::vector<std::u16string>& Params : {std::vector<std::u16string>{u"/EncodeConvert"},
                                                    {u"/music/a.flac"},
                                                    {u"/Encode", u"/music/a.flac"}}) {
    WideSetParams(Params);
    EXPECT_FALSE(GetConvertParam(Path));
    EXPECT_TRUE(Path.empty());
  }
}

TEST_F(HandOver, PayloadCarriesOnePathWholeOrNothing) {
  std::vector<uint8_t> Payload;
  ASSERT_TRUE(MakeHandOverPayload(u"ab", Payload));
  EXPECT_EQ(Payload, (std::vector<uint8_t>{2, 'a', 0, 'b', 0}));
  // 255 code units (a surrogate pair counts two) fit; 256 are refused, not cut.
  const std::u16string Longest = u"/音乐/" + std::u16string(249, u'x') + u"\U0001F3B5";
  ASSERT_EQ(Longest.size(), 255u);
  ASSERT_TRUE(MakeHandOverPayload(Longest, Payload));
  EXPECT_EQ(Payload.size(), 1u + 2 * 255);
  EXPECT_EQ(ReadHandOverPayload(Payload.data(), Payload.size()),
            std::vector<std::u16string>{Longest});
  EXPECT_FALSE(MakeHandOverPayload(Longest + u"y", Payload));
  WideSetParams({u"/EncodeConvert", Longest + u"y"});
  EXPECT_EQ(HandOverToRunningInstance(platform::CurrentProcessId()), THandOverResult::PathTooLong);
}

TEST_F(HandOver, ReceivedPayloadKeepsEveryNonEmptyString) {
  const std::vector<uint8_t> Payload = {1, 'a', 0, 0, 2,   'b',
                                        0, 'c', 0, 3, 'd', 0};  // the last one cut short
  EXPECT_EQ(ReadHandOverPayload(Payload.data(), Payload.size()),
            (std::vector<std::u16string>{u"a", u"bc"}));
}

TEST_F(HandOver, FirstStartCreatesAZeroedMappingAndPublishesItself) {
  WriteMappedPid(12345);  // whatever a dead instance left
  TSingleInstance Instance;
  ASSERT_EQ(Instance.Claim(), TSingleInstance::TRole::First);
  EXPECT_EQ(MappedPid(), 0u);
  Instance.Publish(platform::CurrentProcessId());
  EXPECT_EQ(MappedPid(), platform::CurrentProcessId());
  Instance.Release();
  EXPECT_FALSE(platform::TSharedMemory::Exists(SingleInstanceMappingName));
}

TEST_F(HandOver, ALiveInstanceMakesTheStartTheSecond) {
  // The running instance: listening under its id, published in the mapping.
  const uint32_t RunningPid = platform::CurrentProcessId() + 1000000;
  TIdle Window;
  platform::THandOverServer Server(&Window);
  ASSERT_TRUE(Server.Listen(RunningPid));
  WriteMappedPid(RunningPid);
  TSingleInstance Second;
  EXPECT_EQ(Second.Claim(), TSingleInstance::TRole::Second);
  EXPECT_EQ(Second.RunningPid(), RunningPid);
  Second.Release();
  EXPECT_EQ(MappedPid(), RunningPid);  // the second start leaves it alone

  // Once that instance stops answering, its mapping is stale.
  Server.Stop();
  TSingleInstance Next;
  EXPECT_EQ(Next.Claim(), TSingleInstance::TRole::First);
}

TEST_F(HandOver, AMappingTakenOverByALaterInstanceStays) {
  TSingleInstance Old;
  ASSERT_EQ(Old.Claim(), TSingleInstance::TRole::First);
  Old.Publish(platform::CurrentProcessId());
  WriteMappedPid(4242);  // a later start took the mapping over
  Old.Release();
  EXPECT_EQ(MappedPid(), 4242u);
}
