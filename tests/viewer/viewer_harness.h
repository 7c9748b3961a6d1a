// What every viewer test fixture shares: the whole viewer built on a virtual
// console of the fixture's size, run one frame at a time without the frame
// thread, with files made in the test's own temporary folder, mouse input,
// and the screen read back as text rows and colour digits. The fixtures add
// their geometry and the helpers of their area.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/virtual/virtual_console.h"
#include "viewer/startup.h"
#include "viewer/viewer_state.h"

namespace viewer_harness {

class ViewerHarness : public ::testing::Test {
 protected:
  // `folderPrefix` names the test's temporary folder (with the test's name).
  explicit ViewerHarness(std::string folderPrefix) : folderPrefix_(std::move(folderPrefix)) {}

  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                (folderPrefix_ + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
  }

  void TearDown() override {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

 public:
  // A file of these bytes in the test's own folder.
  std::string WriteFile(const std::vector<uint8_t>& bytes, const std::string& name = "data.bin") {
    const std::filesystem::path path = directory / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // Bytes 0, 1, 2, ... (mod 256).
  static std::vector<uint8_t> Counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
  }

  // The viewer on `path` on a console of `columns` x `rows` cells (the
  // engine draws columns - 1 of them), after its first frame.
  void StartViewer(const std::string& path, int columns, int rows) {
    Stop();
    console = std::make_unique<kelm::port::VirtualConsole>(columns, rows);
    kelm::port::SetPort(console.get());
    engine = new KelmCEngineV2::Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    BuildViewer(*engine, path);
    Frame();
  }

  // Ends the viewer and forgets every global it set.
  virtual void Stop() {
    delete engine;
    engine = nullptr;
    KelmCEngineV2::ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
  }

  void Frame(int count = 1) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(engine->RunFrame());
  }

  // --- mouse, one frame each ---------------------------------------------------------
  void MoveMouse(int column, int row, bool leftHeld = false) {
    console->PushMouseMove(column, row, leftHeld ? kelm::port::FROM_LEFT_1ST_BUTTON_PRESSED : 0);
    Frame();
  }
  void Press(int column, int row) {
    console->PushLeftPress(column, row);
    Frame();
  }
  void Release(int column, int row) {
    console->PushLeftRelease(column, row);
    Frame();
  }
  void Click(int column, int row) {
    Press(column, row);
    Release(column, row);
  }

  // An active selection set directly, painted and shown at once.
  void Select(uint64_t start, uint64_t length) {
    selection.start = start;
    selection.length = length;
    selectionAnchor = start;
    selectionActive = true;
    RecolourGrid();
    ShowSelectionOffset();
  }

  // --- the screen ----------------------------------------------------------------------
  // Screen row without its trailing spaces.
  std::string Row(int row) const {
    std::string text = console->RowText(row);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
  // Colour digits of a row segment, one hexadecimal digit per cell.
  std::string Foreground(int row, int column, int count) const { return Digits(row, column, count, 0); }
  std::string Background(int row, int column, int count) const { return Digits(row, column, count, 4); }

  // Root objects of the "Menus" layer still alive.
  std::vector<KelmCEngineV2::Object*> LiveBoxes() const {
    std::vector<KelmCEngineV2::Object*> boxes;
    for (KelmCEngineV2::Object* object : KelmCEngineV2::menusLayer->GetObjects()) {
      if (object != nullptr && !object->IsDestroyed()) boxes.push_back(object);
    }
    return boxes;
  }

  std::unique_ptr<kelm::port::VirtualConsole> console;
  KelmCEngineV2::Engine* engine = nullptr;
  std::filesystem::path directory;

 private:
  std::string Digits(int row, int column, int count, int shift) const {
    static const char kHex[] = "0123456789ABCDEF";
    std::string digits;
    for (int c = column; c < column + count; ++c) digits += kHex[(console->AttributeAt(c, row) >> shift) & 0xF];
    return digits;
  }

  std::string folderPrefix_;
};

}  // namespace viewer_harness
