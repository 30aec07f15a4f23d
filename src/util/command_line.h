#pragma once
// Table-driven parser of the process's argument vector. Options have a letter and a long name
// (-i 5, --id 5, /S); words that are not options belong to the letter 'n' ("none").
#include <string>
#include <vector>

class CommandLine {
 public:
  enum ErrorCode {
    kNoError = 0,
    kWrongArgumentCount = 1,
    kUnrecognizedOption = 2,
    kNoArguments = 3,
  };

  struct Option {
    wchar_t letter;  // 0 for the words of an unrecognised option
    std::vector<std::vector<std::wstring>> occurrences;
  };

  CommandLine(int argc, const wchar_t* const* argv);

  bool HasOption(wchar_t letter) const;
  // First argument of the first occurrence of the letter, when there is one.
  bool GetOptionValue(wchar_t letter, std::wstring& out) const;
  // Options in order of first appearance.
  const std::vector<Option>& GetOptions() const { return options_; }
  const Option* FindOption(wchar_t letter) const;

  int GetErrorCode() const { return errorCode_; }
  const std::wstring& GetErrorText() const { return errorText_; }

 private:
  Option& EntryFor(wchar_t letter);

  std::vector<Option> options_;
  std::wstring errorText_;
  int errorCode_ = kNoError;
};
