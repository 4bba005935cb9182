// A Windows program for the end-to-end tests under wine:
//   win_helper run [NAME=VALUE | NAME] ... -- PROGRAM   runs PROGRAM with the
//       Windows environment changed (a bare NAME unsets it), passing the
//       standard handles on, and exits with its exit code;
//   win_helper /c COMMAND...   stands in for the command interpreter: records
//       its command line and the results file it finds, waits a moment, and
//       leaves a marker when it ends;
//   win_helper hold FILE SECONDS   keeps FILE open without sharing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void write_whole_file(const char* name, const std::string& bytes) {
  HANDLE file =
      CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD done = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(file);
}

int run(int argc, char** argv) {
  int i = 2;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    char* equals = std::strchr(argv[i], '=');
    if (equals == nullptr) {
      SetEnvironmentVariableA(argv[i], nullptr);
      continue;
    }
    *equals = '\0';
    SetEnvironmentVariableA(argv[i], equals + 1);
  }
  std::string command;
  for (++i; i < argc; ++i) command += std::string(command.empty() ? "" : " ") + argv[i];
  STARTUPINFOA start_up{};
  start_up.cb = sizeof start_up;
  PROCESS_INFORMATION created{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &start_up, &created)) {
    return 120;
  }
  WaitForSingleObject(created.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(created.hProcess, &code);
  return static_cast<int>(code);
}

int interpret() {
  write_whole_file("interpreter-args.txt", GetCommandLineA());
  CopyFileA("resultados.txt", "interpreter-saw.txt", FALSE);
  Sleep(1000);
  write_whole_file("interpreter-done.txt", "done");
  return 0;
}

int hold(const char* name, int seconds) {
  HANDLE file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::puts("held");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "run") == 0) return run(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "/c") == 0) return interpret();
  if (argc == 4 && std::strcmp(argv[1], "hold") == 0) return hold(argv[2], std::atoi(argv[3]));
  std::fputs("usage: win_helper run|/c|hold ...\n", stderr);
  return 2;
}
