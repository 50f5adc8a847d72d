// A program that only waits: copies of it under the application's process names stand in for running
// copies of the application. Usage: sleeper.exe [MILLISECONDS] (default 60000). Ends with exit code 7, so
// that a test can tell a natural end from a termination (exit code 0).
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  ::Sleep(argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 60000);
  return 7;
}
