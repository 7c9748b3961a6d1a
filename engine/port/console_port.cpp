#include "engine/port/console_port.h"

#include <atomic>
#include <cassert>
#include <chrono>

namespace kelm::port {

namespace {
std::atomic<ConsolePort*> currentPort{nullptr};
}

ConsolePort& Port() {
  ConsolePort* port = currentPort.load(std::memory_order_acquire);
  assert(port != nullptr && "SetPort must be called before the port is used");
  return *port;
}

void SetPort(ConsolePort* port) { currentPort.store(port, std::memory_order_release); }

int64_t ConsolePort::WallClockSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

bool HasPort() { return currentPort.load(std::memory_order_acquire) != nullptr; }

}  // namespace kelm::port
