#include "results/results_file.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "results/field_editing.h"
#include "runtime/error_report.h"
#include "runtime/startup.h"

namespace tavelo::results {
namespace {

namespace message = runtime::message;

constexpr int kUnitNumber = 3;
constexpr std::uint32_t kBlockSize = 1024;
constexpr std::string_view kHeaderRecord = "Elemento i - C(i) - m(i) - Re(i) - Nu(i)\r\n";
// The row layout (I5,4(1P,E15.6)): the index, then four real fields with one
// digit before the point, then the record end.
constexpr int kIndexWidth = 5;
constexpr int kRealWidth = 15;
constexpr int kRowLength = kIndexWidth + 4 * kRealWidth + 2;
constexpr int kScale = 1;

enum class AccessObtained { ReadWrite, ReadOnly, WriteOnly };

// The state of unit 3 while it is connected.
struct ResultsUnit {
  char name[runtime::kNameCapacity + 1];
  std::size_t name_length;
  platform::Handle handle;
  AccessObtained access;
  bool disk_file;
  char buffer[kBlockSize];
  std::uint32_t fill;           // bytes in the buffer not yet written
  std::uint32_t buffer_offset;  // where the buffer's first byte belongs in the file
  bool written;                 // created new, or cut at the write point
};

ResultsUnit* unit = nullptr;

void name_statement() { runtime::set_current_unit_name({unit->name, unit->name_length}); }

// ---- Failures -----------------------------------------------------------

// A failed cut or block write; `kind` is WRITE, or CLOSE for the close step.
[[noreturn]] void report_write_failure(std::uint32_t platform_error, runtime::StatementKind kind) {
  runtime::report_run_time_error(runtime::write_failure_message(platform_error), kind,
                                 {platform_error});
}

// ---- Opening ------------------------------------------------------------

ResultsUnit* new_unit(std::string_view name) {
  // The buffer is written before it is read: only the fields are set.
  auto* fresh = static_cast<ResultsUnit*>(platform::heap_alloc_uncleared(sizeof(ResultsUnit)));
  if (fresh == nullptr)
    runtime::report_run_time_error(message::kNoMemoryForUnit, runtime::kOutsideUnit);
  std::memcpy(fresh->name, name.data(), name.size());
  fresh->name[name.size()] = '\0';
  fresh->name_length = name.size();
  fresh->handle = platform::kInvalidHandle;
  fresh->access = AccessObtained::ReadWrite;
  fresh->disk_file = false;
  fresh->fill = 0;
  fresh->buffer_offset = 0;
  fresh->written = false;
  return fresh;
}

// CreateFileA read-write, then read-only, then write-only; the failure
// reported is that of the last attempt (only the messages without a reason
// of their own show it).
void connect_file(ResultsUnit& opening, platform::Disposition disposition) {
  struct Attempt {
    std::uint32_t access;
    AccessObtained obtained;
  };
  constexpr Attempt kAttempts[] = {
      {platform::kGenericRead | platform::kGenericWrite, AccessObtained::ReadWrite},
      {platform::kGenericRead, AccessObtained::ReadOnly},
      {platform::kGenericWrite, AccessObtained::WriteOnly},
  };
  for (const Attempt& attempt : kAttempts) {
    opening.handle = platform::create_file(opening.name, attempt.access, disposition);
    if (opening.handle != platform::kInvalidHandle) {
      opening.access = attempt.obtained;
      return;
    }
  }
  const std::uint32_t reason = platform::get_last_error();
  platform::heap_free(&opening);
  runtime::report_run_time_error(runtime::open_failure_message(reason), runtime::kOpenStatement,
                                 {reason});
}

// ---- Writing ------------------------------------------------------------

// A block is written once: when the write fails, its bytes are dropped
// before the report, so that the close at the process end does not write
// them again after the bytes that did get through.
void write_block(runtime::StatementKind kind) {
  std::uint32_t done = 0;
  const bool written = platform::write_file(unit->handle, unit->buffer, unit->fill, &done);
  unit->buffer_offset += unit->fill;
  unit->fill = 0;
  if (!written) report_write_failure(platform::get_last_error(), kind);
}

void append(const char* bytes, std::uint32_t size) {
  while (size > 0) {
    if (unit->fill == kBlockSize) write_block(runtime::kWriteStatement);
    const std::uint32_t part = std::min(size, kBlockSize - unit->fill);
    std::memcpy(unit->buffer + unit->fill, bytes, part);
    unit->fill += part;
    bytes += part;
    size -= part;
  }
}

// An existing file has nothing cut when it is already as long as the write
// point. The write point of the first statement is offset 0, so the question
// is whether the file is empty; a one-byte read answers it and leaves the
// file position at 0 when the file is empty (and the cut resets it otherwise).
bool longer_than_write_point() {
  if (unit->buffer_offset != 0 || unit->access == AccessObtained::WriteOnly) return true;
  char probe = 0;
  std::uint32_t done = 0;
  return !platform::read_file(unit->handle, &probe, 1, &done) || done != 0;
}

// A statement's first step: an existing file loses what lies beyond the
// write point before anything of the new contents is added.
void begin_statement() {
  name_statement();
  if (!unit->written) {
    if (unit->disk_file && longer_than_write_point() &&
        !platform::truncate_file_at(unit->handle, unit->buffer_offset + unit->fill)) {
      // Whatever the system answers, a read-only unit cannot be cut: access
      // is denied (some systems call the handle an invalid parameter).
      const bool read_only = unit->access == AccessObtained::ReadOnly;
      report_write_failure(read_only ? platform::error::kAccessDenied : platform::get_last_error(),
                           runtime::kWriteStatement);
    }
    unit->written = true;
  }
}

}  // namespace

void open_results_file(const char* name, std::int32_t length) {
  runtime::set_open_file_name(
      std::string_view(name, length > 0 ? static_cast<std::size_t>(length) : 0));
  const std::string_view trimmed = runtime::report_name();

  ResultsUnit* opening = new_unit(trimmed);
  // A failing query counts as a missing file, which is then created new.
  const bool exists = platform::file_exists(opening->name);
  connect_file(*opening,
               exists ? platform::Disposition::OpenExisting : platform::Disposition::CreateNew);
  opening->written = !exists;
  opening->disk_file = platform::get_file_type(opening->handle) == platform::FileType::Disk;
  unit = opening;
  // The process end closes a unit still connected after a failure.
  runtime::connect_unit(kUnitNumber, close_results_file);
}

void write_header_record() {
  begin_statement();
  append(kHeaderRecord.data(), kHeaderRecord.size());
}

// Each field is edited in place into the record: straight into the block
// when the record fits there, else beside it, to join the block in parts.
void write_row_record(std::int32_t i, float c, float m, float re, float nu) {
  begin_statement();
  char aside[kRowLength];
  const bool fits = unit->fill + kRowLength <= kBlockSize;
  char* const record = fits ? unit->buffer + unit->fill : aside;
  edit_integer_field(i, kIndexWidth, 1, record);
  char* field = record + kIndexWidth;
  for (const float value : {c, m, re, nu}) {
    edit_scientific_field(value, kRealWidth, 6, 2, kScale, field);
    field += kRealWidth;
  }
  field[0] = '\r';
  field[1] = '\n';
  if (fits) {
    unit->fill += kRowLength;
  } else {
    append(aside, kRowLength);
  }
}

void close_results_file() {
  if (unit == nullptr) return;
  name_statement();
  if (unit->fill != 0) write_block(runtime::kCloseStatement);
  // A file system may keep a write error back until the close (a network
  // file system, a quota): the table is then lost, and the close says so.
  // The unit is gone either way, so the process end does not close it again.
  const bool closed = platform::close_handle(unit->handle);
  const std::uint32_t reason = platform::get_last_error();
  // Keep is the only disposition: the file stays where it is.
  platform::heap_free(unit);
  unit = nullptr;
  if (!closed) report_write_failure(reason, runtime::kCloseStatement);
}

}  // namespace tavelo::results
