// tavelo: Nusselt numbers of a cylinder in cross flow, tabulated over
// Re = 1, 2, 4, ... and shown in the text editor.
#include "app/tavelo.h"
#include "console/console_unit.h"
#include "runtime/startup.h"

int main() {
  tavelo::runtime::start_up({tavelo::console::console_setup, tavelo::console::console_shutdown,
                             tavelo::app::programa_principal});
}
