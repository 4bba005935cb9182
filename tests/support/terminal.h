// A pseudo-terminal of 80 columns, as a user at a terminal (or tmux) meets
// it: what a test types reaches the program at its other side, and what the
// program writes is rendered as the terminal shows it. It starts in
// canonical mode with echo, and Enter is typed as CR. POSIX only.
#pragma once

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavelo::testing {

using Clock = std::chrono::steady_clock;
// A safety net against a hung program, not a measure of speed.
inline constexpr auto kPatience = std::chrono::seconds(30);  // wine starts slowly when busy

inline int remaining_ms(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Appends what `fd` has within `timeout_ms`; false when it has nothing more.
inline bool read_some(int fd, std::string& sink, int timeout_ms) {
  pollfd entry{fd, POLLIN, 0};
  if (poll(&entry, 1, timeout_ms) <= 0) return false;
  char buffer[4096];
  const ssize_t got = read(fd, buffer, sizeof buffer);
  if (got <= 0) return false;
  sink.append(buffer, static_cast<std::size_t>(got));
  return true;
}

inline void check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

class PseudoTerminal {
 public:
  static constexpr std::size_t kColumns = 80;

  PseudoTerminal() {
    winsize size{25, kColumns, 0, 0};
    check(openpty(&master_, &slave_, nullptr, nullptr, &size) == 0, "openpty");
    termios settings{};
    check(tcgetattr(slave_, &settings) == 0, "tcgetattr");
    settings.c_iflag |= ICRNL;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_lflag |= ICANON | ECHO;
    check(tcsetattr(slave_, TCSANOW, &settings) == 0, "tcsetattr");
  }
  ~PseudoTerminal() {
    close(master_);
    close(slave_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // The program's side. It stays open here until the end, so that what the
  // terminal holds survives the program's exit.
  int slave() const { return slave_; }

  void type(const std::string& keys) const {
    check(write(master_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size()), "type");
  }
  // Waits until the terminal shows exactly `text` (see screen()), or shows
  // it `anywhere` on the screen, or gives up after a while; true when it does.
  bool shows(const std::string& text, bool anywhere = false) {
    const auto seen = [&] {
      const std::string now = current_screen();
      return anywhere ? now.find(text) != now.npos : now == text;
    };
    const auto deadline = Clock::now() + kPatience;
    std::string bytes;
    while (!seen() && Clock::now() < deadline) {
      bytes.clear();
      if (read_some(master_, bytes, remaining_ms(deadline))) render(bytes);
    }
    return seen();
  }
  // What the terminal shows now, after a short look for more: its rows from
  // the top down to the last written one or the cursor's, whichever is lower,
  // without trailing blanks and joined by LF. Escape sequences are rendered,
  // not shown; one this renderer does not know appears as text.
  std::string screen() {
    std::string bytes;
    while (read_some(master_, bytes, 100)) {
    }
    render(bytes);
    return current_screen();
  }
  // The terminal's local modes (ICANON, ECHO, ...) now.
  unsigned local_modes() const {
    termios settings{};
    check(tcgetattr(slave_, &settings) == 0, "tcgetattr");
    return settings.c_lflag;
  }

 private:
  std::string current_screen() const {
    std::size_t last = row_;
    for (std::size_t row = row_; row < rows_.size(); ++row) {
      if (rows_[row].find_first_not_of(' ') != std::string::npos) last = row;
    }
    std::string shown;
    for (std::size_t row = 0; row <= last; ++row) {
      const std::string& text = rows_[row];
      if (row > 0) shown += '\n';
      shown += text.substr(0, text.find_last_not_of(' ') + 1);
    }
    return shown;
  }

  // A terminal's rendering of the bytes: the cursor wraps after the last
  // column only when the next character comes, as terminals do. Wine's
  // console writes the cursor's hiding and showing and erases to the end of
  // the line; any other sequence is left as text, to show up in a comparison.
  void render(const std::string& bytes) {
    const auto put = [this](char c) {
      if (column_ == kColumns) {
        column_ = 0;
        ++row_;
      }
      if (row_ >= rows_.size()) rows_.resize(row_ + 1);
      std::string& row = rows_[row_];
      if (row.size() <= column_) row.resize(column_ + 1, ' ');
      row[column_++] = c;
    };
    for (const char c : bytes) {
      if (!escape_.empty()) {
        escape_ += c;
        if (escape_.size() < 3 || c < 0x40 || c > 0x7e) continue;
        if (escape_ == "\x1b[K") {
          if (row_ < rows_.size() && rows_[row_].size() > column_) rows_[row_].resize(column_);
        } else if (escape_ != "\x1b[?25l" && escape_ != "\x1b[?25h") {
          for (const char shown : escape_.substr(1)) put(shown);
        }
        escape_.clear();
        continue;
      }
      switch (c) {
        case '\x1b': escape_ = c; break;
        case '\r': column_ = 0; break;
        case '\n':
          if (++row_ >= rows_.size()) rows_.resize(row_ + 1);
          break;
        case '\b': column_ -= column_ > 0 ? 1 : 0; break;
        default: put(c);
      }
    }
  }

  int master_ = -1;
  int slave_ = -1;
  // The rendered screen and its cursor.
  std::vector<std::string> rows_ = std::vector<std::string>(1);
  std::size_t row_ = 0;
  std::size_t column_ = 0;
  std::string escape_;  // an escape sequence not yet complete
};

}  // namespace tavelo::testing
