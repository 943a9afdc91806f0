#include "widgets/uWindowLanguage.h"

#include <QCoreApplication>
#include <QTranslator>

#include "infra/uMessages.h"
#include "platform/qt/uQtText.h"

bool InstallWindowTranslation(QCoreApplication& App) {
  const std::u16string Path = MessageCatalogFile(u"morvo-window.qm");
  if (Path.empty()) return false;
  // Owned by App, so that it lives as long as the texts it translates.
  auto* Translator = new QTranslator(&App);
  if (!Translator->load(platform::qt::ToQString(Path)) || !App.installTranslator(Translator)) {
    delete Translator;
    return false;
  }
  return true;
}
