// Start and end of the program's own units, in dependency order: the
// low-integrity security attributes, the log (which records
// "uLxLog.initialization"), then the units a front end adds (text reader,
// player library export, tooltip and hint window, ...) in the order added.
// EndUnits runs the added units' ends in reverse order, then the log's end
// (its final write still reads the player's log switch), the player
// interface block reader and the security attributes.
// Threading: main thread only; StartUnits once before any other thread
// logs, EndUnits once after every worker has ended.
#pragma once

#include <functional>
#include <string>

struct TUnitLifetime {
  std::string Name;                  // for diagnostics only
  std::function<void()> Initialize;  // may be empty
  std::function<void()> Finalize;    // may be empty
};

// Before StartUnits.
void AddUnit(TUnitLifetime Unit);
void StartUnits();
void EndUnits();
