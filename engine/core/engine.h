// The engine owns the console for the whole run: its frame thread polls input,
// lets every object of every layer update itself, composes the frame in memory
// and writes it to the console in one call, then waits for the next frame.
//
// Frames on demand: after a frame the thread waits for input (a key, the
// mouse, a resize, a signal) with no time-out at all, unless something needs
// a frame sooner: input was just handled (its effect shows in the next
// frame, since objects draw before they update), the frame just composed
// changed (a change an object made to itself in its Update shows in the
// next one; two changed frames follow at once, more are paced by
// frameDelay), or an object asked with RequestFrame (the caret's next
// blink, a running search's next slice). After input or a change the loop
// waits only once two frames in a row showed nothing new, as an update may
// act on what an earlier one left. With framesOnDemand off, every frame is
// followed by a wait of `frameDelay` ms, ended early only by input.
//
// Threads: the main thread builds the user interface while the frame thread
// already runs frames. Every mutation from another thread (AddLayer,
// Layer::AddObject, SetOnResize) takes the engine lock that the frame pass
// holds; start-up code that edits objects already on screen holds Lock()
// around the edits. After start-up everything runs on the frame thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/draw_list.h"
#include "engine/core/layer.h"
#include "engine/core/object.h"
#include "engine/port/console_port.h"
#include "engine/core/vector2.h"
#include "engine/port/console_types.h"

namespace KelmCEngineV2 {

using kelm::port::CHAR_INFO;

class Engine {
 public:
  // Creates the "Objects" layer (and "Menus" for the first engine, which
  // becomes mainEngine). With startThread, starts the frame thread running
  // RunFrames; tests pass false and call SetupConsole and RunFrame themselves.
  explicit Engine(bool runInBackground, bool startThread = true);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  // Only for tests: deletes the layers and their objects. The thread, if any,
  // must have ended.
  ~Engine();

  void AddLayer(Layer* layer);
  // The first layer with exactly this name, or null.
  Layer* FindLayer(const std::string& name) const;

  // Right of the console window (one less than the visible columns: the
  // rightmost column is never drawn). Queried afresh on every call.
  int32_t GetScreenWidth() const;
  // Bottom of the console window + 1.
  int32_t GetScreenHeight() const;
  // (camera.x + Right / 2, camera.y - (Bottom + 1) / 2), integer divisions.
  Vector2 GetScreenCentre() const;

  // Assigns onResize under the engine lock; the next frame calls it with the
  // current size even when the first frame has already run.
  void SetOnResize(std::function<void(Vector2)> callback);

  // Console set-up; on failure prints the fatal message with the error code
  // and ends the process with a non-zero status.
  void SetupConsole();
  // One poll, one frame pass and the wait for the next frame (see above).
  // Returns false when the frame did not run (console in the background or
  // not active); then nothing is waited for.
  bool RunFrame();
  // The frame thread's body: set-up, then frames until Quit is asked.
  void RunFrames();
  // Ends RunFrames after the current frame; the thread's owner reads status.
  void Quit(int status);
  bool QuitRequested() const { return quitRequested.load(); }
  int ExitStatus() const { return exitStatus.load(); }

  std::recursive_mutex& Lock() { return mutex; }

  // Asks for a frame within `delayMs` ms of now (0: the next frame at once).
  // Several requests keep the earliest; a request holds until a frame at or
  // after its time has run, so whatever needs time again asks again in its
  // next Update. Callable from
  // any thread: from another than the frame thread it also ends the frame
  // thread's current wait.
  void RequestFrame(uint32_t delayMs);
  // The time-out of the wait after the frame just run (kWaitForever for
  // none); for tests and diagnostics.
  uint32_t LastWaitMs() const { return lastWaitMs; }

  // The terminal-colours theme: every composed cell is marked
  // kTerminalDefaultColours, so that its background 0 (and grey text on it)
  // shows in the terminal's own default colours. Off: the console palette
  // as it is. A change recomposes the next frame.
  void SetTerminalColours(bool on);
  bool TerminalColours() const { return terminalColours; }

  // The composed frame of the last pass (for screenshots and tests).
  const std::vector<CHAR_INFO>& Cells() const { return cellBuffer; }
  int32_t FrameWidth() const { return frameWidth; }
  int32_t FrameHeight() const { return frameHeight; }

  std::vector<Layer*> layers;
  int32_t fps = 0;
  std::function<void(Vector2)> onResize;
  uint64_t deltaTime = 0;
  Vector2 camera;
  std::thread frameThread;
  Layer* objectsLayer = nullptr;
  bool runInBackground = false;
  bool active = true;
  int32_t frameDelay = 20;
  // Frames only when something can have changed (see above); off, the loop
  // paces every frame with frameDelay as it always did.
  bool framesOnDemand = true;

 private:
  // Reads up to 32 records into the input state; yields whether the frame
  // may run.
  bool Poll();
  // Reallocates the buffers when the window size changed and delivers
  // onResize (also when it was assigned after the size was first seen).
  void CheckSize();
  void ObjectPass();
  // The time-out of the wait after a frame that ran; `changed`: the frame
  // composed differs from the one before.
  uint32_t NextWaitMs(bool changed);

  std::recursive_mutex mutex;
  std::vector<CHAR_INFO> cellBuffer;
  std::vector<uint8_t> drawnMask;
  DrawList drawList;  // what each object drew in the last pass
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  bool resizeDelivered = false;
  bool terminalColours = false;
  uint64_t frameStart = 0;
  // Input records were handled in this frame's poll.
  bool polledInput = false;
  // Frames in a row that changed without input or a request: beyond
  // kSettleFrames they are paced by frameDelay, so an object that draws
  // differently in every frame animates instead of spinning.
  int changedRun = 0;
  // Frames in a row, since input or a change, that showed nothing new.
  int quietRun = 0;
  uint32_t lastWaitMs = 0;
  std::mutex requestMutex;
  static constexpr uint64_t kNoRequest = UINT64_MAX;
  uint64_t requestedAt = kNoRequest;  // earliest requested frame, in ticks
  std::atomic<std::thread::id> frameThreadId{};
  std::atomic<bool> quitRequested{false};
  std::atomic<int> exitStatus{0};
};

// The first engine constructed; null before.
extern Engine* mainEngine;
// The "Menus" layer made by the first engine, for menus and pop-ups.
extern Layer* menusLayer;

// Milliseconds of the port's monotonic clock (never steps back).
uint64_t GetTicks();

// Only for tests: forgets mainEngine, menusLayer and the input state, so the
// next engine constructed becomes mainEngine.
void ResetEngineGlobalsForTests();

// The fatal console set-up message, followed by the error code.
inline constexpr const char* kConsoleSetupFailure = kelm::port::kConsoleSetupFailure;

}  // namespace KelmCEngineV2
