// A child program for the process tests:
//   test_child exit <code>            exits with <code>
//   test_child sleep <ms>             sleeps, then exits with 0
//   test_child args <file> <words...> writes each word and a line feed to <file> (a path relative to
//                                     the current directory), showing how the command line split
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  if (argc < 3) return 100;
  const std::string mode = argv[1];
  if (mode == "exit") return std::atoi(argv[2]);
  if (mode == "sleep") {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    return 0;
  }
  if (mode == "args") {
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    for (int i = 3; i < argc; ++i) out << argv[i] << '\n';
    out.close();
    return out ? 0 : 101;
  }
  return 100;
}
