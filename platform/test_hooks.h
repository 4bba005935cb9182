// Observation points and injected faults for the tests; the program never
// sets them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavelo::platform {

// Called with every heap request and its outcome.
using HeapObserver = void (*)(std::size_t bytes, bool granted);
void set_heap_observer(HeapObserver observer);

// While set, the run-time heap refuses every request, as when memory has
// run out (the machine cannot be made to run out at one chosen request).
void set_heap_exhausted(bool exhausted);
// The next close_handle closes the handle, then fails with `error`, as a
// network file system or a quota reports a write it held back.
void set_close_failure(std::uint32_t error);

// Called by create_file with the name of a file it has just created new,
// before it locks it: where another run may come in between.
using CreatedObserver = void (*)(const char* name);
void set_created_observer(CreatedObserver observer);

}  // namespace tavelo::platform
