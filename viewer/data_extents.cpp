// Walks over a file's data extents built from the two forward questions.
#include "viewer/data_extents.h"

#include <algorithm>

#include "engine/port/read_only_file.h"

namespace kelm::viewer {

namespace {

// The largest y below `limit` for which `below(y)` holds, where `below`
// holds for every offset up to some point and for none after it; none when
// it holds nowhere below `limit`. Gallops down from the limit (a near
// answer costs few questions), then halves the interval it found.
std::optional<uint64_t> LastWhere(uint64_t limit, const std::function<bool(uint64_t)>& below) {
  if (limit == 0) return std::nullopt;
  uint64_t no = limit;  // below(no) is false (or no == limit)
  uint64_t yes = limit - 1;
  uint64_t step = 1;
  while (!below(yes)) {
    no = yes;
    if (yes == 0) return std::nullopt;
    yes = yes > step ? yes - step : 0;
    if (step < (uint64_t{1} << 62)) step *= 2;
  }
  // below(yes) holds, below(no) does not (or no == limit): the answer lies
  // in [yes, no).
  while (no - yes > 1) {
    const uint64_t middle = yes + (no - yes) / 2;
    if (below(middle)) {
      yes = middle;
    } else {
      no = middle;
    }
  }
  return yes;
}

}  // namespace

DataExtents ExtentsOf(const kelm::port::ReadOnlyFile& file) {
  DataExtents extents;
  extents.nextData = [&file](uint64_t offset) { return file.NextData(offset); };
  extents.nextHole = [&file](uint64_t offset) { return file.NextHole(offset); };
  return extents;
}

DataExtents ExtentsWithin(const DataExtents& extents, uint64_t start, uint64_t length) {
  if (!extents.Known()) return {};
  // An answer is clamped into [offset, length]: one below the offset asked
  // would walk backwards, one past the stretch means its end.
  const auto within = [start, length](const std::function<uint64_t(uint64_t)>& next) {
    return [next, start, length](uint64_t offset) -> uint64_t {
      if (offset >= length) return length;
      const uint64_t answer = next(start + offset);
      if (answer <= start + offset) return offset;
      return std::min(answer - start, length);
    };
  };
  DataExtents window;
  window.nextData = within(extents.nextData);
  window.nextHole = within(extents.nextHole);
  return window;
}

std::optional<uint64_t> LastDataBefore(const DataExtents& extents, uint64_t limit) {
  if (!extents.Known()) return limit == 0 ? std::nullopt : std::optional<uint64_t>(limit - 1);
  // Data lies in [y, limit) exactly while y is at most the last data byte.
  return LastWhere(limit, [&](uint64_t y) { return extents.nextData(y) < limit; });
}

std::optional<uint64_t> LastHoleBefore(const DataExtents& extents, uint64_t size, uint64_t limit) {
  if (!extents.Known()) return std::nullopt;
  if (limit > size) limit = size;
  return LastWhere(limit, [&](uint64_t y) { return extents.nextHole(y) < limit; });
}

std::optional<uint64_t> NextDataStart(const DataExtents& extents, uint64_t size, uint64_t offset) {
  if (offset >= size) return std::nullopt;
  uint64_t hole = offset;
  if (extents.NextData(offset) == offset) hole = extents.NextHole(offset, size);
  if (hole >= size) return std::nullopt;
  const uint64_t data = extents.NextData(hole);
  if (data >= size || data <= offset) return std::nullopt;
  return data;
}

std::optional<uint64_t> PreviousDataStart(const DataExtents& extents, uint64_t size, uint64_t offset) {
  if (offset > size) offset = size;
  const std::optional<uint64_t> last = LastDataBefore(extents, offset);
  if (!last) return std::nullopt;
  const std::optional<uint64_t> hole = LastHoleBefore(extents, size, *last);
  return hole ? *hole + 1 : 0;
}

}  // namespace kelm::viewer
