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
                      AcceptedCase{{"--output=", "h", "m"}, "h", "m", "", false, "-", "-"},
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

INSTANTIATE_TEST_SUITE_P(Forms, RejectedArguments,
                         ::testing::Values(RejectedCase{{}, "expected two files"},
                                           RejectedCase{{"h"}, "expected two files"},
                                           RejectedCase{{"h", "m", "x"}, "too many"},
                                           RejectedCase{{"--bogus", "h", "m"}, "'--bogus'"},
                                           RejectedCase{{"--out", "f", "h", "m"}, "'--out'"},
                                           RejectedCase{{"--tagsx", "h", "m"}, "'--tagsx'"},
                                           RejectedCase{{"-x", "h", "m"}, "'-x'"},
                                           RejectedCase{{"h", "m", "-o"}, "'-o' needs"},
                                           RejectedCase{{"h", "m", "--value"}, "needs"},
                                           RejectedCase{{"h", "m", "--codepage"}, "needs"},
                                           RejectedCase{{"--tags=x", "h", "m"}, "no argument"},
                                           RejectedCase{{"--tags", "--value", "v", "h", "m"}, "together"},
                                           RejectedCase{{"-h-", "h", "m"}, "'--'"}));

TEST(CliArguments, HelpAndVersionNeedNoOperands) {
  CliOptions options;
  std::string error;
  ASSERT_EQ(Parse({"--help"}, &options, &error), 1);
  EXPECT_TRUE(options.help);
  ASSERT_EQ(Parse({"x", "-h"}, &options, &error), 1);
  EXPECT_TRUE(options.help);
  ASSERT_EQ(Parse({"--version", "a", "b", "c"}, &options, &error), 1);
  EXPECT_TRUE(options.version);
  EXPECT_EQ(std::string(kCliVersion), "morvane-cli 1.0\n");
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
