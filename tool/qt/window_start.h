// The start of the window program: its command line (the files to open, --help and --version), and an
// application that says so when Qt can open no window, instead of Qt's abort.
#pragma once

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

namespace morvane {

extern const char kWindowUsage[];
extern const char kWindowVersion[];
// The one line the program prints, after "morvane: ", when no window can open.
extern const char kNoDisplayText[];

constexpr int kExitNoDisplay = 1;
constexpr int kExitWindowUsage = 64;

enum class WindowCommand { kOpen, kHelp, kVersion, kUsageError };

// What the command line asks for: --help or --version alone, or kOpen with at most two files, HEADER and
// MAIN, in *files as typed ("--" first lets a file name begin with '-'). Anything else is kUsageError with
// the reason in *error.
WindowCommand ParseWindowArguments(int argc, const char* const* argv, std::string* error,
                                   std::vector<std::string>* files);

// Constructs the application on the platform Qt chooses. When Qt finds none it can use (no display, a display
// that does not answer, no platform plugin), the process prints kNoDisplayText and exits with kExitNoDisplay;
// Qt's own messages of that attempt are dropped then, and printed on standard error otherwise. `argc` must
// outlive the application.
std::unique_ptr<QApplication> StartApplication(int& argc, char** argv);

}  // namespace morvane
