// The command line of morvane-cli: accepted forms and the usage errors.
#include "tool/cli/cli_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvane {
namespace {

int Parse(std::vector<const char*> args, CliOptions* options, std::string* error) {
  return ParseCliArguments(static_cast<int>(args.size()), args.data(), options, error);
}

struct AcceptedCase {
  std::vector<const char*> args;
  std::string header;
  std::string main;
  std::string output;  // "-" when no output was given
  bool tags;
  std::string value;  // "-" when no --value was given
  std::string codePage;
};

class AcceptedArguments : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedArguments, Parse) {
  const AcceptedCase& c = GetParam();
  CliOptions options;
  std::string error;
  ASSERT_EQ(Parse(c.args, &options, &error), 1) << error;
  EXPECT_EQ(options.headerPath, c.header);
  EXPECT_EQ(options.mainPath, c.main);
  EXPECT_EQ(options.hasOutput ? options.output : "-", c.output);
  EXPECT_EQ(options.tags, c.tags);
  EXPECT_EQ(options.hasValue ? options.valueName : "-", c.value);
  EXPECT_EQ(options.hasCodePage ? options.codePage : "-", c.codePage);
  EXPECT_FALSE(options.help);
  EXPECT_FALSE(options.version);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AcceptedArguments,
    ::testing::Values(AcceptedCase{{"h", "m"}, "h", "m", "-", false, "-", "-"},
                      AcceptedCase{{"", ""}, "", "", "-", false, "-", "-"},
                      AcceptedCase{{"-o", "out", "h", "m"}, "h", "m", "out", false, "-", "-"},
                      AcceptedCase{{"h", "-oout", "m"}, "h", "m", "out", false, "-", "-"},
                      AcceptedCase{{"--output", "out", "h", "m"}, "h", "m", "out", false, "-", "-"},
                      AcceptedCase{{"--output=a=b", "h", "m"}, "h", "m", "a=b", false, "-", "-"},
                      AcceptedCase{{"h", "m", "--tags"}, "h", "m", "-", true, "-", "-"},
                      AcceptedCase{{"--value", "name", "h", "m"}, "h", "m", "-", false, "name", "-"},
                      AcceptedCase{{"--value=", "h", "m"}, "h", "m", "-", false, "", "-"},
                      AcceptedCase{{"--value", "-o", "h", "m"}, "h", "m", "-", false, "-o", "-"},
                      AcceptedCase{{"--codepage", "932", "h", "m"}, "h", "m", "-", false, "-", "932"},
                      AcceptedCase{{"--codepage=utf-8", "h", "m"}, "h", "m", "-", false, "-", "utf-8"},
                      AcceptedCase{{"-", "m"}, "-", "m", "-", false, "-", "-"},
                      AcceptedCase{{"--", "-o", "--tags"}, "-o", "--tags", "-", false, "-", "-"},
                      AcceptedCase{{"-o", "a", "-o", "b", "h", "m"}, "h", "m", "b", false, "-", "-"}));

struct RejectedCase {
  std::vector<const char*> args;
  const char* reasonPart;
};

