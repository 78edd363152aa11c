#include <gtest/gtest.h>

#include "common/text.h"
#include "svcmgr/command_line.h"

namespace {

using Args = std::vector<std::string>;

// 0x81..0x9F open a double-byte character, as in code page 932.
bool LeadByte932(uint8_t code) { return code >= 0x81 && code <= 0x9F; }

struct SplitCase {
  const char* Name;
  std::string Line;
  Args Expected;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, SplitsAsTheProgramAlwaysHas) {
  EXPECT_EQ(SplitCommandLine(GetParam().Line, &LeadByte932), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, SplitTest,
    ::testing::Values(
        SplitCase{"Plain", "svc.exe /INSTALL /SILENT", {"svc.exe", "/INSTALL", "/SILENT"}},
        SplitCase{"Empty", "", {}},
        SplitCase{"OnlyBlanks", " \t ", {}},
        SplitCase{"QuotedProgramWithBlanks",
                  "\"C:\\Program Files\\svc.exe\" -install",
                  {"C:\\Program Files\\svc.exe", "-install"}},
        SplitCase{"QuotedStretchInsideArgument", "svc a\"b c\"d", {"svc", "ab cd"}},
        SplitCase{"UnclosedQuoteRunsToTheEnd", "svc \"a b", {"svc", "a b"}},
        SplitCase{"EmptyPairWhereAnArgumentBegins", "svc \"\" /INSTALL \"\"\"\"", {"svc", "/INSTALL"}},
        SplitCase{"EmptyPairInsideAnArgumentVanishes", "svc /INS\"\"TALL", {"svc", "/INSTALL"}},
        SplitCase{"ControlCharactersSeparate",
                  std::string("svc\x01/A\x1f/B\x20/C\r\n"),
                  {"svc", "/A", "/B", "/C"}},
        SplitCase{"StopsAtZero", std::string("svc /A\0/B", 9), {"svc", "/A"}},
        SplitCase{"HighCharactersBelongToArguments", "svc /\xe4t", {"svc", "/\xe4t"}},
        // The trail byte 0x22 is not a quote and 0x20 would not be a blank: the
        // character stays whole.
        SplitCase{"DoubleByteCharacterIsNotSplit", "svc \x81\x22x \x82\x20y", {"svc", "\x81\x22x", "\x82\x20y"}},
        SplitCase{"DoubleByteInsideQuotes", "svc \"\x81\x22 z\"", {"svc", "\x81\x22 z"}},
        SplitCase{"LeadByteAtTheEnd", "svc \x81", {"svc", "\x81"}}),
    [](const auto& info) { return std::string(info.param.Name); });

struct SwitchCase {
  std::string Line;
  bool HasInstall;
};

class SwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTest, InstallSwitchIsTheWordAfterOneSlashOrHyphen) {
  const Args arguments = SplitCommandLine(GetParam().Line, nullptr);
  EXPECT_EQ(HasCommandLineSwitch(arguments, kSwitchInstall, &AsciiSameText), GetParam().HasInstall)
      << GetParam().Line;
}

INSTANTIATE_TEST_SUITE_P(CommandLine, SwitchTest,
                         ::testing::Values(SwitchCase{"svc /INSTALL", true}, SwitchCase{"svc -install", true},
                                           SwitchCase{"svc /InStAlL", true},
                                           SwitchCase{"svc /SILENT foo -Install", true},
                                           SwitchCase{"svc \"/INSTALL\"", true}, SwitchCase{"svc INSTALL", false},
                                           SwitchCase{"svc --install", false},
                                           SwitchCase{"svc /install:x", false},
                                           SwitchCase{"svc /installx", false}, SwitchCase{"svc /", false},
                                           SwitchCase{"svc / INSTALL", false},
                                           // The program name is never a switch.
                                           SwitchCase{"/INSTALL", false}));

// What the comparison below was asked; a plain function cannot capture.
std::vector<std::pair<std::string, std::string>> Compared;

TEST(CommandLineTest, SwitchComparisonIsTheGivenOne) {
  Compared.clear();
  const Args arguments{"svc", "/a", "x", "-b"};
  const bool found = HasCommandLineSwitch(arguments, "Z", [](const std::string& a, const std::string& b) {
    Compared.emplace_back(a, b);
    return a == "b";
  });
  EXPECT_TRUE(found);
  EXPECT_EQ(Compared, (std::vector<std::pair<std::string, std::string>>{{"a", "Z"}, {"b", "Z"}}));
}

}  // namespace
