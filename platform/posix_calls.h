// What the POSIX backend's files share: the retry of a call that a signal
// interrupted, signal actions, the file calls and the process's environment.
#pragma once

#include <signal.h>

#include <cerrno>

#include "platform/system_rules.h"

extern char** environ;

namespace tavelo::platform {

// Calls `call` again while it fails with EINTR; returns its last result.
template <typename Call>
auto retry_on_interrupt(Call call) {
  auto result = call();
  while (result < 0 && errno == EINTR) result = call();
  return result;
}

// sigaction with `handler` and nothing else set; the action it replaces
// goes to `previous` when given. False, with errno set, when refused.
inline bool set_signal_action(int number, void (*handler)(int),
                              struct sigaction* previous = nullptr) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  return sigaction(number, &action, previous) == 0;
}

// The plain calls the rules of opening a file and finding a program make.
extern const FileCalls kPosixFileCalls;

}  // namespace tavelo::platform
