// The Linux window's entry point: the files to open, or --help or --version.
#include <QFile>
#include <QMessageBox>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/text.h"
#include "tool/commands.h"
#include "tool/message_text.h"
#include "tool/messages.h"
#include "tool/qt/dialog_hooks.h"
#include "tool/qt/icon_art.h"
#include "tool/qt/main_window.h"
#include "tool/qt/qt_translations.h"
#include "tool/qt/window_settings.h"
#include "tool/qt/window_start.h"

namespace {

constexpr char kUnknownCodePage[] = "環境変数 MORVANE_CODEPAGE のコードページは使えません: ";

void PrintText(const char* text, FILE* stream) {
  std::fputs(QString::fromUtf8(text).toLocal8Bit().constData(), stream);
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::string error;
  std::vector<std::string> files;
  switch (morvane::ParseWindowArguments(argc, argv, &error, &files)) {
    case morvane::WindowCommand::kHelp:
      PrintText(morvane::kWindowUsage, stdout);
      return std::fflush(stdout) == 0 ? 0 : 74;
    case morvane::WindowCommand::kVersion:
      PrintText(morvane::kWindowVersion, stdout);
      return std::fflush(stdout) == 0 ? 0 : 74;
    case morvane::WindowCommand::kUsageError:
      std::fprintf(stderr, "morvane: %s\nTry 'morvane --help' for more information.\n",
                   QString::fromUtf8(error.c_str()).toLocal8Bit().constData());
      return morvane::kExitWindowUsage;
    case morvane::WindowCommand::kOpen:
      break;
  }

  // A save beyond the file size limit is reported as a failed write instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Qt sees no arguments: its own options (-platform, -style, ...) would be a command line of the window.
  int qtArgc = 1;
  std::unique_ptr<QApplication> app = morvane::StartApplication(qtArgc, argv);
  app->setApplicationName(QStringLiteral("morvane"));
  app->setDesktopFileName(QStringLiteral("morvane"));
  app->setWindowIcon(morvane::MorvaneIcon());
  morvane::InstallQtTranslations(app.get(), QLocale::system());

  if (!morvane::StartCodePage(nullptr)) {
    const char* name = std::getenv("MORVANE_CODEPAGE");
    QString text = QString::fromUtf8(kUnknownCodePage) + QString::fromLocal8Bit(name != nullptr ? name : "");
    std::fprintf(stderr, "morvane: %s\n", text.toLocal8Bit().constData());
    QMessageBox::warning(nullptr, QString::fromUtf8(morvane::kErrorCaption), text);
    return 2;
  }

  morvane::SetMessageLanguage(morvane::PreferredMessageLanguage());
  morvane::MainWindow window(morvane::PlatformDialogHooks(), morvane::SettingsFilePath());
  if (!window.Start()) return 0;
  if (!files.empty()) {
    QStringList paths;
    for (const std::string& file : files) paths << QFile::decodeName(QByteArray::fromStdString(file));
    window.StartWith(paths);
  }
  window.exec();
  return 0;
}
