// The layering test's control: built against the run-time alone, a file
// that includes the run-time's and the platform's headers compiles.
#include "platform/platform.h"
#include "runtime/lowio.h"
