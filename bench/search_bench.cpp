// Search throughput on a 1 GiB file in the page cache: the chunked search
// (forward and backward) against a plain single-threaded memmem scan of the
// same file, read the same way, in the same run. The pattern stands at the
// very end (forward) or start (backward), so every byte is looked at.
// Two kinds of content: random bytes, and lower-case words (where the bytes
// of the pattern are common). At the end the search's time is printed as a
// share of memmem's (below 1: the search is the faster).
//
// KELMHEX_SEARCH_BENCH_MIB sets the file size in MiB (default 1024). The
// file lives in /tmp and is removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "viewer/search.h"

using namespace kelm::viewer;

namespace {

constexpr uint64_t kMebibyte = uint64_t{1} << 20;
constexpr uint64_t kChunk = kSearchChunkSize;

uint64_t FileSize() {
  const char* mib = std::getenv("KELMHEX_SEARCH_BENCH_MIB");
  const uint64_t size = mib != nullptr ? std::strtoull(mib, nullptr, 10) : 1024;
  return (size > 0 ? size : 1) * kMebibyte;
}

const std::vector<uint8_t> kRandomPattern = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67};
const std::string kWordsPattern = "the quick onyx goblin";

struct BenchFile {
  std::string path;
  int fd = -1;
  uint64_t size = 0;
  std::vector<uint8_t> pattern;
};

// Writes the file a MiB at a time: the content, with the pattern at the end
// and at the start (for the backward scan), then reads it once so that it is
// in the page cache.
BenchFile MakeFile(const std::string& kind, const std::vector<uint8_t>& pattern) {
  BenchFile file;
  file.size = FileSize();
  file.pattern = pattern;
  file.path = (std::filesystem::temp_directory_path() /
               ("kelmhex-search-bench-" + kind + "-" + std::to_string(::getpid()) + ".bin"))
                  .string();
  const int out = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (out < 0) std::abort();
  std::mt19937_64 random(42);
  std::vector<uint8_t> block(kMebibyte);
  static const char kLetters[] = "etaoinshrdlucmfwypvbgkjqxz      ";
  for (uint64_t at = 0; at < file.size; at += kMebibyte) {
    for (size_t i = 0; i < block.size(); i += 8) {
      uint64_t bits = random();
      for (size_t k = 0; k < 8; ++k, bits >>= 8) {
        block[i + k] = kind == "random" ? static_cast<uint8_t>(bits) : static_cast<uint8_t>(kLetters[bits & 31]);
      }
    }
    if (at == 0) std::memcpy(block.data(), pattern.data(), pattern.size());
    if (at + kMebibyte >= file.size) std::memcpy(block.data() + block.size() - pattern.size(), pattern.data(), pattern.size());
    if (::write(out, block.data(), block.size()) != static_cast<ssize_t>(block.size())) std::abort();
  }
  ::close(out);
  file.fd = ::open(file.path.c_str(), O_RDONLY);
  for (uint64_t at = 0; at < file.size; at += kMebibyte) {
    if (::pread(file.fd, block.data(), block.size(), static_cast<off_t>(at)) <= 0) break;
  }
  return file;
}

BenchFile& RandomFile() {
  static BenchFile file = MakeFile("random", kRandomPattern);
  return file;
}
BenchFile& WordsFile() {
  static BenchFile file = MakeFile("words", std::vector<uint8_t>(kWordsPattern.begin(), kWordsPattern.end()));
  return file;
}

ByteReader PreadReader(const BenchFile& file) {
  const int fd = file.fd;
  return [fd](uint64_t offset, uint8_t* buffer, uint64_t count) -> uint64_t {
    const ssize_t got = ::pread(fd, buffer, count, static_cast<off_t>(offset));
    return got > 0 ? static_cast<uint64_t>(got) : 0;
  };
}

void CheckFound(benchmark::State& state, uint64_t found, uint64_t expected) {
  if (found != expected) state.SkipWithError("the pattern was not found where it is");
}

// The plain scan: the same chunks and overlap, each handed to memmem, from
// offset 1 so that it goes through the whole file.
void MemmemWhole(benchmark::State& state, BenchFile& file) {
  const size_t m = file.pattern.size();
  std::vector<uint8_t> buffer(kChunk + m - 1);
  for (auto _ : state) {
    uint64_t found = ~uint64_t{0};
    for (uint64_t at = 1; at + m <= file.size; at += kChunk) {
      const ssize_t got = ::pread(file.fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
      if (got < static_cast<ssize_t>(m)) break;
      const void* hit = memmem(buffer.data(), static_cast<size_t>(got), file.pattern.data(), m);
      if (hit != nullptr) {
        found = at + static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - buffer.data());
        break;
      }
    }
    CheckFound(state, found, file.size - m);
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size));
}

void SearchForward(benchmark::State& state, BenchFile& file) {
  for (auto _ : state) {
    ChunkedSearch search(file.pattern, file.size, 1, SearchDirection::Forward, PreadReader(file));
    const std::optional<uint64_t> found = search.RunToEnd();
    CheckFound(state, found.value_or(~uint64_t{0}), file.size - file.pattern.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size));
}

void SearchBackward(benchmark::State& state, BenchFile& file) {
  for (auto _ : state) {
    ChunkedSearch search(file.pattern, file.size, file.size - file.pattern.size(), SearchDirection::Backward,
                         PreadReader(file));
    const std::optional<uint64_t> found = search.RunToEnd();
    CheckFound(state, found.value_or(~uint64_t{0}), 0);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size));
}

void BM_RandomMemmem(benchmark::State& state) { MemmemWhole(state, RandomFile()); }
void BM_RandomSearchForward(benchmark::State& state) { SearchForward(state, RandomFile()); }
void BM_RandomSearchBackward(benchmark::State& state) { SearchBackward(state, RandomFile()); }
void BM_WordsMemmem(benchmark::State& state) { MemmemWhole(state, WordsFile()); }
void BM_WordsSearchForward(benchmark::State& state) { SearchForward(state, WordsFile()); }
void BM_WordsSearchBackward(benchmark::State& state) { SearchBackward(state, WordsFile()); }

BENCHMARK(BM_RandomMemmem)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RandomSearchForward)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RandomSearchBackward)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WordsMemmem)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WordsSearchForward)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WordsSearchBackward)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Prints each run as usual and keeps its throughput for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto bytes = run.counters.find("bytes_per_second");
      if (bytes != run.counters.end() && !run.error_occurred) rates[run.run_name.function_name] = bytes->second.value;
    }
  }
  std::map<std::string, double> rates;
};

void RemoveFiles() {
  for (BenchFile* file : {&RandomFile(), &WordsFile()}) {
    if (file->fd >= 0) ::close(file->fd);
    std::error_code ignored;
    std::filesystem::remove(file->path, ignored);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  RemoveFiles();

  for (const char* kind : {"Random", "Words"}) {
    const auto base = reporter.rates.find(std::string("BM_") + kind + "Memmem");
    if (base == reporter.rates.end() || base->second <= 0) continue;
    for (const char* way : {"Forward", "Backward"}) {
      const auto search = reporter.rates.find(std::string("BM_") + kind + "Search" + way);
      if (search == reporter.rates.end()) continue;
      // As times: below 1 the search is the faster.
      std::printf("%s %s: search %.2f GB/s, memmem %.2f GB/s, search time / memmem time %.2f\n", kind, way,
                  search->second / 1e9, base->second / 1e9, base->second / search->second);
    }
  }
  benchmark::Shutdown();
  return 0;
}
