// Observation points for the tests; the program never sets them.
#pragma once

#include <cstddef>

namespace tavelo::platform {

// Called with every heap request and its outcome.
using HeapObserver = void (*)(std::size_t bytes, bool granted);
void set_heap_observer(HeapObserver observer);

}  // namespace tavelo::platform
