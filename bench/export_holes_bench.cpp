// Exporting a sparse range: a 1 TiB file with 1 MiB of data at each end,
// exported whole through the file system's extents (the holes skipped and
// left as holes in the target), against the export of a dense 2 MiB file,
// the same data, in the same run. The export that reads and writes every
// byte (a source without extents) would take hours over the tebibyte, so
// it is measured on a 1 GiB file of the same shape, next to the export of
// that file with its extents. At the end the times and ratios are printed.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/port/read_only_file.h"
#include "ui/export.h"
#include "viewer/data_extents.h"

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGibibyte = uint64_t{1} << 30;
constexpr uint64_t kTebibyte = uint64_t{1} << 40;

std::string TemporaryPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("kelmhex-export-bench-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

// A file of `size` bytes with 1 MiB of data at its start and at its end
// (all of it data when `size` is 2 MiB).
struct SourceFile {
  std::string path;
  uint64_t size = 0;
  kelm::port::ReadOnlyFile file;
  bool made = false;

  SourceFile(const std::string& name, uint64_t bytes) : path(TemporaryPath(name)), size(bytes) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    std::vector<uint8_t> data(kMiB);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
    made = ::ftruncate(fd, static_cast<off_t>(size)) == 0 &&
           ::pwrite(fd, data.data(), data.size(), 0) == static_cast<ssize_t>(data.size()) &&
           ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(size - kMiB)) ==
               static_cast<ssize_t>(data.size()) &&
           ::fsync(fd) == 0;
    ::close(fd);
    made = made && file.Open(path) == 0;
  }
  ~SourceFile() {
    file.Close();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  ExportSource Source(bool extents) const {
    ExportSource source;
    source.read = [this](uint8_t* buffer, uint64_t capacity, uint64_t offset) {
      return file.ReadAt(offset, buffer, capacity);
    };
    if (extents) source.extents = kelm::viewer::ExtentsWithin(kelm::viewer::ExtentsOf(file), 0, size);
    return source;
  }
};

SourceFile& Tebibyte() {
  static SourceFile file("tebibyte", kTebibyte);
  return file;
}
SourceFile& Gibibyte() {
  static SourceFile file("gibibyte", kGibibyte);
  return file;
}
SourceFile& Dense() {
  static SourceFile file("dense", 2 * kMiB);
  return file;
}

// Mean seconds of an export of each kind.
double tebibyteSeconds = 0;
double denseSeconds = 0;
double gibibyteWithSeconds = 0;
double gibibyteWithoutSeconds = 0;

void Run(benchmark::State& state, SourceFile& source, bool extents, double& seconds) {
  if (!source.made) {
    state.SkipWithError("this file system cannot hold the source file");
    return;
  }
  const std::string target = TemporaryPath("out");
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const ExportResult result = ExportBytes(target, source.size, source.Source(extents));
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result.status != ExportStatus::Written) state.SkipWithError("the export failed");
    state.PauseTiming();
    std::error_code ignored;
    std::filesystem::remove(target, ignored);
    state.ResumeTiming();
  }
  if (state.iterations() > 0) seconds = total / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size));
}

void BM_ExportSparseTebibyte(benchmark::State& state) { Run(state, Tebibyte(), true, tebibyteSeconds); }
void BM_ExportDenseSameData(benchmark::State& state) { Run(state, Dense(), true, denseSeconds); }
void BM_ExportSparseGibibyte(benchmark::State& state) { Run(state, Gibibyte(), true, gibibyteWithSeconds); }
void BM_ExportSparseGibibyteReadingEveryByte(benchmark::State& state) {
  Run(state, Gibibyte(), false, gibibyteWithoutSeconds);
}

BENCHMARK(BM_ExportSparseTebibyte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportDenseSameData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportSparseGibibyte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportSparseGibibyteReadingEveryByte)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (tebibyteSeconds > 0 && denseSeconds > 0) {
    std::printf("1 TiB sparse (2 MiB of data) %.4f s, dense 2 MiB %.4f s: ratio %.2f\n", tebibyteSeconds,
                denseSeconds, tebibyteSeconds / denseSeconds);
  }
  if (gibibyteWithSeconds > 0 && gibibyteWithoutSeconds > 0) {
    const double tebibyteWithout = gibibyteWithoutSeconds * static_cast<double>(kTebibyte / kGibibyte);
    std::printf("1 GiB sparse: holes skipped %.4f s, every byte read and written %.3f s: ratio %.0f\n",
                gibibyteWithSeconds, gibibyteWithoutSeconds, gibibyteWithoutSeconds / gibibyteWithSeconds);
    if (tebibyteSeconds > 0) {
      std::printf("1 TiB sparse: holes skipped %.4f s, every byte (from the 1 GiB rate) about %.0f s: ratio %.0f\n",
                  tebibyteSeconds, tebibyteWithout, tebibyteWithout / tebibyteSeconds);
    }
  }
  benchmark::Shutdown();
  return 0;
}
