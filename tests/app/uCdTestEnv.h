// A task manager for tests of the CD commands, with disc images standing in
// for the drives (MORVO_CD_DRIVES) for the test's length.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/uCdDrives.h"
#include "tests/app/uAppTestEnv.h"
#include "tests/support/uCdImage.h"

namespace cuetest {

class TCdManagerTest : public TManagerTest {
protected:
  void TearDown() override {
    TManagerTest::TearDown();
    FDrives.reset();
    platform::RefreshCdDrives();
  }

  // The drives become the system's own and these images (or any paths).
  void UseDrives(const std::vector<std::string>& Paths) {
    std::string List;
    for (const std::string& Path : Paths)
      List += (List.empty() ? "" : ":") + Path;
    FDrives.reset();
    FDrives.emplace("MORVO_CD_DRIVES", List);
    platform::RefreshCdDrives();
  }

  static std::u16string W(const std::string& Utf8) { return platform::Utf8ToWide(Utf8); }
  static std::u16string Track(const morvotest::TCdImage& Image, int Number) {
    return W(Image.Cue.string()) + (Number < 10 ? u"/Track0" : u"/Track") +
           W(std::to_string(Number)) + u".cda";
  }

  std::optional<morvotest::TScopedEnv> FDrives;
};

}  // namespace cuetest
