#include "platform/uDynLib.h"

#include <gtest/gtest.h>

#include "platform/uCodePage.h"
#include "platform/uProgramDir.h"

using namespace platform;

TEST(DynLib, WindowsLibraryNamesMapToSharedObjects) {
  EXPECT_EQ(NativeLibraryName("codecs.dll"), "libcodecs.so");
  EXPECT_EQ(NativeLibraryName("LxPlayer.DLL"), "libLxPlayer.so");
  EXPECT_EQ(NativeLibraryName("/opt/morva/LxPlayer.dll"), "/opt/morva/libLxPlayer.so");
  EXPECT_EQ(NativeLibraryName("libm.so.6"), "libm.so.6");
  EXPECT_EQ(NativeLibraryName(".dll"), "lib.so");
}

TEST(DynLib, BareNameIsFoundBesideTheExecutable) {
  // libmorvotestlib.so lies in the executable's folder, not on the loader's path.
  TLibHandle Library = LoadLibraryW(u"morvotestlib.dll");
  ASSERT_NE(Library, nullptr) << LastLibraryError();
  auto Ordinal3 = reinterpret_cast<int (*)()>(GetProcAddressByOrdinal(Library, 3));
  ASSERT_NE(Ordinal3, nullptr);
  EXPECT_EQ(Ordinal3(), 303);
  auto Answer = reinterpret_cast<int (*)(int)>(GetProcAddress(Library, "MorvoTestAnswer"));
  ASSERT_NE(Answer, nullptr);
  EXPECT_EQ(Answer(21), 42);

  EXPECT_EQ(GetProcAddressByOrdinal(Library, 4), nullptr);
  EXPECT_NE(LastLibraryError().find("LxPlayerOrdinal4"), std::string::npos);
  EXPECT_TRUE(FreeLibrary(Library));
}

TEST(DynLib, FullPathAndSystemLibrariesLoad) {
  TLibHandle ByPath = LoadLibraryA(WideToPath(ExecutableDir()) + "morvotestlib.dll");
  ASSERT_NE(ByPath, nullptr) << LastLibraryError();
  EXPECT_TRUE(FreeLibrary(ByPath));
  TLibHandle System = LoadLibraryA("libm.so.6");  // not beside us: the system's loader finds it
  ASSERT_NE(System, nullptr) << LastLibraryError();
  EXPECT_NE(GetProcAddress(System, "cos"), nullptr);
  FreeLibrary(System);
}

TEST(DynLib, MissingLibraryReportsWhy) {
  EXPECT_EQ(LoadLibraryW(u"no_such_library_here.dll"), nullptr);
  EXPECT_NE(LastLibraryError().find("libno_such_library_here.so"), std::string::npos);
  EXPECT_FALSE(FreeLibrary(nullptr));
}
