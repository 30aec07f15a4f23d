#include "util/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Options as text: letter, then each occurrence's arguments in brackets; letter 0 shows as '0'.
std::wstring Describe(const CommandLine& line) {
  std::wstring text;
  for (const CommandLine::Option& option : line.GetOptions()) {
    if (!text.empty()) text += L' ';
    text += option.letter == 0 ? L'0' : option.letter;
    for (const auto& occurrence : option.occurrences) {
      text += L'[';
      for (size_t i = 0; i < occurrence.size(); ++i) text += (i ? L"," : L"") + occurrence[i];
      text += L']';
    }
  }
  return text;
}

TEST(CommandLine, GroupsWordsIntoOptionsAndReportsTheFirstError) {
  const struct {
    std::vector<std::wstring> words;
    std::wstring options;
    int errorCode;
    std::wstring errorText;
  } cases[] = {
      {{L"app.exe", L"-i", L"12", L"-h"}, L"i[12] h[]", 0, L""},
      {{L"app.exe", L"--id", L"7", L"-r", L"0"}, L"i[7] r[0]", 0, L""},
      {{L"app.exe", L"--hide", L"/i", L"3"}, L"h[] n[3]", 0, L""},  // "/" always means row 0
      {{L"app.exe", L"-i"}, L"", 1, L"--id requires at least 1 and at most 1 args, yours: 0"},
      {{L"app.exe", L"-h", L"-i", L"-r", L"1"}, L"h[]", 1, L"--id requires at least 1 and at most 1 args, yours: 0"},
      {{L"app.exe", L"-x", L"a", L"b", L"-h"}, L"0[-x,a,b]", 2, L"unrecognized option -x"},
      {{L"app.exe", L"-h", L"--ID", L"1"}, L"h[] 0[--ID,1]", 2, L"unrecognized option --ID"},
      {{L"app.exe", L"foo", L"bar"}, L"n[foo][bar]", 0, L""},
      {{L"app.exe", L"/S"}, L"n[]", 0, L""},
      {{L"app.exe", L"-", L"--", L"x"}, L"n[][x]", 0, L""},
      {{L"app.exe", L"-i", L"  ", L"5"}, L"i[5]", 0, L""},
      {{L"app.exe", L"-i", L"5", L"6"}, L"i[5] n[6]", 0, L""},
      {{L"app.exe", L"-hidden"}, L"h[]", 0, L""},  // only the second character counts
      {{L"app.exe", L"-i", L"1", L"-i", L"2"}, L"i[1][2]", 0, L""},
      {{L"-h", L"-r", L" 1 "}, L"h[] r[ 1 ]", 0, L""},  // no program path: parsing starts at word 0
      {{L"app.exe"}, L"", 0, L""},
      {{}, L"", 3, L"no args were found"},
  };
  for (const auto& c : cases) {
    std::vector<const wchar_t*> argv;
    for (const std::wstring& word : c.words) argv.push_back(word.c_str());
    const CommandLine line(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(Describe(line), c.options) << testing::PrintToString(c.words);
    EXPECT_EQ(line.GetErrorCode(), c.errorCode) << testing::PrintToString(c.words);
    EXPECT_EQ(line.GetErrorText(), c.errorText) << testing::PrintToString(c.words);
  }
}

TEST(CommandLine, OptionValueIsTheFirstArgumentOfTheFirstOccurrence) {
  const wchar_t* argv[] = {L"app.exe", L"-i", L"42", L"-h", L"-i", L"43"};
  const CommandLine line(6, argv);
  std::wstring value = L"untouched";
  EXPECT_TRUE(line.HasOption(L'i'));
  EXPECT_TRUE(line.GetOptionValue(L'i', value));
  EXPECT_EQ(value, L"42");
  EXPECT_TRUE(line.HasOption(L'h'));
  EXPECT_FALSE(line.GetOptionValue(L'h', value));  // present, but without an argument
  EXPECT_FALSE(line.HasOption(L'r'));
  EXPECT_FALSE(line.GetOptionValue(L'r', value));
  EXPECT_EQ(value, L"42");

  const CommandLine none(0, nullptr);
  EXPECT_FALSE(none.GetOptionValue(L'n', value));
  EXPECT_EQ(none.GetErrorCode(), CommandLine::kNoArguments);
}

TEST(CommandLine, ErrorTextIsCutTo127Characters) {
  const std::wstring word = L"-z" + std::wstring(300, L'q');
  const wchar_t* argv[] = {L"app.exe", word.c_str()};
  const CommandLine line(2, argv);
  EXPECT_EQ(line.GetErrorCode(), CommandLine::kUnrecognizedOption);
  EXPECT_EQ(line.GetErrorText(), (L"unrecognized option " + word).substr(0, 127));
}

}  // namespace
