#include "engine/port/console_port.h"

#include <atomic>
#include <cassert>

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

bool HasPort() { return currentPort.load(std::memory_order_acquire) != nullptr; }

}  // namespace kelm::port
