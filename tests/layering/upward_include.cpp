// Built against the run-time alone by the layering test, which expects it
// to fail: the run-time cannot see the console above it.
#include "console/console_unit.h"
