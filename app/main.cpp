// tavelo: Nusselt numbers of a cylinder in cross flow, tabulated over
// Re = 1, 2, 4, ... and shown in the text editor.
#include "app/tavelo.h"
#include "arithmetic/float_env.h"
#include "console/console_unit.h"
#include "runtime/startup.h"

int main() {
  using namespace tavelo;
  runtime::start_up({arithmetic::float_library_setup, arithmetic::float_runtime_setup,
                     console::console_setup, console::console_shutdown, app::programa_principal});
}
