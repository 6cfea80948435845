#include "tool/qt/window_start.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace morvane {

const char kWindowUsage[] =
    "Usage: morvane [HEADER [MAIN]]\n"
    "       morvane --help | --version\n"
    "  Opens the Morvane window: name a header file and a main file in its two boxes and press 更新 "
    "(Update)\n"
    "  to expand the main file's tags; the result shows in the view, the tags in the list beside it, and\n"
    "  ファイルに保存 saves the result to a file. Files on the command line fill the boxes (HEADER the "
    "header\n"
    "  box, MAIN the main box; \"\" leaves a box empty) and an update runs at once. The boxes, their recent\n"
    "  files and Auto-update are remembered in $XDG_CONFIG_HOME/morvane/morvane.conf. For scripts and\n"
    "  build systems use morvane-cli.\n"
    "  -h, --help     this text on standard output, exit 0\n"
    "      --version  the version, copyright and license, exit 0\n"
    "      --         what follows is files, also a name that begins with '-'\n"
    "It needs a display (DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM naming a Qt platform); without one "
    "it\n"
    "prints \"cannot open a window: no display\" and exits with 1.\n"
    "Environment: MORVANE_CODEPAGE the code page (else the locale's codeset; an unknown one exits with 2);\n"
    "SOURCE_DATE_EPOCH and TZ the date and time of the built-in tags; LC_ALL, LC_MESSAGES, LANG the "
    "language\n"
    "of the warnings and of the messages' second line (Japanese for \"ja...\").\n"
    "Exit status: 0 the window was closed; 1 no display; 2 unknown MORVANE_CODEPAGE; 64 bad usage.\n"
    "The template language: man 5 morvane, docs/language.md.\n";

const char kWindowVersion[] =
    "morvane (Morvane) 1.0\n"
    "Copyright (C) 2026 The Morvane authors.\n"
    "License MIT: <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

const char kNoDisplayText[] = "cannot open a window: no display";

WindowCommand ParseWindowArguments(int argc, const char* const* argv, std::string* error,
                                   std::vector<std::string>* files) {
  files->clear();
  if (argc == 2) {
    const char* argument = argv[1];
    if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) return WindowCommand::kHelp;
    if (std::strcmp(argument, "--version") == 0) return WindowCommand::kVersion;
  }
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (!optionsEnded && std::strcmp(argument, "--") == 0) {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && std::strcmp(argument, "-") == 0) {
      *error = "'-' is standard input, which the window does not read (see morvane-cli)";
      return WindowCommand::kUsageError;
    }
    if (!optionsEnded && argument[0] == '-') {
      const bool alone = std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0 ||
                         std::strcmp(argument, "--version") == 0;
      *error =
          alone ? std::string(argument) + " stands alone" : "unknown option '" + std::string(argument) + "'";
      return WindowCommand::kUsageError;
    }
    files->emplace_back(argument);
  }
  if (files->size() > 2) {
    *error = "too many arguments: the window takes HEADER and MAIN at most";
    return WindowCommand::kUsageError;
  }
  return WindowCommand::kOpen;
}

namespace {

// Qt's messages while the platform starts, printed only once it has started.
QStringList& HeldStartMessages() {
  static QStringList messages;
  return messages;
}

// Qt aborts the process after a fatal message, and the one a starting application can raise is that no
// platform could be initialised: end the process first, with one line instead of Qt's paragraph.
void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "morvane: %s\n", kNoDisplayText);
    std::fflush(stderr);
    std::_Exit(kExitNoDisplay);
  }
  HeldStartMessages().append(qFormatLogMessage(type, context, message));
}

}  // namespace

std::unique_ptr<QApplication> StartApplication(int& argc, char** argv) {
  const QtMessageHandler previous = qInstallMessageHandler(HoldStartMessage);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(previous);
  for (const QString& line : HeldStartMessages())
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
  HeldStartMessages().clear();
  return application;
}

}  // namespace morvane
