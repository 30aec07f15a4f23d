#include "util/command_line.h"

#include <string_view>

#include "util/format.h"
#include "util/text_edit.h"

namespace {

struct OptionRow {
  wchar_t letter;
  const wchar_t* longName;
  int minArgs;
  int maxArgs;
};

constexpr OptionRow kOptionTable[] = {
    {L'n', L"none", 0, 1},
    {L'h', L"hide", 0, 0},
    {L'i', L"id", 1, 1},
    {L'r', L"run", 1, 1},
};

constexpr size_t kMaxErrorText = 127;

bool IsOptionWord(std::wstring_view word) { return !word.empty() && (word[0] == L'-' || word[0] == L'/'); }

const OptionRow* RowByLetter(wchar_t letter) {
  for (const OptionRow& row : kOptionTable) {
    if (row.letter == letter) return &row;
  }
  return nullptr;
}

const OptionRow* RowByLongName(std::wstring_view name) {
  for (const OptionRow& row : kOptionTable) {
    if (name == row.longName) return &row;
  }
  return nullptr;
}

// The option row a word names, or null when the word is unrecognised.
const OptionRow* FindRow(std::wstring_view word) {
  if (!IsOptionWord(word)) return RowByLetter(L'n');
  if (word[0] == L'/' || word.size() == 1) return &kOptionTable[0];
  if (word[1] == L'-') return word.size() == 2 ? &kOptionTable[0] : RowByLongName(word.substr(2));
  return RowByLetter(word[1]);
}

std::wstring Capped(std::wstring text) {
  if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
  return text;
}

}  // namespace

CommandLine::CommandLine(int argc, const wchar_t* const* argv) {
  if (argc <= 0 || argv == nullptr) {
    errorText_ = L"no args were found";
    errorCode_ = kNoArguments;
    return;
  }
  auto wordAt = [argv](int index) { return std::wstring_view(argv[index] != nullptr ? argv[index] : L""); };

  int i = IsOptionWord(wordAt(0)) ? 0 : 1;  // word 0 is normally the program path
  while (i < argc) {
    const std::wstring_view word = wordAt(i);
    const OptionRow* row = FindRow(word);
    if (row == nullptr) {
      errorText_ = Capped(FormatW(L"unrecognized option %s", word));
      errorCode_ = kUnrecognizedOption;
      std::vector<std::wstring> words{std::wstring(word)};
      for (++i; i < argc && !IsOptionWord(wordAt(i)); ++i) words.emplace_back(wordAt(i));
      EntryFor(0).occurrences.push_back(std::move(words));
      return;
    }
    const int wordIndex = i;
    if (IsOptionWord(word)) ++i;  // a plain word is its own first argument

    std::vector<std::wstring> arguments;
    int count = 0;
    for (; i < argc && count < row->maxArgs && !IsOptionWord(wordAt(i)); ++i) {
      std::wstring trimmed(wordAt(i));
      TrimW(trimmed);
      if (trimmed.empty()) continue;
      arguments.emplace_back(wordAt(i));
      ++count;
    }
    if (i == wordIndex) ++i;  // never stand still on a plain word no row takes

    if (count < row->minArgs || count > row->maxArgs) {
      errorText_ = Capped(FormatW(L"--%s requires at least %d and at most %d args, yours: %d", row->longName,
                                  row->minArgs, row->maxArgs, count));
      errorCode_ = kWrongArgumentCount;
      return;
    }
    EntryFor(row->letter).occurrences.push_back(std::move(arguments));
  }
}

CommandLine::Option& CommandLine::EntryFor(wchar_t letter) {
  for (Option& option : options_) {
    if (option.letter == letter) return option;
  }
  options_.push_back(Option{letter, {}});
  return options_.back();
}

const CommandLine::Option* CommandLine::FindOption(wchar_t letter) const {
  for (const Option& option : options_) {
    if (option.letter == letter) return &option;
  }
  return nullptr;
}

bool CommandLine::HasOption(wchar_t letter) const { return FindOption(letter) != nullptr; }

bool CommandLine::GetOptionValue(wchar_t letter, std::wstring& out) const {
  const Option* option = FindOption(letter);
  if (option == nullptr || option->occurrences.empty() || option->occurrences.front().empty()) return false;
  out = option->occurrences.front().front();
  return true;
}
