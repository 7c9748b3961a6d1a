// Windows has no spool for piped input: the console reads its keys from
// standard input there, so a pipe in its place leaves no keyboard. Create
// says so; the program refuses piped input before it gets here.
#include <cerrno>

#include "engine/port/input_spool.h"

namespace kelm::port {

InputSpool::~InputSpool() { Stop(); }

std::string InputSpool::DefaultFolder() { return std::string(); }

int InputSpool::Create(const std::string&) { return ENOTSUP; }

bool InputSpool::Start(int, std::function<void()>) { return false; }

void InputSpool::Stop() {}

SpoolProgress InputSpool::Progress() const {
  SpoolProgress progress;
  progress.state = state_.load();
  progress.error = error_.load();
  progress.size = size_.load();
  return progress;
}

intptr_t InputSpool::TakeReader() {
  const intptr_t reader = reader_;
  reader_ = -1;
  return reader;
}

void InputSpool::Finish(SpoolState state, int error) {
  error_.store(error);
  state_.store(state);
}

void InputSpool::Run(int, std::function<void()>) {}

}  // namespace kelm::port
