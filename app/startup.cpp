#include "app/startup.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/printable_text.h"
#include "app/command_line.h"
#include "ui/menu_bar.h"
#include "viewer/input_pipe.h"
#include "viewer/marks_store.h"
#include "viewer/display_options.h"
#include "viewer/display_settings.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

namespace {

using namespace KelmCEngineV2;

// The tooltip follows the mouse, a little to its right, and hides itself in
// every frame: it is seen only in frames in which the mark under the mouse
// shows it again. Its single child carries the tooltip's text.
Object* CreateTipObject() {
  auto* tip = new Object(Vector2(0.0f, 0.0f), std::u16string());
  tip->visible = false;
  tip->SetCallback([](Object* self) {
    self->position = mousePosition;
    self->position.x += static_cast<float>(self->GetWidth() / 2 + 1);
  });
  auto* text = new Object(Vector2(0.0f, 0.0f), std::u16string());
  text->SetCallback([](Object*) {
    if (tipObject != nullptr) tipObject->visible = false;
  });
  tip->AddChild(text);
  return tip;
}

// Shows the open dialog until a file is chosen. Nothing when the port was
// asked to quit meanwhile (with the status to exit with), or when the console
// cannot be set up for the dialog (after printing the set-up failure, as the
// engine does).
std::optional<std::string> ChooseFile(int& quitStatus) {
  kelm::port::ConsolePort& port = kelm::port::Port();
  for (;;) {
    std::optional<std::string> chosen = port.OpenFileDialog(std::string());
    if (chosen && !chosen->empty()) return chosen;
    uint32_t setupCode = 0;
    if (port.TakeSetupFailure(setupCode)) {
      std::printf("%s%u", kelm::port::kConsoleSetupFailure, setupCode);
      std::fflush(stdout);
      quitStatus = EXIT_FAILURE;
      return std::nullopt;
    }
    if (port.TakeQuitRequest(quitStatus)) return std::nullopt;
  }
}

// Everything of BuildViewer but the load.
void BuildScreen(Engine& engine) {
  auto* tips = new Layer("Tips");
  engine.AddLayer(tips);
  tipObject = CreateTipObject();
  tips->AddObject(tipObject);

  engine.SetOnResize(LayoutGrid);

  auto* keyHandler = new Object(Vector2(0.0f, 0.0f), std::u16string());
  keyHandler->SetCallback(HandleViewerKeys);
  engine.objectsLayer->AddObject(keyHandler);

  InitMenuBar();
  engine.SetTerminalColours(displayOptions.theme == ColourTheme::Terminal);
  InitGrid();
  ShowSettingsNote();

  AddStatusField(u"len", u"");
  AddStatusField(u"dec", u"");
  AddStatusField(u"bin", u"");
}

}  // namespace

void BuildViewer(Engine& engine, const std::string& path) {
  std::lock_guard lock(engine.Lock());
  BuildScreen(engine);
  LoadFile(path);
}

void BuildViewerOnPipe(Engine& engine, kelm::port::InputSpool& spool, int source) {
  std::lock_guard lock(engine.Lock());
  BuildScreen(engine);
  // Takes what came on the pipe once per frame.
  auto* pipeWatcher = new Object(Vector2(0.0f, 0.0f), std::u16string());
  pipeWatcher->SetCallback([](Object*) { TakePipeInput(); });
  engine.objectsLayer->AddObject(pipeWatcher);
  ViewPipe(spool, source);
}

int RunViewerOnStandardInput() {
  kelm::port::InputSpool spool;
  if (const int error = spool.Create(); error != 0) {
    std::fprintf(stderr, "kelmhex: no temporary file for standard input in %s: %s\n",
                 kelm::port::EscapedText(kelm::port::InputSpool::DefaultFolder()).c_str(), std::strerror(error));
    return kExitFailure;
  }
  auto* engine = new Engine(/*runInBackground=*/false);
  BuildViewerOnPipe(*engine, spool, kelm::port::InputSpool::kStandardInput);
  engine->frameThread.join();
  const int status = engine->ExitStatus();
  // The spool's thread asks the engine for frames: it ends first.
  {
    std::lock_guard lock(engine->Lock());
    StopViewingPipe();
  }
  delete engine;
  ForgetScreenObjects();
  return status;
}

int RunViewer(int argc, char** argv) {
  std::string path;
  if (argc > 1 && argv[1] != nullptr) {
    path = argv[1];
  } else {
    int quitStatus = 0;
    std::optional<std::string> chosen = ChooseFile(quitStatus);
    if (!chosen) return quitStatus;
    path = std::move(*chosen);
  }

  // The settings file, then the command line's values over it.
  LoadDisplaySettings(DefaultSettingsPath());

  // The frame thread starts here and runs until a quit is asked for.
  auto* engine = new Engine(/*runInBackground=*/false);
  BuildViewer(*engine, path);
  engine->frameThread.join();
  // However the frame loop ended (q, F10, SIGTERM, SIGHUP, the terminal
  // gone), the viewed file's marks are kept for the next time.
  SaveViewedFileMarks();
  const int status = engine->ExitStatus();
  // The engine takes its layers and their objects with it.
  delete engine;
  ForgetScreenObjects();
  return status;
}
