// Input that arrives on a pipe (`cmd | kelmhex`), kept in a temporary file
// as it comes, so that it can be read at any offset and memory stays flat
// whatever its size.
//
// The file is created private to the user (0600), close-on-exec, and
// without a name anyone can reach: an unnamed file where the system offers
// one, else a fresh name that is removed at once. It goes in $TMPDIR when
// that is an absolute folder, else in /tmp. A thread of the spool reads the
// source as bytes come and appends them; the viewer reads the file through
// a read-only descriptor of its own (TakeReader) and asks Progress() how
// much is there. The thread waits on the source without a time-out: nothing
// runs while nothing arrives.
//
// On Windows the spool is not available: Create yields ENOTSUP.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace kelm::port {

enum class SpoolState : uint8_t {
  Arriving,     // the source is still open
  Ended,        // the source ended; every byte of it is in the spool
  ReadFailed,   // reading the source failed (`error`); what came before is kept
  WriteFailed,  // the spool could not take more (a full disk: ENOSPC); kept
};

struct SpoolProgress {
  SpoolState state = SpoolState::Arriving;
  uint64_t size = 0;  // bytes in the spool, readable now
  int error = 0;      // errno value of ReadFailed and WriteFailed
};

class InputSpool {
 public:
  InputSpool() = default;
  ~InputSpool();
  InputSpool(const InputSpool&) = delete;
  InputSpool& operator=(const InputSpool&) = delete;

  // Creates the spool file in `folder` (empty: $TMPDIR or /tmp, as above).
  // Yields 0 or an errno value.
  int Create(const std::string& folder = std::string());
  // Starts the thread that copies `source` (a descriptor open for reading,
  // left open) into the spool. `onChange` is called on that thread when
  // bytes came (at most once every kNoticeMs while they keep coming, and
  // once more after the last of them) and when the state changes. False
  // when the spool was not created or already started.
  bool Start(int source, std::function<void()> onChange);
  // Ends the thread (waiting for it); the spool file stays readable.
  void Stop();

  SpoolProgress Progress() const;
  // The read-only descriptor of the spool file, handed over once (the
  // caller closes it, e.g. ReadOnlyFile::Adopt); -1 after that.
  intptr_t TakeReader();
  // The folder Create uses by default.
  static std::string DefaultFolder();

  static constexpr int kStandardInput = 0;
  static constexpr uint32_t kNoticeMs = 50;
  // Bytes read from the source at a time (the one buffer the thread holds).
  static constexpr size_t kChunkSize = size_t{128} << 10;

 private:
  void Run(int source, std::function<void()> onChange);
  void Finish(SpoolState state, int error);

  int writer_ = -1;
  intptr_t reader_ = -1;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<uint64_t> size_{0};
  std::atomic<SpoolState> state_{SpoolState::Arriving};
  std::atomic<int> error_{0};
};

}  // namespace kelm::port
