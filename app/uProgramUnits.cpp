#include "app/uProgramUnits.h"

#include "codecs/uEncodeIntf.h"
#include "codecs/uLxPlayerDllExport.h"
#include "infra/uUnitLifetime.h"
#include "text/uTextReader.h"

// Ends run in reverse: the codec library loads are released first, then
// the player library, then the text reader logs its end.
void RegisterProgramUnits() {
  AddUnit(TextReaderUnit());
  AddUnit({"uLxPlayerDllExport", nullptr, FinalizePlayerLibrary});
  AddUnit({"uEncodeIntf", nullptr, FinalizeCodecLibraries});
}
