// The parameter manager: owns one parameter object per registered target
// format and finds it by target extension or by a small integer id, which
// task items store. Created and used on the main thread; the workers look
// objects up by id while a run is in progress, when the list of entries no
// longer changes (registration happens only while the task manager is being
// built). Ownership: the manager owns its entries and their objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "params/uEncodeParam.h"

struct TParamEntry {
  int32_t Id;
  const TEncodeParamClass* ParamClass;
  std::string Extension;  // lower case, with its dot (".mp3")
  std::unique_ptr<TEncodeParam> Param;
};

class TParamManager {
public:
  // Fills the availability flags from counted codec library loads for MP3,
  // APE, FLAC and WAV, in this order; the loads are left to the loader's
  // release at program end.
  TParamManager();
  // Frees the objects from the first entry on.
  ~TParamManager();
  TParamManager(const TParamManager&) = delete;
  TParamManager& operator=(const TParamManager&) = delete;

  // Makes the object of an available format and gives it the next id. False
  // for an unavailable or unknown format or when the object cannot be made.
  bool Register(const std::string& Extension);
  // The same for a wide extension (converted to the system code page).
  bool Register(const std::u16string& Extension);

  // Extensions are compared lower-cased. Null for an unknown extension.
  static const TEncodeParamClass* ClassForExtension(const std::string& Extension);
  bool IsFormatAvailable(const std::string& Extension) const;
  // The first entry registered for the extension.
  TEncodeParam* FindByExtension(const std::string& Extension) const;
  int32_t FindIdByExtension(const std::string& Extension) const;  // -1 when none
  TEncodeParam* FindById(int32_t Id) const;

  // EncodeConfig.ini in the program's folder.
  static std::u16string ConfigFile();

  std::vector<TParamEntry> FEntries;
  int32_t FLastId = -1;
  bool FMp3Available = false;
  bool FApeAvailable = false;
  bool FFlacAvailable = false;
  bool FWavAvailable = false;
  // Copied into every object registered after it is set.
  TParamChangedEvent FOnChanged;

private:
  const TParamEntry* FindEntry(const std::string& Extension) const;
};

// ASCII lower case, as extensions are compared.
std::string LowerCaseExtension(const std::string& Extension);
