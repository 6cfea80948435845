// Argument parsing of morvane-cli: short and long options anywhere before "--", then exactly two operands.
#include "tool/cli/cli_options.h"

#include <cstring>
#include <vector>

#include "tool/messages.h"

namespace morvane {

const char kCliVersion[] =
    "morvane-cli (Morvane) 1.0\n"
    "Copyright (C) 2026 The Morvane authors.\n"
    "License MIT: <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

const char kCliUsage[] =
    "Usage: morvane-cli [OPTION]... HEADER MAIN\n"
    "  Runs one update: HEADER is expanded for its definitions only, MAIN is expanded into the result.\n"
    "  An empty argument (\"\") skips that file, as an empty path box does; \"-\" reads standard input (one "
    "of\n"
    "  the two at most). HEADER and MAIN may also be pipes or FIFOs; datafile files must be regular files.\n"
    "  -o, --output FILE   write the result to FILE with the same write the window's Save uses, instead of\n"
    "                      standard output (\"-\" is standard output); nothing is written when the run did\n"
    "                      not complete or a file could not be read, nor into a file the run reads\n"
    "  -D, --define NAME=VALUE\n"
    "                      before the header, define tag NAME as VALUE: read-only (a data or datafile\n"
    "                      of it in the files is a default), and literal (it comes out as typed,\n"
    "                      brackets and all); repeatable: -D version=1.2 -D \"title=Report\"\n"
    "      --deps FILE     write a make dependency file: the target, then every file the run read or found\n"
    "                      (HEADER, MAIN, every datafile that exists), and an empty rule for each of them;\n"
    "                      a name that make cannot read (a ';', '=', tab or line break, ...) is refused\n"
    "      --deps-target NAME\n"
    "                      the target of --deps when it is not the -o file\n"
    "      --tags          print the tag list instead of the result: the result row \"（出力結果）\", then\n"
    "                      every tag name in table order, each followed by \"\\n\"\n"
    "      --value NAME    print the value of tag NAME as the window shows it (up to its first NUL byte)\n"
    "                      instead of the result; a name that is no tag prints nothing and exits with 3\n"
    "      --codepage CP   use code page CP (the names that MORVANE_CODEPAGE accepts) instead of the\n"
    "                      environment's\n"
    "      --warn[=CLASS,...]\n"
    "                      tell on standard error, as FILE:LINE:COLUMN: warning: TEXT [CLASS], each\n"
    "                      expression the language drops, ignores or only partly applies (a missing tag,\n"
    "                      a misspelt keyword, an unquoted value, a number that reads otherwise, ...);\n"
    "                      with =CLASS,... also those classes that are off by default (cut, unused-field),\n"
    "                      or =all for every class\n"
    "      --no-warn=CLASS,...\n"
    "                      neither tell nor count warnings of these classes (=all: none at all)\n"
    "      --strict        --warn, and any warning fails the run with status 4: nothing printed or written\n"
    "  -q, --quiet         without --warn, leave out the line that counts the warnings\n"
    "      --watch         run, then run again each time a file the run read changes (HEADER, MAIN, every\n"
    "                      datafile, also one that does not exist yet), printing or writing as each run\n"
    "                      does and telling its status on standard error; Ctrl+C ends it with status 0\n"
    "                      (Linux; HEADER and MAIN must be files)\n"
    "      --rows DATA     run HEADER and MAIN once per record of DATA (CSV, TSV or JSON Lines, by its\n"
    "                      extension or --rows-format; \"-\" is standard input), each record's fields given\n"
    "                      as -D gives values; with -o PATTERN each record's result goes to the file the\n"
    "                      pattern names once expanded with the record's tags (-o 'out/[id].txt'), and\n"
    "                      no file is written unless every record succeeds; else the results go to\n"
    "                      standard output in record order\n"
    "      --rows-format csv|tsv|jsonl\n"
    "                      the format of DATA when its name does not tell it\n"
    "  -j, --jobs N        with --rows, run N records at once (default: the processors online)\n"
    "      --shard K/N     with --rows, run only the records whose place (from 0) modulo N is K - 1\n"
    "      --keep-going    with --rows, write the files of the records that succeeded although others\n"
    "                      failed (the status still tells the failure)\n"
    "  -h, --help          usage on standard output, exit 0\n"
    "      --version       the version, copyright and license, exit 0\n"
    "Long options may be abbreviated where that names one option alone.\n"
    "Examples:\n"
    "  morvane-cli header.txt main.txt > result.txt\n"
    "  echo '[who data=\"you\"]' | morvane-cli - main.txt\n"
    "  morvane-cli -D date=2026-12-09 -o report.txt --deps report.d header.txt report.tmpl\n"
    "  morvane-cli --strict header.txt main.txt      # fails (4) on any warning\n"
    "  morvane-cli --watch -o report.txt header.txt main.txt   # writes report.txt again on every save\n"
    "  morvane-cli --rows customers.csv -o 'letters/[id].txt' header.txt letter.txt\n"
    "The template language, every rule with an example: {docs}/language.md\n"
    "Worked tasks: {docs}/recipes.md; man morvane-cli and man 5 morvane once installed.\n"
    "Standard output: the result's bytes exactly, up to its first NUL byte, nothing added.\n"
    "Standard error: each message of the run as it is raised, \"morvane-cli: \" and the message, in "
    "English,\n"
    "or in Japanese when LC_ALL, LC_MESSAGES or LANG begins with \"ja\"; then the warnings of --warn, or\n"
    "without it one line that counts them: \"morvane-cli: 3 warnings (--warn shows them)\".\n"
    "Exit status: 0 completed without a message; 1 completed, but a file (a datafile too) could not be\n"
    "read (-o writes nothing); 2 not completed, or out of memory (nothing printed or written); 3 --value\n"
    "named no tag; 4 --strict and a warning; 64 bad usage, a malformed SOURCE_DATE_EPOCH, an output that\n"
    "is an input or a --deps name make cannot read included (nothing written); 74 the output file, the\n"
    "dependency file or standard output could not be written. When several apply: 2, 74, 4, 3, 1.\n"
    "With --rows the status is the first that applies to any record (1 also for a record that DATA could\n"
    "not give, or whose file the pattern cannot name).\n";

std::string CliUsage(const std::string& documentsFolder) {
  std::string usage = kCliUsage;
  const std::string placeholder = "{docs}";
  for (size_t at = usage.find(placeholder); at != std::string::npos; at = usage.find(placeholder, at)) {
    usage.replace(at, placeholder.size(), documentsFolder);
    at += documentsFolder.size();
  }
  return usage;
}

namespace {

enum class LongOption {
  kOutput,
  kDefine,
  kDeps,
  kDepsTarget,
  kTags,
  kValue,
  kCodePage,
  kWarn,
  kStrict,
  kWatch,
  kHelp,
  kVersion,
  kRows,
  kRowsFormat,
  kJobs,
  kShard,
  kKeepGoing,
  kNoWarn,
  kQuiet
};

enum class Argument : uint8_t {
  kNone,
  kRequired,
  kAttached,  // optional, and only after '=': "--warn FILE" leaves FILE an operand
};

struct LongOptionName {
  const char* name;
  LongOption option;
  Argument argument;
};

constexpr LongOptionName kLongOptions[] = {
    {"output", LongOption::kOutput, Argument::kRequired},
    {"define", LongOption::kDefine, Argument::kRequired},
    {"deps", LongOption::kDeps, Argument::kRequired},
    {"deps-target", LongOption::kDepsTarget, Argument::kRequired},
    {"tags", LongOption::kTags, Argument::kNone},
    {"value", LongOption::kValue, Argument::kRequired},
    {"codepage", LongOption::kCodePage, Argument::kRequired},
    {"warn", LongOption::kWarn, Argument::kAttached},
    {"strict", LongOption::kStrict, Argument::kNone},
    {"watch", LongOption::kWatch, Argument::kNone},
    {"help", LongOption::kHelp, Argument::kNone},
    {"version", LongOption::kVersion, Argument::kNone},
    {"rows", LongOption::kRows, Argument::kRequired},
    {"rows-format", LongOption::kRowsFormat, Argument::kRequired},
    {"jobs", LongOption::kJobs, Argument::kRequired},
    {"shard", LongOption::kShard, Argument::kRequired},
    {"keep-going", LongOption::kKeepGoing, Argument::kNone},
    {"no-warn", LongOption::kNoWarn, Argument::kRequired},
    {"quiet", LongOption::kQuiet, Argument::kNone},
};

// A decimal number of at most 18 digits, nothing else. 0 when the text is none.
int ReadCount(const char* text, uint64_t* value) {
  *value = 0;
  if (*text == '\0') return 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9' || p - text >= 18) return 0;
    *value = *value * 10 + static_cast<uint64_t>(*p - '0');
  }
  return 1;
}

// -j N: from 1 to kMaxJobs.
int SetJobs(const char* argument, CliOptions* options, std::string* error) {
  uint64_t jobs = 0;
  if (!ReadCount(argument, &jobs) || jobs == 0 || jobs > kMaxJobs) {
    *error = FormatMessage(MessageId::kBadJobs, {argument, std::to_string(kMaxJobs)});
    return 0;
  }
  options->hasJobs = true;
  options->jobs = static_cast<unsigned>(jobs);
  return 1;
}

// --shard K/N: 1 <= K <= N.
int SetShard(const char* argument, CliOptions* options, std::string* error) {
  const char* slash = std::strchr(argument, '/');
  uint64_t k = 0;
  uint64_t n = 0;
  if (slash == nullptr || !ReadCount(std::string(argument, slash).c_str(), &k) || !ReadCount(slash + 1, &n) ||
      k == 0 || k > n) {
    *error = FormatMessage(MessageId::kBadShard, {argument});
    return 0;
  }
  options->hasShard = true;
  options->shardIndex = k - 1;
  options->shardCount = n;
  return 1;
}

// -D NAME=VALUE: NAME up to the first '='. 0 with the reason when there is none.
int AddDefinition(const char* argument, CliOptions* options, std::string* error) {
  const char* equals = std::strchr(argument, '=');
  if (equals == nullptr) {
    *error = FormatMessage(MessageId::kDefineNeedsValue, {argument});
    return 0;
  }
  options->definitions.emplace_back(std::string(argument, equals), std::string(equals + 1));
  return 1;
}

// --warn=LIST and --no-warn=LIST: the classes switched on or off, in the order given.
int SwitchWarnings(const char* list, bool on, CliOptions* options, std::string* error) {
  std::string unknown;
  if (!options->warnings.Apply(list, on, &unknown)) {
    *error = unknown.empty() ? FormatMessage(MessageId::kWarningClassMissing,
                                             {on ? "--warn=" : "--no-warn=", WarningClassNames()})
                             : FormatMessage(MessageId::kUnknownWarningClass, {unknown, WarningClassNames()});
    return 0;
  }
  return 1;
}

int Apply(LongOption option, const char* argument, CliOptions* options, std::string* error) {
  switch (option) {
    case LongOption::kOutput:
      options->hasOutput = true;
      options->output = argument;
      break;
    case LongOption::kDefine:
      return AddDefinition(argument, options, error);
    case LongOption::kDeps:
      options->hasDeps = true;
      options->deps = argument;
      break;
    case LongOption::kDepsTarget:
      options->hasDepsTarget = true;
      options->depsTarget = argument;
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
    case LongOption::kWarn:
      options->warn = true;
      if (argument != nullptr) return SwitchWarnings(argument, true, options, error);
      break;
    case LongOption::kNoWarn:
      return SwitchWarnings(argument, false, options, error);
    case LongOption::kQuiet:
      options->quiet = true;
      break;
    case LongOption::kStrict:
      options->warn = true;
      options->strict = true;
      break;
    case LongOption::kWatch:
      options->watch = true;
      break;
    case LongOption::kHelp:
      options->help = true;
      break;
    case LongOption::kVersion:
      options->version = true;
      break;
    case LongOption::kRows:
      options->hasRows = true;
      options->rows = argument;
      break;
    case LongOption::kRowsFormat:
      options->hasRowsFormat = true;
      options->rowsFormat = argument;
      break;
    case LongOption::kJobs:
      return SetJobs(argument, options, error);
    case LongOption::kShard:
      return SetShard(argument, options, error);
    case LongOption::kKeepGoing:
      options->keepGoing = true;
      break;
  }
  return 1;
}

// The arguments, read one at a time.
struct ArgumentCursor {
  int argc;
  const char* const* argv;
  int index = 0;

