// The Microsoft C run-time's rules for splitting a command line, which
// CreateProcessA leaves to the program it starts.
#include "platform/command_line.h"

namespace tavelo::platform {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// argv[0]: up to the next quote when it starts with one, else up to a blank;
// backslashes have no special meaning in it.
std::string program_name(const char*& cursor) {
  while (is_blank(*cursor)) ++cursor;
  std::string name;
  if (*cursor == '"') {
    for (++cursor; *cursor != '\0' && *cursor != '"'; ++cursor) name += *cursor;
    if (*cursor == '"') ++cursor;
  } else {
    for (; *cursor != '\0' && !is_blank(*cursor); ++cursor) name += *cursor;
  }
  return name;
}

// One further argument: 2n backslashes and a quote give n backslashes and
// toggle quoting; 2n+1 give n and a literal quote; inside quotes "" is a
// literal quote; other backslashes are literal.
std::string next_argument(const char*& cursor) {
  std::string argument;
  bool quoted = false;
  while (*cursor != '\0' && (quoted || !is_blank(*cursor))) {
    std::size_t backslashes = 0;
    for (; *cursor == '\\'; ++cursor) ++backslashes;
    if (*cursor == '"') {
      argument.append(backslashes / 2, '\\');
      if (backslashes % 2 == 1) {
        argument += '"';
      } else if (quoted && cursor[1] == '"') {
        argument += '"';
        ++cursor;
      } else {
        quoted = !quoted;
      }
      ++cursor;
    } else if (backslashes > 0) {
      argument.append(backslashes, '\\');
    } else {
      argument += *cursor++;
    }
  }
  return argument;
}

}  // namespace

std::vector<std::string> split_command_line(const char* line) {
  std::vector<std::string> words{program_name(line)};
  for (;;) {
    while (is_blank(*line)) ++line;
    if (*line == '\0') return words;
    words.push_back(next_argument(line));
  }
}

}  // namespace tavelo::platform
