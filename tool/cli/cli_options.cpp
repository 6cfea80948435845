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
    "                      standard output; nothing is written when the run did not complete or HEADER or\n"
    "                      MAIN could not be read\n"
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
    "Exit status: 0 completed without a message; 1 completed, but a file could not be read (-o writes "
    "nothing);\n"
    "2 not completed, or out of memory (-o writes nothing); 3 --value named no tag; 64 bad usage, a "
    "malformed\n"
    "SOURCE_DATE_EPOCH included (message on standard error); 74 the output file or standard output could "
    "not\n"
    "be written.\n";

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

namespace {

// The arguments, read one at a time.
struct ArgumentCursor {
  int argc;
  const char* const* argv;
  int index = 0;

  bool HasNext() const { return index + 1 < argc; }
  const char* Next() { return argv[++index]; }
};

// The long option that `name` (its first `length` bytes) names, or nullptr with the reason in *error.
const LongOptionName* FindLongOption(const char* name, size_t length, std::string* error) {
  for (const LongOptionName& candidate : kLongOptions) {
    if (std::strncmp(candidate.name, name, length) == 0 && candidate.name[length] == '\0') return &candidate;
  }
  *error = "unknown option '--" + std::string(name, length) + "'";
  return nullptr;
}

// "--name", "--name=value" or "--name value", at the cursor.
int ParseLongOption(ArgumentCursor& cursor, CliOptions* options, std::string* error) {
  const char* name = cursor.argv[cursor.index] + 2;
  const char* equals = std::strchr(name, '=');
  const size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name);
  const LongOptionName* found = FindLongOption(name, nameLength, error);
  if (found == nullptr) return 0;
  const char* argument = nullptr;
  if (found->takesArgument) {
    if (equals != nullptr) {
      argument = equals + 1;
    } else if (cursor.HasNext()) {
      argument = cursor.Next();
    } else {
      *error = "option '--" + std::string(found->name) + "' needs an argument";
      return 0;
    }
  } else if (equals != nullptr) {
    *error = "option '--" + std::string(found->name) + "' takes no argument";
    return 0;
  }
  Apply(found->option, argument, options);
  return 1;
}

// Short options, which may share one argument: -h, and -o with its argument attached or following.
int ParseShortOptions(ArgumentCursor& cursor, CliOptions* options, std::string* error) {
  for (const char* p = cursor.argv[cursor.index] + 1; *p != '\0'; ++p) {
    if (*p == 'h') {
      options->help = true;
    } else if (*p == 'o') {
      if (p[1] != '\0') {
        Apply(LongOption::kOutput, p + 1, options);
      } else if (cursor.HasNext()) {
        Apply(LongOption::kOutput, cursor.Next(), options);
      } else {
        *error = "option '-o' needs an argument";
        return 0;
      }
      return 1;
    } else {
      *error = std::string("unknown option '-") + *p + "'";
      return 0;
    }
  }
  return 1;
}

// The options that cannot stand together, and the two operands.
int CheckOperands(const std::vector<const char*>& operands, CliOptions* options, std::string* error) {
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

}  // namespace

int ParseCliArguments(int argc, const char* const* argv, CliOptions* options, std::string* error) {
  *options = CliOptions{};
  std::vector<const char*> operands;
  bool optionsEnded = false;
  for (ArgumentCursor cursor{argc, argv}; cursor.index < argc; ++cursor.index) {
    const char* arg = argv[cursor.index];
    int ok = 1;
    if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
      operands.push_back(arg);
    } else if (std::strcmp(arg, "--") == 0) {
      optionsEnded = true;
    } else if (arg[1] == '-') {
      ok = ParseLongOption(cursor, options, error);
    } else {
      ok = ParseShortOptions(cursor, options, error);
    }
    if (!ok) return 0;
  }
  if (options->help || options->version) return 1;
  return CheckOperands(operands, options, error);
}

}  // namespace morvane