  bool HasNext() const { return index + 1 < argc; }
  const char* Next() { return argv[++index]; }
};

// The long option that `name` (its first `length` bytes) names: itself, or the one option it abbreviates.
// nullptr, with the reason in *error, when it names none or several.
const LongOptionName* FindLongOption(const char* name, size_t length, std::string* error) {
  const LongOptionName* found = nullptr;
  int prefixes = 0;
  std::string candidates;
  for (const LongOptionName& candidate : kLongOptions) {
    if (std::strncmp(candidate.name, name, length) != 0) continue;
    if (candidate.name[length] == '\0') return &candidate;  // an exact name wins over longer ones
    found = &candidate;
    ++prefixes;
    candidates += (candidates.empty() ? "--" : ", --") + std::string(candidate.name);
  }
  if (prefixes == 1) return found;
  const std::string given = "--" + std::string(name, length);
  *error = prefixes == 0 ? FormatMessage(MessageId::kUnknownOption, {given})
                         : FormatMessage(MessageId::kAmbiguousOption, {given, candidates});
  return nullptr;
}

// "--name", "--name=value" or "--name value", at the cursor.
int ParseLongOption(ArgumentCursor& cursor, CliOptions* options, std::string* error) {
  const char* name = cursor.argv[cursor.index] + 2;
  const char* equals = std::strchr(name, '=');
  const size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name);
  const LongOptionName* found = FindLongOption(name, nameLength, error);
  if (found == nullptr) return 0;
  const std::string optionName = "--" + std::string(found->name);
  const char* argument = nullptr;
  if (found->argument == Argument::kAttached) {
    if (equals != nullptr) argument = equals + 1;
  } else if (found->argument == Argument::kRequired) {
    if (equals != nullptr) {
      argument = equals + 1;
    } else if (cursor.HasNext()) {
      argument = cursor.Next();
    } else {
      *error = FormatMessage(MessageId::kOptionNeedsArgument, {optionName});
      return 0;
    }
  } else if (equals != nullptr) {
    *error = FormatMessage(MessageId::kOptionTakesNoArgument, {optionName});
    return 0;
  }
  return Apply(found->option, argument, options, error);
}

