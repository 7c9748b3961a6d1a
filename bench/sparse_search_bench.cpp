// Searching a 1 TiB sparse file for 8 bytes 4 KiB before its end, from its
// first byte: with the data extents (holes skipped), and the baseline of
// the same scan without them, which reads every byte. The baseline would
// take most of an hour over the whole file, so it scans the last
// KELMHEX_SPARSE_BASELINE_MIB MiB (default 1024) of the same file, and
// the time it would take for the whole file is worked out from its rate.
// Both run in the same process on the same file; at the end the two whole-
// file times and their ratio are printed.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/port/read_only_file.h"
#include "viewer/search_scan.h"

using namespace kelm::viewer;

namespace {

constexpr uint64_t kTebibyte = uint64_t{1} << 40;
const std::vector<uint8_t> kPattern = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67};
constexpr uint64_t kPatternAt = kTebibyte - 4096;

uint64_t BaselineBytes() {
  const char* mib = std::getenv("KELMHEX_SPARSE_BASELINE_MIB");
  const uint64_t size = mib != nullptr ? std::strtoull(mib, nullptr, 10) : 1024;
  return (size > 0 ? size : 1) << 20;
}

struct SparseFile {
  std::string path;
  kelm::port::ReadOnlyFile file;
  bool made = false;

  SparseFile() {
    path = (std::filesystem::temp_directory_path() / ("kelmhex-sparse-bench-" + std::to_string(::getpid()) + ".bin"))
               .string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return;
    made = ::ftruncate(fd, static_cast<off_t>(kTebibyte)) == 0 &&
           ::pwrite(fd, kPattern.data(), kPattern.size(), static_cast<off_t>(kPatternAt)) ==
               static_cast<ssize_t>(kPattern.size());
    ::close(fd);
    made = made && file.Open(path) == 0;
  }
  ~SparseFile() {
    file.Close();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  ByteReader Reader() {
    return [this](uint64_t offset, uint8_t* buffer, uint64_t count) { return file.ReadAt(offset, buffer, count); };
  }
};

SparseFile& File() {
  static SparseFile file;
  return file;
}

double wholeWithExtents = 0;  // seconds per search of the whole file
double wholeWithout = 0;

void Run(benchmark::State& state, uint64_t from, bool extents) {
  SparseFile& sparse = File();
  if (!sparse.made) {
    state.SkipWithError("this file system cannot hold a sparse 1 TiB file");
    return;
  }
  const DataExtents source = extents ? ExtentsOf(sparse.file) : DataExtents{};
  for (auto _ : state) {
    ChunkedSearch search(kPattern, kTebibyte, from, SearchDirection::Forward, sparse.Reader(), kSearchChunkSize,
                         source);
    if (search.RunToEnd() != kPatternAt) state.SkipWithError("the pattern was not found where it is");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (kTebibyte - from)));
}

void BM_SparseTebibyteWithExtents(benchmark::State& state) {
  Run(state, 0, true);
  const auto start = std::chrono::steady_clock::now();
  ChunkedSearch once(kPattern, kTebibyte, 0, SearchDirection::Forward, File().Reader(), kSearchChunkSize,
                     ExtentsOf(File().file));
  once.RunToEnd();
  wholeWithExtents = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_SparseTailWithoutExtents(benchmark::State& state) {
  const uint64_t span = BaselineBytes();
  Run(state, kTebibyte - span, false);
  const auto start = std::chrono::steady_clock::now();
  ChunkedSearch once(kPattern, kTebibyte, kTebibyte - span, SearchDirection::Forward, File().Reader());
  once.RunToEnd();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  wholeWithout = seconds * static_cast<double>(kTebibyte) / static_cast<double>(span);
}

BENCHMARK(BM_SparseTebibyteWithExtents)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SparseTailWithoutExtents)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (wholeWithExtents > 0 && wholeWithout > 0) {
    std::printf("1 TiB sparse, 8 bytes near the end: with extents %.6f s, without (from the tail's rate) %.0f s, "
                "ratio %.0f\n",
                wholeWithExtents, wholeWithout, wholeWithout / wholeWithExtents);
  }
  benchmark::Shutdown();
  return 0;
}
