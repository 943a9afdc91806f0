#include "params/uParamManager.h"

#include "platform/uCodePage.h"
#include "platform/uProgramDir.h"

std::string LowerCaseExtension(const std::string& Extension) {
  std::string Lower = Extension;
  for (char& C : Lower)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return Lower;
}

TParamManager::TParamManager() {
  FMp3Available = LoadCodecLibrary(ftMP3);
  FApeAvailable = LoadCodecLibrary(ftAPE);
  FFlacAvailable = LoadCodecLibrary(ftFLAC);
  FWavAvailable = LoadCodecLibrary(ftWAV);
}

TParamManager::~TParamManager() {
  for (TParamEntry& Entry : FEntries)
    Entry.Param.reset();
}

std::u16string TParamManager::ConfigFile() {
  return platform::ProgramDataDir() + u"EncodeConfig.ini";
}

const TEncodeParamClass* TParamManager::ClassForExtension(const std::string& Extension) {
  const std::string Lower = LowerCaseExtension(Extension);
  if (Lower == ".mp3") return &TMp3Param::Class();
  if (Lower == ".ape") return &TApeParam::Class();
  if (Lower == ".wav") return &TWavParam::Class();
  if (Lower == ".flac") return &TFlacParam::Class();
  return nullptr;
}

bool TParamManager::IsFormatAvailable(const std::string& Extension) const {
  const TEncodeParamClass* Class = ClassForExtension(Extension);
  if (!Class) return false;
  switch (Class->FormatType) {
  case ftMP3:
    return FMp3Available;
  case ftAPE:
    return FApeAvailable;
  case ftFLAC:
    return FFlacAvailable;
  case ftWAV:
    return FWavAvailable;
  default:
    return false;
  }
}

bool TParamManager::Register(const std::string& Extension) {
  const TEncodeParamClass* Class = ClassForExtension(Extension);
  if (!Class || !IsFormatAvailable(Extension)) return false;
  std::unique_ptr<TEncodeParam> Param;
  try {
    Param = Class->Create(ConfigFile());
  } catch (...) {
    return false;  // a format whose object cannot be made is not offered
  }
  if (!Param) return false;
  Param->FOnChanged = FOnChanged;
  FEntries.push_back({++FLastId, Class, LowerCaseExtension(Extension), std::move(Param)});
  return true;
}

bool TParamManager::Register(const std::u16string& Extension) {
  return Register(platform::WideToAnsi(Extension));
}

const TParamEntry* TParamManager::FindEntry(const std::string& Extension) const {
  const std::string Lower = LowerCaseExtension(Extension);
  for (const TParamEntry& Entry : FEntries)
    if (Entry.Extension == Lower) return &Entry;
  return nullptr;
}

TEncodeParam* TParamManager::FindByExtension(const std::string& Extension) const {
  const TParamEntry* Entry = FindEntry(Extension);
  return Entry ? Entry->Param.get() : nullptr;
}

int32_t TParamManager::FindIdByExtension(const std::string& Extension) const {
  const TParamEntry* Entry = FindEntry(Extension);
  return Entry ? Entry->Id : -1;
}

TEncodeParam* TParamManager::FindById(int32_t Id) const {
  for (const TParamEntry& Entry : FEntries)
    if (Entry.Id == Id) return Entry.Param.get();
  return nullptr;
}
