// Saves pictures of the advanced settings dialog for people to look at:
//   morvo_param_screenshots OUTPUT_FOLDER
// param_mp3.png   the MP3 page with ABR chosen
// param_ape.png   the APE page
// param_flac.png  the FLAC page with an option ticked
// param_wav.png   the WAV page
// param_none.png  an extension without a page (".ogg")
// Each picture is the dialog's client area at twice its size, so that
// clipped texts and missing glyphs show.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPixmap>
#include <QRadioButton>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "params/forms/ufrmParam.h"
#include "params/forms/ufrmParamFrame.h"
#include "params/uParamManager.h"
#include "platform/uThreads.h"
#include "tests/support/forms/uScreenshot.h"
#include "tests/support/uTempDir.h"
#include "widgets/uMiraFonts.h"
#include "widgets/uWindowLanguage.h"

namespace fs = std::filesystem;

namespace {

bool Save(QWidget& Dialog, const QDir& Folder, const char* Name) {
  for (int I = 0; I < 5; ++I)
    QApplication::processEvents();
  return morvotest::SavePng(Dialog.grab(), Folder, Name, 2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: morvo_param_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // A program folder and a player folder with the codec tests' stand-in,
  // so that every format has its parameters.
  morvotest::TTempDir Program, Config, Player;
  setenv("MORVO_PROGRAM_DIR", Program.Path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
  fs::create_directories(Config.Path() / "Morva");
  std::FILE* Registry = std::fopen((Config.Path() / "Morva/registry.ini").c_str(), "w");
  if (!Registry) return 1;
  std::fprintf(Registry, "[Software\\Morva]\nMorva8=%s\n", (Player.Path() / "Morva.exe").c_str());
  std::fclose(Registry);
  fs::copy_file(MORVO_TEST_CODECS_LIBRARY, Player.Path() / "libcodecs.so");

  QApplication App(argc, argv);
  // In the language the environment names, as the program shows it.
  InstallWindowTranslation(App);
  platform::RegisterMainThread();
  QApplication::setFont(SongTiFont());
  const QDir Out(QString::fromLocal8Bit(argv[1]));
  Out.mkpath(QStringLiteral("."));

  TParamManager Params;
  for (const char* Ext : {".mp3", ".ape", ".wav", ".flac"})
    Params.Register(Ext);
  bool Ok = true;
  {
    TfrmParam Dialog(&Params, u".mp3");
    Dialog.show();
    auto* Page = dynamic_cast<TMp3Frame*>(Dialog.FFrame);
    if (Page) {
      Page->rbABR->click();
      Page->chkInsAftSucc->setChecked(true);
    }
    Ok &= Page && Save(Dialog, Out, "param_mp3.png");
  }
  {
    TfrmParam Dialog(&Params, u".ape");
    Dialog.show();
    Ok &= Dialog.FFrame && Save(Dialog, Out, "param_ape.png");
  }
  {
    TfrmParam Dialog(&Params, u".flac");
    Dialog.show();
    if (Dialog.FFrame) Dialog.FFrame->chkDelAftSucc->setChecked(true);
    Ok &= Dialog.FFrame && Save(Dialog, Out, "param_flac.png");
  }
  {
    TfrmParam Dialog(&Params, u".wav");
    Dialog.show();
    Ok &= Dialog.FFrame && Save(Dialog, Out, "param_wav.png");
  }
  {
    TfrmParam Dialog(&Params, u".ogg");
    Dialog.show();
    Ok &= Save(Dialog, Out, "param_none.png");
  }
  return Ok ? 0 : 1;
}
