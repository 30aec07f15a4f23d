# Writes the string table of a resource script as C++ for the POSIX build, so that both targets
# read the same texts. Usage: cmake -DRC=<strings.rc> -DOUT=<file.cpp> -P string_table_from_rc.cmake
file(STRINGS "${RC}" lines ENCODING UTF-8)
set(entries "")
set(count 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*([0-9]+)[ \t]*,[ \t]*L(\"([^\"\\\\]|\\\\.)*\")")
    set(id "${CMAKE_MATCH_1}")
    # \xHHHH (resource script) -> \uHHHH (C++), which cannot swallow a following letter.
    string(REGEX REPLACE "\\\\x([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])" "\\\\u\\1" text "${CMAKE_MATCH_2}")
    string(APPEND entries "    {${id}, L${text}},\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
file(WRITE "${OUT}.tmp"
"// Generated from ${RC}; do not edit.
#include \"platform/string_resource.h\"

namespace platform::posix {
extern const StringResourceEntry kStringResources[];
extern const unsigned kStringResourceCount;
const StringResourceEntry kStringResources[] = {
${entries}};
const unsigned kStringResourceCount = ${count};
}  // namespace platform::posix
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
