// Argument parsing of morvane-cli: short and long options anywhere before "--", then exactly two operands.
#include "tool/cli/cli_options.h"

#include <cstring>
#include <vector>

namespace morvane {

const char kCliVersion[] = "morvane-cli 1.0\n";

const char kCliUsage[] =
    "Usage: morvane-cli [OPTION]... HEADER MAIN\n"
    "  Runs one update: HEADER is expanded for its definitions only, MAIN is expanded into the result.\n"
    "  An empty argument (\"\") skips that file, as an empty path box does.\n"
    "  -o, --output FILE   write the result to FILE with the same write the window's Save uses, instead of\n"
    "                      standard output; nothing is written when the run did not complete\n"
    "      --tags          print the tag list instead of the result: the result row \"（出力結果）\", then "
    "every\n"
    "                      tag name in table order, each followed by \"\\n\"\n"
    "      --value NAME    print the value of tag NAME as the window shows it (up to its first NUL byte)\n"
    "                      instead of the result; a name that is no tag prints nothing and exits with 3\n"
    "      --codepage CP   use code page CP (the names that MORVANE_CODEPAGE accepts) instead of the\n"
    "                      environment's\n"
    "  -h, --help          usage on standard output, exit 0\n"
    "      --version       \"morvane-cli 1.0\", exit 0\n"
    "The template language: docs/language.md (every rule with an example); worked tasks: docs/recipes.md.\n"
    "Standard output: the result's bytes exactly, up to its first NUL byte, nothing added.\n"
    "Standard error: each message of the run as it is raised, one line each: \"morvane-cli: \" and the "
    "message.\n"
    "Exit status: 0 completed without a message; 1 completed, but a file could not be read; 2 not completed\n"
    "(nothing is printed or written); 3 --value named no tag; 64 bad usage (message on standard error); 74 "
    "the\n"
    "output file could not be written.\n";

namespace {

enum class LongOption { kOutput, kTags, kValue, kCodePage, kHelp, kVersion };

struct LongOptionName {
  const char* name;
  LongOption option;
  bool takesArgument;
};

constexpr LongOptionName kLongOptions[] = {
    {"output", LongOption::kOutput, true}, {"tags", LongOption::kTags, false},
    {"value", LongOption::kValue, true},   {"codepage", LongOption::kCodePage, true},
    {"help", LongOption::kHelp, false},    {"version", LongOption::kVersion, false},
};

void Apply(LongOption option, const char* argument, CliOptions* options) {
  switch (option) {
    case LongOption::kOutput:
      options->hasOutput = true;
      options->output = argument;
      break;
    case LongOption::kTags:
      options->tags = true;
      break;
    case LongOption::kValue:
      options->hasValue = true;
      options->valueName = argument;
      break;
    case LongOption::kCodePage:
      options->hasCodePage = true;
      options->codePage = argument;
      break;
    case LongOption::kHelp:
      options->help = true;
      break;
    case LongOption::kVersion:
      options->version = true;
      break;
  }
}

}  // namespace

int ParseCliArguments(int argc, const char* const* argv, CliOptions* options, std::string* error) {
  *options = CliOptions{};
  std::vector<const char*> operands;
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
      operands.push_back(arg);
    } else if (std::strcmp(arg, "--") == 0) {
      optionsEnded = true;
    } else if (arg[1] == '-') {
      const char* name = arg + 2;
      const char* equals = std::strchr(name, '=');
      const size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name);
      const LongOptionName* found = nullptr;
      for (const LongOptionName& candidate : kLongOptions) {
        if (std::strlen(candidate.name) == nameLength &&
            std::strncmp(candidate.name, name, nameLength) == 0) {
          found = &candidate;
        }
      }
      if (found == nullptr) {
        *error = "unknown option '" + std::string(arg, 2 + nameLength) + "'";
        return 0;
      }
      const char* argument = nullptr;
      if (found->takesArgument) {
        if (equals != nullptr) {
          argument = equals + 1;
        } else if (i + 1 < argc) {
          argument = argv[++i];
        } else {
          *error = "option '--" + std::string(found->name) + "' needs an argument";
          return 0;
        }
      } else if (equals != nullptr) {
        *error = "option '--" + std::string(found->name) + "' takes no argument";
        return 0;
      }
      Apply(found->option, argument, options);
    } else {
      // Short options, which may share one argument: -h, and -o with its argument attached or following.
      for (const char* p = arg + 1; *p != '\0'; ++p) {
        if (*p == 'h') {
          options->help = true;
        } else if (*p == 'o') {
          if (p[1] != '\0') {
            Apply(LongOption::kOutput, p + 1, options);
          } else if (i + 1 < argc) {
            Apply(LongOption::kOutput, argv[++i], options);
          } else {
            *error = "option '-o' needs an argument";
            return 0;
          }
          break;
        } else {
          *error = std::string("unknown option '-") + *p + "'";
          return 0;
        }
      }
    }
  }
  if (options->help || options->version) return 1;
  if (options->tags && options->hasValue) {
    *error = "--tags and --value cannot be used together";
    return 0;
  }
  if (operands.size() != 2) {
    *error = operands.size() < 2 ? "expected two files, HEADER and MAIN (\"\" to skip one)"
                                 : "too many arguments: expected HEADER and MAIN";
    return 0;
  }
  options->headerPath = operands[0];
  options->mainPath = operands[1];
  return 1;
}

}  // namespace morvane
