// Composing a frame: the cell buffer, the drawn-mask, DrawObject and the
// drawing of recorded cells.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/draw_list.h"
#include "engine/core/object.h"
#include "engine/port/console_types.h"

namespace KelmCEngineV2 {

class Engine;

// The value of a colour digit ('0'-'9', 'A'-'F', either case), or -1 for a
// space or any other character (which leaves the colour unchanged).
int ColourDigitValue(char digit);
// The digit of a colour index 0..15 ('0'+v below 10, 'A'+v-10 otherwise).
char ColourDigit(int index);

// Every cell a space on light grey / black (0x0007), every mask byte 0.
void ClearFrame(std::vector<kelm::port::CHAR_INFO>& cells, std::vector<uint8_t>& drawnMask);

// Draws the object and its visible descendants inside `clip` (world cells)
// into the draw list, runs its children's Update and deletes its destroyed
// children. A cell keeps the first thing drawn into it: children are drawn
// before their parent, later children before earlier ones.
void DrawObject(const Engine& engine, Object* object, DrawList& drawList, int32_t frameWidth,
                int32_t frameHeight, const CellRect& clip);

// Draws one recorded object's cells into the frame, skipping cells already
// drawn (drawnMask) and transparent spaces.
void DrawRecordCells(const DrawRecord& record, std::vector<kelm::port::CHAR_INFO>& cells,
                     std::vector<uint8_t>& drawnMask, int32_t frameWidth);

// The box of `object` shrunk by its clipInset, intersected with `clip`.
CellRect IntersectInsetBox(const Object* object, const CellRect& clip);

}  // namespace KelmCEngineV2
