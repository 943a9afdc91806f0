// The widgets' tests share the program's tip window and hint adaptor, made
// once for the executable as the unit start makes them.
#include <gtest/gtest.h>

#include <QApplication>

#include "widgets/uMiraFonts.h"
#include "widgets/uMiraHintWindow.h"

namespace {

class TWidgetsEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    QApplication::setFont(SongTiFont());
    FUnit = MiraHintWindowUnit();
    FUnit.Initialize();
  }
  void TearDown() override { FUnit.Finalize(); }

private:
  TUnitLifetime FUnit;
};

const auto* const Registered = ::testing::AddGlobalTestEnvironment(new TWidgetsEnvironment);

}  // namespace