// Short options, which may share one argument: -h, -q, and -o, -D or -j with its argument attached or
// following.
int ParseShortOptions(ArgumentCursor& cursor, CliOptions* options, std::string* error) {
  for (const char* p = cursor.argv[cursor.index] + 1; *p != '\0'; ++p) {
    if (*p == 'h') {
      options->help = true;
      continue;
    }
    if (*p == 'q') {
      options->quiet = true;
      continue;
    }
    if (*p != 'o' && *p != 'D' && *p != 'j') {
      *error = FormatMessage(MessageId::kUnknownOption, {std::string("-") + *p});
      return 0;
    }
    const LongOption option = *p == 'o'   ? LongOption::kOutput
                              : *p == 'D' ? LongOption::kDefine
                                          : LongOption::kJobs;
    if (p[1] != '\0') return Apply(option, p + 1, options, error);
    if (cursor.HasNext()) return Apply(option, cursor.Next(), options, error);
    *error = FormatMessage(MessageId::kOptionNeedsArgument, {std::string("-") + *p});
    return 0;
  }
  return 1;
}

// The options of --rows need it; with it, the options that list one run's tags, and --deps, have no
// meaning. Without --rows, --deps needs a target.
int CheckRowsOptions(CliOptions* options, std::string* error) {
  if (!options->hasRows) {
    const char* needsRows = options->hasRowsFormat ? "--rows-format"
                            : options->hasJobs     ? "-j"
                            : options->hasShard    ? "--shard"
                            : options->keepGoing   ? "--keep-going"
                                                   : nullptr;
    if (needsRows != nullptr) {
      *error = FormatMessage(MessageId::kNeedsRows, {needsRows});
      return 0;
    }
    const bool outputIsFile = options->hasOutput && !IsStandardStream(options->output);
    if (options->hasDeps && !outputIsFile && !options->hasDepsTarget) {
      *error = FormatMessage(MessageId::kDepsNeedTarget);
      return 0;
    }
    return 1;
  }
  const char* excluded = options->tags            ? "--tags"
                         : options->hasValue      ? "--value"
                         : options->hasDeps       ? "--deps"
                         : options->hasDepsTarget ? "--deps-target"
                                                  : nullptr;
  if (excluded != nullptr) {
    *error = FormatMessage(MessageId::kOptionsExclusive, {"--rows", excluded});
    return 0;
  }
  if (options->rows.empty()) {
    *error = FormatMessage(MessageId::kEmptyFileName, {"--rows"});
    return 0;
  }
  if (IsStandardStream(options->rows) &&
      (IsStandardStream(options->headerPath) || IsStandardStream(options->mainPath))) {
    *error = FormatMessage(MessageId::kRowsStandardInput,
                           {IsStandardStream(options->headerPath) ? "HEADER" : "MAIN"});
    return 0;
  }
  return 1;
}

// The options that cannot stand together, and the two operands.
int CheckOperands(const std::vector<const char*>& operands, CliOptions* options, std::string* error) {
  if (options->tags && options->hasValue) {
    *error = FormatMessage(MessageId::kOptionsExclusive, {"--tags", "--value"});
    return 0;
  }
  if (operands.size() != 2) {
    *error = FormatMessage(operands.size() < 2 ? MessageId::kExpectedTwoFiles : MessageId::kTooManyArguments);
    return 0;
  }
  options->headerPath = operands[0];
  options->mainPath = operands[1];
  if (IsStandardStream(options->headerPath) && IsStandardStream(options->mainPath)) {
    *error = FormatMessage(MessageId::kBothStandardInput);
    return 0;
  }
  const bool emptyOutput = options->hasOutput && options->output.empty();
  if (emptyOutput || (options->hasDeps && options->deps.empty())) {
    *error = FormatMessage(MessageId::kEmptyFileName, {emptyOutput ? "-o" : "--deps"});
    return 0;
  }
  return CheckRowsOptions(options, error);
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
