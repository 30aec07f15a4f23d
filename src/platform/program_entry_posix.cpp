#include "platform/program_entry.h"

#include <string>
#include <vector>

#include "platform/codepage.h"

int main(int argc, char** argv) {
  std::vector<std::wstring> words;
  words.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) words.push_back(platform::MultiByteToWide(platform::CodePage::Utf8, argv[i]));
  std::vector<wchar_t*> pointers;
  for (auto& w : words) pointers.push_back(w.data());
  pointers.push_back(nullptr);
  return ProgramMain(argc, pointers.data());
}
