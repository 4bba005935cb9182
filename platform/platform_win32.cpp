// Win32 backend of the platform layer: each function is the KERNEL32 call
// of the same purpose.
#include <windows.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace tavelo::platform {
namespace {

HANDLE run_time_heap = nullptr;
HeapObserver heap_observer = nullptr;
bool heap_exhausted = false;
DWORD close_failure = ERROR_SUCCESS;

HANDLE native(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle wrap(HANDLE handle) {
  return handle == nullptr || handle == INVALID_HANDLE_VALUE ? kInvalidHandle
                                                             : reinterpret_cast<Handle>(handle);
}

}  // namespace

bool set_up_signals() { return true; }

std::uint32_t get_version() { return GetVersion(); }

bool heap_create() {
  run_time_heap = HeapCreate(HEAP_NO_SERIALIZE, 4096, 0);
  return run_time_heap != nullptr;
}

void* heap_alloc(std::size_t bytes) {
  // Unit tests allocate without start-up; a refused heap fails HeapAlloc below.
  if (run_time_heap == nullptr) heap_create();
  // Large blocks come fresh from the system, already zero, so the flag
  // costs nothing where it matters.
  void* block = heap_exhausted ? nullptr : HeapAlloc(run_time_heap, HEAP_ZERO_MEMORY, bytes);
  if (heap_observer != nullptr) heap_observer(bytes, block != nullptr);
  return block;
}

void* heap_alloc_uncleared(std::size_t bytes) {
  if (run_time_heap == nullptr) heap_create();
  void* block = heap_exhausted ? nullptr : HeapAlloc(run_time_heap, 0, bytes);
  if (heap_observer != nullptr) heap_observer(bytes, block != nullptr);
  return block;
}

void heap_free(void* block) { HeapFree(run_time_heap, 0, block); }

void set_heap_observer(HeapObserver observer) { heap_observer = observer; }
void set_heap_exhausted(bool exhausted) { heap_exhausted = exhausted; }
void set_close_failure(std::uint32_t error) { close_failure = error; }

const char* get_command_line() { return GetCommandLineA(); }

const char* get_environment_block() { return GetEnvironmentStrings(); }

void exit_process(int code) { ExitProcess(static_cast<UINT>(code)); }

Handle get_std_handle(StdStream stream) {
  const DWORD which = stream == StdStream::Input    ? STD_INPUT_HANDLE
                      : stream == StdStream::Output ? STD_OUTPUT_HANDLE
                                                    : STD_ERROR_HANDLE;
  return wrap(GetStdHandle(which));
}

FileType get_file_type(Handle handle) {
  switch (GetFileType(native(handle))) {
    case FILE_TYPE_DISK: return FileType::Disk;
    case FILE_TYPE_CHAR: return FileType::Char;
    case FILE_TYPE_PIPE: return FileType::Pipe;
    default: return FileType::Unknown;
  }
}

bool read_file(Handle handle, void* buffer, std::uint32_t size, std::uint32_t* done) {
  DWORD count = 0;
  const BOOL ok = ReadFile(native(handle), buffer, size, &count, nullptr);
  *done = count;
  return ok != FALSE;
}

bool write_file(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* done) {
  DWORD count = 0;
  const BOOL ok = WriteFile(native(handle), buffer, size, &count, nullptr);
  *done = count;
  return ok != FALSE;
}

std::uint32_t get_last_error() { return GetLastError(); }
void set_last_error(std::uint32_t code) { SetLastError(code); }

bool file_exists(const char* name) { return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; }

Handle create_file(const char* name, std::uint32_t access, Disposition disposition) {
  DWORD desired = 0;
  if ((access & kGenericRead) != 0) desired |= GENERIC_READ;
  if ((access & kGenericWrite) != 0) desired |= GENERIC_WRITE;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const DWORD how = disposition == Disposition::CreateNew ? CREATE_NEW : OPEN_EXISTING;
  // Windows refuses to write a read-only file for every user; wine run by
  // root would not, so the attribute is checked here as well.
  if (how == OPEN_EXISTING && (desired & GENERIC_WRITE) != 0) {
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetLastError(ERROR_ACCESS_DENIED);
      return kInvalidHandle;
    }
  }
  // Others may read the file while it is open here, never write it: a
  // second run's open fails with a sharing violation.
  return wrap(CreateFileA(name, desired, FILE_SHARE_READ, &inheritable, how, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
}

bool truncate_file_at(Handle handle, std::uint32_t offset) {
  if (SetFilePointer(native(handle), static_cast<LONG>(offset), nullptr, FILE_BEGIN) ==
          INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    return false;
  }
  return SetEndOfFile(native(handle)) != FALSE;
}

bool close_handle(Handle handle) {
  if (CloseHandle(native(handle)) == FALSE) return false;
  if (close_failure != ERROR_SUCCESS) {
    SetLastError(close_failure);
    close_failure = ERROR_SUCCESS;
    return false;
  }
  return true;
}

std::uint32_t get_environment_variable(const char* name, char* buffer, std::uint32_t capacity) {
  return GetEnvironmentVariableA(name, buffer, capacity);
}

// The caller's capacity always holds these 7 characters.
std::uint32_t default_interpreter(char* buffer, [[maybe_unused]] std::uint32_t capacity) {
  std::memcpy(buffer, kWindowsInterpreter, sizeof kWindowsInterpreter - 1);
  return sizeof kWindowsInterpreter - 1;
}

bool create_process(char* command_line, Handle* process) {
  STARTUPINFOA start_up{};
  start_up.cb = sizeof start_up;  // 68 in a 32-bit process, 104 in a 64-bit one
  PROCESS_INFORMATION created{};
  if (CreateProcessA(nullptr, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start_up,
                     &created) == FALSE) {
    return false;
  }
  CloseHandle(created.hThread);  // never used; a failed close costs one handle
  *process = reinterpret_cast<Handle>(created.hProcess);
  return true;
}

bool wait_for_process(Handle process) {
  return WaitForSingleObject(native(process), INFINITE) == WAIT_OBJECT_0;
}

bool get_exit_code_process(Handle process, std::uint32_t* code) {
  DWORD exit_code = 0;
  const BOOL ok = GetExitCodeProcess(native(process), &exit_code);
  *code = exit_code;
  return ok != FALSE;
}

}  // namespace tavelo::platform
