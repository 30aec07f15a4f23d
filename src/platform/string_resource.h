#pragma once
// The program's string table. Windows: the module's STRINGTABLE resource (LoadStringW). POSIX:
// the same table compiled into the program (see StringResourceEntry), empty when none is linked.
#include <cstdint>
#include <string>

namespace platform {

// Empty when the id is not in the table.
std::wstring LoadStringResource(uint32_t id);

struct StringResourceEntry {
  uint32_t id;
  const wchar_t* text;
};

}  // namespace platform
