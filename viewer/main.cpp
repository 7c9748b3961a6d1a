// Start-up of kelmhex on a terminal.
//
// For now this shows the engine running in a real terminal: the file's name
// and size, the last key and mouse event, and how to quit. q or F10 quits,
// giving the terminal back.
#include <sys/stat.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/core/object.h"
#include "engine/port/console_port.h"
#include "engine/port/terminal/terminal_console.h"
#include "engine/port/utf.h"

namespace {

using KelmCEngineV2::Object;
using KelmCEngineV2::Vector2;

std::string Hex(uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

std::u16string FileLine(const std::string& path) {
  if (path.empty()) return u"No file given";
  struct stat st {};
  std::string size = stat(path.c_str(), &st) == 0 ? std::to_string(st.st_size) + " bytes" : "cannot be read";
  return kelm::port::FromUtf8(path) + u" (" + kelm::port::FromUtf8(size) + u")";
}

std::u16string KeyLine(const kelm::port::KEY_EVENT_RECORD& key) {
  std::u16string line = u"Key: vk=0x" + kelm::port::FromUtf8(Hex(key.wVirtualKeyCode, 2)) + u" ch=U+" +
                        kelm::port::FromUtf8(Hex(key.UnicodeChar, 4)) + u" state=0x" +
                        kelm::port::FromUtf8(Hex(key.dwControlKeyState, 4));
  if (key.UnicodeChar >= 0x20 && key.UnicodeChar != 0x7F) line += u" '" + std::u16string(1, key.UnicodeChar) + u"'";
  return line;
}

Object* TextAt(int column, int row, const std::u16string& text, char colour) {
  auto* object = new Object(Vector2(static_cast<float>(column), static_cast<float>(-row)), text);
  object->anchor = KelmCEngineV2::kAnchorTopLeft;
  object->FillForeground(colour);
  return object;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "";

  kelm::port::TerminalConsole console;
  kelm::port::SetPort(&console);
  console.SetTitle(u"KelmHex Viewer - " + kelm::port::FromUtf8(path));
  auto* engine = new KelmCEngineV2::Engine(false);

  {
    std::lock_guard lock(engine->Lock());
    Object* title = TextAt(1, 1, u"kelmhex", 'F');
    Object* file = TextAt(1, 2, FileLine(path), '7');
    Object* key = TextAt(1, 4, u"Key: none", 'A');
    Object* mouse = TextAt(1, 5, u"Mouse: none", 'B');
    Object* click = TextAt(1, 6, u"Click: none", 'E');
    Object* size = TextAt(1, 7, u"Screen: ", '7');
    Object* help = TextAt(1, 9, u"Press q or F10 to quit.", '8');
    for (Object* object : {title, file, key, mouse, click, size, help}) engine->objectsLayer->AddObject(object);

    // The per-frame handler: shows what arrived, then quits on q or F10.
    auto* handler = new Object(Vector2(0, 0), u"");
    handler->SetCallback([key, mouse, click, size](Object*) {
      using namespace KelmCEngineV2;
      size->SetText("Screen: " + std::to_string(mainEngine->GetScreenWidth()) + "x" +
                    std::to_string(mainEngine->GetScreenHeight()));
      size->FillForeground('7');
      if (!keyEvents.empty()) {
        key->SetText(KeyLine(keyEvents.back()));
        key->FillForeground('A');
      }
      const int column = static_cast<int>(mousePosition.x);
      const int row = static_cast<int>(-mousePosition.y);
      std::string held;
      for (int i = 0; i < kMouseButtonCount; ++i) held += mouseButtons[i].held ? '1' : '0';
      mouse->SetText("Mouse: " + std::to_string(column) + "," + std::to_string(row) + " buttons=" + held);
      mouse->FillForeground('B');
      if (mouseButtons[kLeftButton].pressed || mouseButtons[kRightButton].pressed) {
        click->SetText(std::string(mouseButtons[kLeftButton].pressed ? "Click: left at " : "Click: right at ") +
                       std::to_string(column) + "," + std::to_string(row));
        click->FillForeground('E');
      }
      if (KeyPressed('Q', false, 0) || KeyPressed(static_cast<uint8_t>(kelm::port::VK_F10), false, 0)) {
        mainEngine->Quit(0);
      }
    });
    engine->objectsLayer->AddObject(handler);
  }

  engine->frameThread.join();
  console.Restore();
  return engine->ExitStatus();
}
