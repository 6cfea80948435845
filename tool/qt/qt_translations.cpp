#include "tool/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace morvane {

int InstallQtTranslations(QCoreApplication* application, const QLocale& locale) {
  auto* translator = new QTranslator(application);
  // qtbase holds the texts of the file dialogs, the message boxes and the standard buttons.
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return 0;
  }
  return 1;
}

}  // namespace morvane
