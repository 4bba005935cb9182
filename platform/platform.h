// The seam between tavelo's run-time and the operating system.
//
// Every call the run-time makes to the system goes through these functions.
// They mirror the KERNEL32 calls the program was designed around, one to one,
// so the Win32 backend is a thin pass-through and the POSIX backend emulates
// the same answers (handle types, error numbers, process creation).
//
// A call that fails answers false, kInvalidHandle or fewer bytes than asked,
// and leaves the reason, a Windows error number, in get_last_error(): the
// one channel by which the system's failures reach the run-time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavelo::platform {

using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// Error numbers are the Windows ones on every platform: the run-time maps
// them to its messages, and the POSIX backend translates errno into them.
namespace error {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kTooManyOpenFiles = 4;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kBadFormat = 11;
inline constexpr std::uint32_t kWriteProtect = 19;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kLockViolation = 33;
inline constexpr std::uint32_t kHandleDiskFull = 39;
inline constexpr std::uint32_t kFileExists = 80;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kBrokenPipe = 109;
inline constexpr std::uint32_t kDiskFull = 112;
inline constexpr std::uint32_t kInvalidName = 123;
inline constexpr std::uint32_t kAlreadyExists = 183;
inline constexpr std::uint32_t kBadExeFormat = 193;
inline constexpr std::uint32_t kEnvironmentVariableNotFound = 203;
inline constexpr std::uint32_t kFilenameTooLong = 206;
inline constexpr std::uint32_t kNoData = 232;
inline constexpr std::uint32_t kPipeNotConnected = 233;
inline constexpr std::uint32_t kDirectory = 267;
inline constexpr std::uint32_t kGeneralFailure = 31;
}  // namespace error

// ---- Process frame ------------------------------------------------------

// The process's signal dispositions, set first thing at start-up. POSIX: a
// write to a reader that has gone, or past the file size limit, fails with
// an error instead of ending the process, as WriteFile does. Windows:
// nothing to set. False when the system refuses.
bool set_up_signals();
// GetVersion.
std::uint32_t get_version();
// HeapCreate(no serialisation, 4096, growable). Returns false when refused.
bool heap_create();
// HeapAlloc / HeapFree on the run-time heap. A fresh block reads as zero:
// the backends hand out pages the process has never written, so a large
// block costs nothing until it is used.
void* heap_alloc(std::size_t bytes);
// HeapAlloc without HEAP_ZERO_MEMORY, for blocks written before they are
// read: nothing is cleared.
void* heap_alloc_uncleared(std::size_t bytes);
void heap_free(void* block);
// GetCommandLineA / GetEnvironmentStrings: nullptr when unavailable.
const char* get_command_line();
const char* get_environment_block();
// ExitProcess.
[[noreturn]] void exit_process(int code);

// ---- Standard handles and files ----------------------------------------

enum class StdStream { Input, Output, Error };
enum class FileType { Unknown, Disk, Char, Pipe };

// GetStdHandle: kInvalidHandle when the process has no such handle.
Handle get_std_handle(StdStream stream);
// GetFileType.
FileType get_file_type(Handle handle);
// ReadFile: true on success, with *done set (0 at end of input).
// A terminal delivers whole lines ending in CR LF, at most `size` bytes per
// call, as a console does.
bool read_file(Handle handle, void* buffer, std::uint32_t size, std::uint32_t* done);
// WriteFile: true on success, with *done set. Bytes go out unchanged.
bool write_file(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* done);
// GetLastError / SetLastError.
std::uint32_t get_last_error();
void set_last_error(std::uint32_t code);

// GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES.
bool file_exists(const char* name);

enum Access : std::uint32_t { kGenericRead = 1u, kGenericWrite = 2u };
enum class Disposition { CreateNew, OpenExisting };
// CreateFileA with share read, an inheritable handle and normal attributes.
// kInvalidHandle on failure, the reason in get_last_error(): a sharing
// violation while another process has the file open for writing, or has
// it open without sharing writes. POSIX and the web answer alike by
// open_by_the_rules (system_rules.h).
Handle create_file(const char* name, std::uint32_t access, Disposition disposition);
// SetFilePointer(offset, FILE_BEGIN) then SetEndOfFile.
bool truncate_file_at(Handle handle, std::uint32_t offset);
// CloseHandle.
bool close_handle(Handle handle);

// ---- Numbers -----------------------------------------------------------

// The double nearest to the decimal number in `text` (digits, "e", a
// decimal exponent), rounded correctly, into *value. False, with *value
// left as it is, when it lies beyond the double range or so near zero that
// the library reports it out of range.
bool decimal_to_double(const char* text, std::size_t length, double* value);

// ---- Environment and processes -----------------------------------------

// GetEnvironmentVariableA: the value's length when it fits in `capacity`
// (with its NUL), the size needed (length + 1) when it does not, 0 when the
// variable is unset or empty.
std::uint32_t get_environment_variable(const char* name, char* buffer, std::uint32_t capacity);
// The interpreter to run where COMSPEC is unset or empty, written into
// `buffer` (its `capacity` counts a NUL, which is not written); answers its
// length, or 0 when there is none. Windows: "cmd.exe". POSIX: as
// find_default_interpreter (system_rules.h) finds it.
std::uint32_t default_interpreter(char* buffer, std::uint32_t capacity);
// Windows' own interpreter, and POSIX's last resort.
inline constexpr char kWindowsInterpreter[] = "cmd.exe";

// CreateProcessA with no application name, inherited handles, creation
// flags 0, the caller's environment and directory, and a start-up record
// giving its own size (68 bytes in a 32-bit process) and every other field
// zero. On failure returns false with the reason in get_last_error().
bool create_process(char* command_line, Handle* process);
// WaitForSingleObject(INFINITE). POSIX: a console interrupt meanwhile is
// the process's, not this program's (process_posix.cpp).
bool wait_for_process(Handle process);
// GetExitCodeProcess.
bool get_exit_code_process(Handle process, std::uint32_t* code);

}  // namespace tavelo::platform
