#include "engine/core/engine.h"

#include <cstdio>
#include <cstdlib>

#include "engine/core/draw.h"
#include "engine/core/input.h"
#include "engine/core/screenshot.h"
#include "engine/port/console_port.h"

namespace KelmCEngineV2 {

using namespace kelm::port;

Engine* mainEngine = nullptr;
Layer* menusLayer = nullptr;

namespace {
constexpr uint32_t kMaxRecordsPerPoll = 32;
// While another window has the focus on a console that does not report
// focus changes as input, the loop looks again this often.
constexpr uint32_t kBackgroundPollMs = 10;
// Changed frames in a row that follow each other at once (see changedRun).
constexpr int kSettleFrames = 2;
// Frames in a row that show nothing new before the loop waits (see
// NextWaitMs).
constexpr int kQuietFrames = 2;
}  // namespace

uint64_t GetTicks() { return Port().Ticks(); }

void ResetEngineGlobalsForTests() {
  mainEngine = nullptr;
  menusLayer = nullptr;
  ResetInputState();
}

Engine::Engine(bool runInBackgroundValue, bool startThread) : runInBackground(runInBackgroundValue) {
  objectsLayer = new Layer("Objects");
  layers.push_back(objectsLayer);
  if (mainEngine == nullptr) {
    mainEngine = this;
    menusLayer = new Layer("Menus");
    AddLayer(menusLayer);
  }
  if (startThread) frameThread = std::thread([this] { RunFrames(); });
}

Engine::~Engine() {
  if (frameThread.joinable()) frameThread.join();
  for (Layer* layer : layers) delete layer;
  if (mainEngine == this) {
    mainEngine = nullptr;
    menusLayer = nullptr;
  }
}

void Engine::AddLayer(Layer* layer) {
  {
    std::lock_guard lock(mutex);
    layers.push_back(layer);
  }
  RequestFrame(0);
}

Layer* Engine::FindLayer(const std::string& name) const {
  for (Layer* layer : layers) {
    if (layer->name == name) return layer;
  }
  return nullptr;
}

int32_t Engine::GetScreenWidth() const {
  SMALL_RECT window;
  if (!Port().GetWindowRect(window)) return frameWidth;
  return window.Right;
}

int32_t Engine::GetScreenHeight() const {
  SMALL_RECT window;
  if (!Port().GetWindowRect(window)) return frameHeight;
  return window.Bottom + 1;
}

Vector2 Engine::GetScreenCentre() const {
  SMALL_RECT window;
  if (!Port().GetWindowRect(window)) {
    window.Right = static_cast<int16_t>(frameWidth);
    window.Bottom = static_cast<int16_t>(frameHeight - 1);
  }
  return Vector2(camera.x + static_cast<float>(window.Right / 2),
                 camera.y - static_cast<float>((window.Bottom + 1) / 2));
}

void Engine::SetTerminalColours(bool on) {
  std::lock_guard lock(mutex);
  if (terminalColours == on) return;
  terminalColours = on;
  drawList.Invalidate();
  RequestFrame(0);
}

void Engine::SetOnResize(std::function<void(Vector2)> callback) {
  std::lock_guard lock(mutex);
  onResize = std::move(callback);
  resizeDelivered = false;
  RequestFrame(0);
}

void Engine::RequestFrame(uint32_t delayMs) {
  if (!HasPort()) return;
  const uint64_t at = GetTicks() + delayMs;
  {
    std::lock_guard lock(requestMutex);
    if (at < requestedAt) requestedAt = at;
  }
  // The frame thread itself reads the request before its next wait; any
  // other thread must end that wait. (Without a frame thread, in tests,
  // there is no wait under way.)
  const std::thread::id frameThreadNow = frameThreadId.load();
  if (frameThreadNow != std::thread::id() && frameThreadNow != std::this_thread::get_id()) Port().WakeWaiter();
}

uint32_t Engine::NextWaitMs(bool changed) {
  uint64_t requested = kNoRequest;
  {
    std::lock_guard lock(requestMutex);
    requested = requestedAt;
    requestedAt = kNoRequest;
  }
  const uint32_t paced = static_cast<uint32_t>(frameDelay > 0 ? frameDelay : 0);
  if (!framesOnDemand) return paced;
  uint32_t wait = kWaitForever;
  if (polledInput) {
    changedRun = 0;
    quietRun = 0;
    wait = 0;
  } else if (changed) {
    quietRun = 0;
    wait = ++changedRun <= kSettleFrames ? 0 : paced;
  } else {
    changedRun = 0;
    // An update may act on what an earlier one left (a box marked for
    // closing goes in the next pass): a frame that showed nothing new is
    // followed at once by kQuietFrames - 1 more.
    if (++quietRun < kQuietFrames) wait = 0;
  }
  if (requested != kNoRequest) {
    const uint64_t now = GetTicks();
    const uint64_t until = requested > now ? requested - now : 0;
    if (until < wait) {
      wait = static_cast<uint32_t>(until);
    } else if (until > wait) {
      // The frame comes before the one asked for: the request stays.
      std::lock_guard lock(requestMutex);
      if (requested < requestedAt) requestedAt = requested;
    }
  }
  return wait;
}

void Engine::SetupConsole() {
  uint32_t code = 0;
  if (!Port().Setup(code)) {
    // Nothing has been drawn; the console is left as it was. The main thread
    // may still be building the user interface, so the process ends without
    // running static destructors under its feet.
    std::printf("%s%u", kConsoleSetupFailure, code);
    std::fflush(stdout);
    std::_Exit(EXIT_FAILURE);
  }
}

void Engine::Quit(int status) {
  exitStatus.store(status);
  quitRequested.store(true);
}

bool Engine::Poll() {
  BeginInputPoll();
  ConsolePort& port = Port();
  polledInput = false;
  if (port.PendingInputCount() > 0) {
    INPUT_RECORD records[kMaxRecordsPerPoll];
    const uint32_t count = port.ReadInput(records, kMaxRecordsPerPoll);
    polledInput = count > 0;
    for (uint32_t i = 0; i < count && i < kMaxRecordsPerPoll; ++i) {
      HandleInputRecord(records[i], camera);
    }
  }
  UpdateMouseButtonEdges();
  frameStart = GetTicks();
  int status = 0;
  if (port.TakeQuitRequest(status)) Quit(status);
  return (runInBackground || port.IsForeground()) && active;
}

void Engine::CheckSize() {
  SMALL_RECT window;
  int32_t width = frameWidth;
  int32_t height = frameHeight;
  if (Port().GetWindowRect(window)) {  // on failure the previous size stays
    width = window.Right < 0 ? 0 : window.Right;
    height = window.Bottom + 1 < 0 ? 0 : window.Bottom + 1;
  }
  if (width != frameWidth || height != frameHeight) {
    frameWidth = width;
    frameHeight = height;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    cellBuffer.assign(count, CHAR_INFO{});
    cellBuffer.shrink_to_fit();
    drawnMask.assign(count, 0);
    drawnMask.shrink_to_fit();
    drawList.Invalidate();
    resizeDelivered = false;
  }
  // Delivered once per allocation, also when onResize was assigned after the
  // buffers were first allocated.
  if (!resizeDelivered && onResize) {
    resizeDelivered = true;
    onResize(Vector2(static_cast<float>(frameWidth), static_cast<float>(frameHeight)));
  }
}

void Engine::ObjectPass() {
  const int32_t left = SnapToCell(camera.x);
  const int32_t top = SnapToCell(camera.y);
  const CellRect screen{left, top, left + frameWidth - 1, top - frameHeight + 1};
  // Top layer first, and within a layer the last object first: the topmost
  // objects draw first (a cell keeps the first thing drawn) and take input
  // first.
  for (size_t li = layers.size(); li-- > 0;) {
    Layer* layer = layers[li];
    const std::vector<Object*> objects = layer->GetObjects();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
      Object* object = *it;
      if (object == nullptr) {
        layer->RemoveObject(nullptr);
        continue;
      }
      if (object->visible) {
        DrawObject(*this, object, drawList, frameWidth, frameHeight, screen);
      }
      object->Update();
      if (object->IsDestroyed()) {
        layer->DeleteObject(object);
        layer->RemoveObject(nullptr);
      }
    }
  }
}

