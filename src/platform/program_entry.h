#pragma once
// The process entry. The platform owns the real entry point (wWinMain on Windows, main on POSIX)
// in the library devu_platform_entry; the program defines ProgramMain, which receives the
// process's arguments as wide strings (argv[0] is the program) and returns the exit code.
int ProgramMain(int argc, wchar_t** argv);
