#include "infra/uUnitLifetime.h"

#include <vector>

#include "infra/uExeInterface.h"
#include "infra/uLxLog.h"
#include "infra/uLxSecurity.h"

namespace {
std::vector<TUnitLifetime>& AddedUnits() {
  static std::vector<TUnitLifetime> Units;
  return Units;
}
}  // namespace

void AddUnit(TUnitLifetime Unit) { AddedUnits().push_back(std::move(Unit)); }

void StartUnits() {
  InitializeLxSecurity();
  InitializeLxLog();
  for (const TUnitLifetime& Unit : AddedUnits())
    if (Unit.Initialize) Unit.Initialize();
}

void EndUnits() {
  auto& Units = AddedUnits();
  for (auto It = Units.rbegin(); It != Units.rend(); ++It)
    if (It->Finalize) It->Finalize();
  Units.clear();
  FinalizeLxLog();
  FinalizeExeInterface();
  FinalizeLxSecurity();
}