bool Engine::RunFrame() {
  bool changed = false;
  {
    std::lock_guard lock(mutex);
    if (!Poll()) return false;
    CheckSize();
    drawList.Begin();
    ObjectPass();
    // Composed only when some object draws differently from the last pass;
    // otherwise the buffer already holds this frame.
    changed = drawList.End();
    if (changed) {
      drawList.Compose(cellBuffer, drawnMask, frameWidth);
      if (terminalColours) {
        for (CHAR_INFO& cell : cellBuffer) cell.Attributes |= kTerminalDefaultColours;
      }
    }
    if (KeyPressed(static_cast<uint8_t>(VK_F2), false, 0)) {
      WriteScreenshot(ScreenshotFileName(static_cast<std::time_t>(Port().WallClockSeconds())), cellBuffer,
                      frameWidth, frameHeight);
    }
    if (changed) {
      Port().WriteFrame(cellBuffer.data(), frameWidth, frameHeight);
    } else {
      Port().WriteSameFrame(cellBuffer.data(), frameWidth, frameHeight);
    }
  }
  // The wait ends early when input arrives, so a key shows at once.
  if (!quitRequested.load()) {
    lastWaitMs = NextWaitMs(changed);
    Port().WaitForInput(lastWaitMs);
  }
  deltaTime = GetTicks() - frameStart;
  fps = deltaTime == 0 ? 1001 : static_cast<int32_t>(1000 / deltaTime);
  return true;
}

void Engine::RunFrames() {
  frameThreadId.store(std::this_thread::get_id());
  SetupConsole();
  while (!quitRequested.load()) {
    if (RunFrame() || quitRequested.load()) continue;
    // In the background (or not active): the focus coming back arrives as
    // input where the console reports it; elsewhere it is looked for.
    ConsolePort& port = Port();
    port.WaitForInput(port.ReportsFocusChanges() ? kWaitForever : kBackgroundPollMs);
  }
}

}  // namespace KelmCEngineV2
