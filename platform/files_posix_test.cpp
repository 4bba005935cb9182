// Opening the results file against another run: a new file is cut, once
// locked, to the empty file its creator asked for, whoever came in between.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tests/support/scratch_folder.h"

namespace tavelo::platform {
namespace {

// Another run that opens, locks, writes and closes the file.
void other_run_writes(const char* name) {
  const int fd = open(name, O_RDWR | O_CREAT, 0666);
  ASSERT_TRUE(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 && write(fd, "other\r\n", 7) == 7);
  close(fd);
}

TEST(CreateFile, NewFileHoldsOnlyItsOwnTableWhoeverCameBetween) {
  const testing::ScratchFolder folder;
  const std::string name = folder.path() + "/resultados.txt";
  for (const bool first : {false, true}) {  // the other run between create and lock, or first
    unlink(name.c_str());
    if (first) other_run_writes(name.c_str());
    set_created_observer(first ? nullptr : other_run_writes);
    const Handle handle =
        create_file(name.c_str(), kGenericRead | kGenericWrite, Disposition::CreateNew);
    set_created_observer(nullptr);
    std::uint32_t done = 0;
    ASSERT_TRUE(handle != kInvalidHandle && write_file(handle, "mine\r\n", 6, &done));
    EXPECT_TRUE(close_handle(handle));
    EXPECT_EQ(testing::read_file(name), "mine\r\n") << first;
  }
}

}  // namespace
}  // namespace tavelo::platform