class RejectedArguments : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(RejectedArguments, UsageError) {
  CliOptions options;
  std::string error;
  EXPECT_EQ(Parse(GetParam().args, &options, &error), 0);
  EXPECT_NE(error.find(GetParam().reasonPart), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RejectedArguments,
    ::testing::Values(
        RejectedCase{{}, "expected two files"}, RejectedCase{{"h"}, "expected two files"},
        RejectedCase{{"h", "m", "x"}, "too many"}, RejectedCase{{"--bogus", "h", "m"}, "'--bogus'"},
        RejectedCase{{"--de", "f", "h", "m"}, "'--de' is ambiguous"},
        RejectedCase{{"--d", "f", "h", "m"}, "--define, --deps, --deps-target"},
        RejectedCase{{"-D", "x", "h", "m"}, "NAME=VALUE, not 'x'"},
        RejectedCase{{"h", "m", "-D"}, "'-D' needs"},
        RejectedCase{{"--deps", "d", "h", "m"}, "needs a target"},
        RejectedCase{{"--deps", "d", "-o", "-", "h", "m"}, "needs a target"},
        RejectedCase{{"-", "-"}, "standard input"},
        RejectedCase{{"--warn=1", "h", "m"}, "unknown warning class '1'"},
        RejectedCase{{"--tagsx", "h", "m"}, "'--tagsx'"}, RejectedCase{{"-x", "h", "m"}, "'-x'"},
        RejectedCase{{"h", "m", "-o"}, "'-o' needs"}, RejectedCase{{"h", "m", "--value"}, "needs"},
        RejectedCase{{"h", "m", "--codepage"}, "needs"}, RejectedCase{{"--tags=x", "h", "m"}, "no argument"},
        RejectedCase{{"--tags", "--value", "v", "h", "m"}, "together"},
        RejectedCase{{"-h-", "h", "m"}, "'--'"},
        RejectedCase{{"--output=", "h", "m"}, "-o needs a file name"},
        RejectedCase{{"--deps=", "-o", "x", "h", "m"}, "--deps needs a file name"},
        RejectedCase{{"--wa", "h", "m"}, "--warn, --watch"},
        RejectedCase{{"--watch=1", "h", "m"}, "no argument"},
        RejectedCase{{"--warn=cut,bogus", "h", "m"}, "unknown warning class 'bogus': all, unknown-tag,"},
        RejectedCase{{"--warn=", "h", "m"},
                     "--warn= needs a warning class where the list is empty: all, unknown-tag,"},
        RejectedCase{{"--no-warn=cut,", "h", "m"},
                     "--no-warn= needs a warning class where the list is empty"},
        RejectedCase{{"h", "m", "--no-warn"}, "'--no-warn' needs"},
        RejectedCase{{"--quiet=yes", "h", "m"}, "no argument"}));

TEST(CliArguments, HelpAndVersionNeedNoOperands) {
  CliOptions options;
  std::string error;
  ASSERT_EQ(Parse({"--help"}, &options, &error), 1);
  EXPECT_TRUE(options.help);
  ASSERT_EQ(Parse({"x", "-h"}, &options, &error), 1);
  EXPECT_TRUE(options.help);
  ASSERT_EQ(Parse({"--version", "a", "b", "c"}, &options, &error), 1);
  EXPECT_TRUE(options.version);
  const std::string version = kCliVersion;
  EXPECT_EQ(version.substr(0, version.find('\n')), "morvane-cli (Morvane) 1.0");
  EXPECT_NE(version.find("\nLicense MIT"), std::string::npos);
}

TEST(CliArguments, AbbreviationsDefinitionsDepsAndWarnings) {
  using Definitions = std::vector<std::pair<std::string, std::string>>;
  const struct {
    std::vector<const char*> args;
    Definitions definitions;
    bool warn, strict;
    std::string deps, depsTarget, output, value;
  } cases[] = {
      {{"--out", "o", "h", "m"}, {}, false, false, "", "", "o", ""},
      {{"--outp=o", "--val", "v", "h", "m"}, {}, false, false, "", "", "o", "v"},
      {{"-D", "a=b", "-Dc=d=e", "--define", "f=", "--def=g=h", "h", "m"},
       {{"a", "b"}, {"c", "d=e"}, {"f", ""}, {"g", "h"}},
       false,
       false,
       "",
       "",
       "",
       ""},
      {{"--warn", "h", "m"}, {}, true, false, "", "", "", ""},
      {{"--str", "h", "m"}, {}, true, true, "", "", "", ""},
      {{"--deps", "r.d", "-o", "r.txt", "h", "m"}, {}, false, false, "r.d", "", "r.txt", ""},
      {{"--deps=r.d", "--deps-t", "all", "h", "m"}, {}, false, false, "r.d", "all", "", ""},
  };
  for (const auto& c : cases) {
    CliOptions options;
    std::string error;
    ASSERT_EQ(Parse(c.args, &options, &error), 1) << error;
    EXPECT_EQ(options.definitions, c.definitions) << c.args[0];
    EXPECT_EQ(options.warn, c.warn) << c.args[0];
    EXPECT_EQ(options.strict, c.strict) << c.args[0];
    EXPECT_EQ(options.hasDeps ? options.deps : "", c.deps) << c.args[0];
    EXPECT_EQ(options.hasDepsTarget ? options.depsTarget : "", c.depsTarget) << c.args[0];
    EXPECT_EQ(options.hasOutput ? options.output : "", c.output) << c.args[0];
    EXPECT_EQ(options.hasValue ? options.valueName : "", c.value) << c.args[0];
  }
}

TEST(CliArguments, WatchAndItsAbbreviations) {
  const struct {
    std::vector<const char*> args;
    bool watch, warn;
  } cases[] = {{{"--watch", "h", "m"}, true, false},
               {{"h", "--wat", "m"}, true, false},
               {{"--war", "h", "m"}, false, true},
               {{"--watch", "--warn", "h", "m"}, true, true},
               {{"h", "m"}, false, false}};
  for (const auto& c : cases) {
    CliOptions options;
    std::string error;
    ASSERT_EQ(Parse(c.args, &options, &error), 1) << error;
    EXPECT_EQ(options.watch, c.watch) << c.args[0];
    EXPECT_EQ(options.warn, c.warn) << c.args[0];
  }
}

// --warn and --strict tell the warnings; the classes start as the default set and each --warn= and
// --no-warn= switches its list, in order; "--warn FILE" keeps FILE an operand.
TEST(CliArguments, WarningClassesAndQuiet) {
  using C = WarningClass;
  const struct {
    std::vector<const char*> args;
    bool warn, quiet;
    std::vector<C> on, off;  // classes checked to be on, and off
    const char* header;
  } cases[] = {
      {{"h", "m"},
       false,
       false,
       {C::kUnknownTag, C::kCodePage, C::kUnusedDefine},
       {C::kCut, C::kUnusedField},
       "h"},
      {{"--warn", "h", "m"}, true, false, {C::kUnknownTag}, {C::kCut}, "h"},
      {{"--warn=cut", "h", "m"}, true, false, {C::kCut, C::kUnknownTag}, {C::kUnusedField}, "h"},
      {{"--warn=all", "h", "m"}, true, false, {C::kCut, C::kUnusedField, C::kByteOrderMark}, {}, "h"},
      {{"--warn=all", "--no-warn=cut,bom", "h", "m"},
       true,
       false,
       {C::kUnusedField},
       {C::kCut, C::kByteOrderMark},
       "h"},
      {{"--no-warn=all", "--warn=number", "h", "m"},
       true,
       false,
       {C::kNumber},
       {C::kUnknownTag, C::kCut},
       "h"},
      {{"--no-warn", "unknown-tag", "h", "m"}, false, false, {C::kNumber}, {C::kUnknownTag}, "h"},
      {{"--no-warn=cut", "--warn=cut", "h", "m"}, true, false, {C::kCut}, {}, "h"},
      {{"-q", "h", "m"}, false, true, {C::kUnknownTag}, {C::kCut}, "h"},
      {{"--qu", "--strict", "h", "m"}, true, true, {C::kUnknownTag}, {}, "h"},
      {{"--warn", "--", "-q", "m"}, true, false, {}, {}, "-q"},
  };
  for (const auto& c : cases) {
    CliOptions options;
    std::string error;
    ASSERT_EQ(Parse(c.args, &options, &error), 1) << error;
    EXPECT_EQ(options.warn, c.warn) << c.args[0];
    EXPECT_EQ(options.quiet, c.quiet) << c.args[0];
    EXPECT_EQ(options.headerPath, c.header) << c.args[0];
    for (C on : c.on) EXPECT_TRUE(options.warnings.Has(on)) << c.args[0] << " " << WarningClassName(on);
    for (C off : c.off) EXPECT_FALSE(options.warnings.Has(off)) << c.args[0] << " " << WarningClassName(off);
  }
}

TEST(CliArguments, EachParseStartsAfresh) {
  CliOptions options;
  std::string error;
  ASSERT_EQ(Parse({"--tags", "-o", "x", "h", "m"}, &options, &error), 1);
  ASSERT_EQ(Parse({"h2", "m2"}, &options, &error), 1);
  EXPECT_FALSE(options.tags);
  EXPECT_FALSE(options.hasOutput);
  EXPECT_EQ(options.headerPath, "h2");
}

}  // namespace
}  // namespace morvane
