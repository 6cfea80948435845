// The Linux window's entry point. The tool takes no command line of its own (Qt's options still apply).
#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "engine/text.h"
#include "tool/commands.h"
#include "tool/qt/dialog_hooks.h"
#include "tool/qt/icon_art.h"
#include "tool/qt/main_window.h"
#include "tool/qt/qt_translations.h"

namespace {

constexpr char kUnknownCodePage[] = "環境変数 MORVANE_CODEPAGE のコードページは使えません: ";

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // A save beyond the file size limit is reported as a failed write instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("morvane"));
  app.setDesktopFileName(QStringLiteral("morvane"));
  app.setWindowIcon(morvane::MorvaneIcon());
  morvane::InstallQtTranslations(&app, QLocale::system());

  if (!morvane::StartCodePage(nullptr)) {
    const char* name = std::getenv("MORVANE_CODEPAGE");
    QString text = QString::fromUtf8(kUnknownCodePage) + QString::fromLocal8Bit(name != nullptr ? name : "");
    std::fprintf(stderr, "morvane: %s\n", text.toLocal8Bit().constData());
    QMessageBox::warning(nullptr, QString::fromUtf8(morvane::kErrorCaption), text);
    return 2;
  }

  morvane::MainWindow window(morvane::PlatformDialogHooks());
  if (window.Start()) window.exec();
  return 0;
}
