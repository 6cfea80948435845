// Qt's own translations, so the platform dialogs around the window (Open, Save, the overwrite question, the
// message boxes' buttons) speak the user's language. The window's own texts are fixed and not translated.
#pragma once

#include <QLocale>

class QCoreApplication;

namespace morvane {

// Installs Qt's translation for `locale` from Qt's translations folder into the application (which owns
// it). Returns 1 when one was found and installed, 0 otherwise (English dialogs, nothing installed).
int InstallQtTranslations(QCoreApplication* application, const QLocale& locale);

}  // namespace morvane
