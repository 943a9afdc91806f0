// The window's texts in the user's language.
//
// The window's Chinese texts are Qt translation sources; the translation
// for the language the message catalog chose (MessageCatalogFile, so the
// window and the core always speak one language) is a Qt .qm file beside
// the core's catalog: "<lang>/LC_MESSAGES/morvo-window.qm".
//
// Threading: GUI thread, after the QApplication exists and before any
// window is built (widgets take their texts when they are made).
#pragma once

class QCoreApplication;

// Installs the translation for the user's language into App; false when
// the user reads Chinese or no translation is installed (the source texts
// are shown).
bool InstallWindowTranslation(QCoreApplication& App);
