#include "terminal_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace kelm::port::testing {

PtyTerminal::PtyTerminal(int columns, int rows, ReadFrom readFrom) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  const char* name = ptsname(master_);
  slave_ = name ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
  if (slave_ < 0) throw std::runtime_error("cannot open the pseudo-terminal's terminal side");
  SetSize(columns, rows);
  if (readFrom == ReadFrom::Start) StartReader();
}

void PtyTerminal::StartReader() const {
  std::call_once(readerStarted_, [this] {
    reader_ = std::thread([self = const_cast<PtyTerminal*>(this)] { self->ReadLoop(); });
  });
}

PtyTerminal::~PtyTerminal() {
  stop_ = true;
  if (reader_.joinable()) reader_.join();
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

void PtyTerminal::Send(std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void PtyTerminal::AnswerQuery(std::string query, std::string reply) {
  StartReader();
  std::lock_guard lock(mutex_);
  answers_.push_back(Answer{std::move(query), std::move(reply), output_.size()});
}

void PtyTerminal::SetSize(int columns, int rows) {
  winsize ws{};
  ws.ws_col = static_cast<unsigned short>(columns);
  ws.ws_row = static_cast<unsigned short>(rows);
  ioctl(master_, TIOCSWINSZ, &ws);
}

void PtyTerminal::HangUp() {
  std::call_once(readerStarted_, [] {});  // a reader not started yet never starts
  stop_ = true;
  if (reader_.joinable()) reader_.join();
  close(master_);
  master_ = -1;
}

std::string PtyTerminal::Output() const {
  StartReader();
  std::lock_guard lock(mutex_);
  return output_;
}

size_t PtyTerminal::OutputSize() const {
  StartReader();
  std::lock_guard lock(mutex_);
  return output_.size();
}

size_t PtyTerminal::WaitForOutput(std::string_view needle, size_t from, int timeoutMs) const {
  StartReader();
  std::unique_lock lock(mutex_);
  size_t found = std::string::npos;
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    found = from <= output_.size() ? output_.find(needle, from) : std::string::npos;
    return found != std::string::npos;
  });
  return found == std::string::npos ? found : found + needle.size();
}

termios PtyTerminal::Settings() const {
  termios settings{};
  tcgetattr(slave_, &settings);
  return settings;
}

void PtyTerminal::ReadLoop() {
  char buffer[4096];
  while (!stop_) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) continue;
    std::vector<std::string> replies;
    {
      std::lock_guard lock(mutex_);
      output_.append(buffer, static_cast<size_t>(n));
      // Each query is answered once per time it is sent.
      for (Answer& answer : answers_) {
        for (size_t at = output_.find(answer.query, answer.searchFrom); at != std::string::npos;
             at = output_.find(answer.query, answer.searchFrom)) {
          replies.push_back(answer.reply);
          answer.searchFrom = at + answer.query.size();
        }
      }
    }
    for (const std::string& reply : replies) Send(reply);
    changed_.notify_all();
  }
}

}  // namespace kelm::port::testing
