// bench-storage: what our compound-file streams cost against plain file I/O. One pattern runs
// through a stream of a version 4 compound file (the service's API, no engine above it) and
// through pread/pwrite on an ordinary file: appending fixed-size records to one stream, reading
// them back in order one record per call, and reading records at random positions (a fixed seed,
// the same positions for both). Prints both times, their ratio and the goal for each.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/compound/Compound.h"

namespace {

struct Options {
  uint64_t records = 1000000;
  uint64_t reads = 100000;
  uint32_t recordSize = 100;
  int repeat = 5;
  std::string dir;
};

const char kUsage[] =
    "usage: bench-storage [--records N] [--reads N] [--record-size B] [--repeat K] [--dir DIR]\n"
    "  defaults: 1000000 records of 100 bytes, 100000 random reads, best of 5 runs;\n"
    "  temporary files go to DIR, else $TMPDIR, else /tmp.\n";

[[noreturn]] void Die(const std::string& text) {
  std::fprintf(stderr, "bench-storage: %s\n", text.c_str());
  std::exit(1);
}

void Check(zycfb::Result r, const char* what) {
  if (zycfb::Failed(r)) {
    char text[128];
    std::snprintf(text, sizeof text, "%s failed with $%08X", what, r);
    Die(text);
  }
}

// The three phases, each given the record number to write or read; the record's first 8 bytes
// carry its number so every read is checked (and cannot be optimised away).
class Target {
 public:
  virtual ~Target() = default;
  virtual void Append(const char* record) = 0;
  virtual void ReadAt(uint64_t index, char* record, bool sequential) = 0;
};

class CompoundTarget : public Target {
 public:
  CompoundTarget(const std::string& path, uint32_t size) : size_(size) {
    zycfb::CreateOptions options;
    options.version = 4;
    Check(zycfb::CreateDocfile(path, zycfb::STGM_CREATE | kMode, &root_, options), "CreateDocfile");
    Check(root_->CreateStream(u"Records", zycfb::STGM_CREATE | kMode, &stream_), "CreateStream");
  }
  void Append(const char* record) override {
    uint32_t written = 0;
    Check(stream_->Write(record, size_, &written), "Write");
    if (written != size_) Die("short write");
  }
  void ReadAt(uint64_t index, char* record, bool sequential) override {
    if (!sequential || index == 0)
      Check(stream_->Seek(static_cast<int64_t>(index * size_), zycfb::STREAM_SEEK_SET, nullptr),
            "Seek");
    uint32_t got = 0;
    Check(stream_->Read(record, size_, &got), "Read");
    if (got != size_) Die("short read");
  }

 private:
  static constexpr uint32_t kMode = zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE;
  uint32_t size_;
  std::shared_ptr<zycfb::Storage> root_;
  std::shared_ptr<zycfb::Stream> stream_;
};

class PlainTarget : public Target {
 public:
  PlainTarget(const std::string& path, uint32_t size) : size_(size) {
    fd_ = open(path.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
    if (fd_ < 0) Die(path + ": " + std::strerror(errno));
  }
  ~PlainTarget() override { close(fd_); }
  void Append(const char* record) override {
    if (pwrite(fd_, record, size_, static_cast<off_t>(end_)) != static_cast<ssize_t>(size_))
      Die("pwrite failed");
    end_ += size_;
  }
  void ReadAt(uint64_t index, char* record, bool) override {
    if (pread(fd_, record, size_, static_cast<off_t>(index * size_)) != static_cast<ssize_t>(size_))
      Die("pread failed");
  }

 private:
  uint32_t size_;
  int fd_;
  uint64_t end_ = 0;
};

// Wall time suffers from whatever else the machine runs; the process's CPU time (user and
// system: the I/O here is all page cache) is steadier, so the ratios are taken from it.
struct Cost {
  double wall = 1e300, cpu = 1e300;
};

double CpuNow() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Measure(Cost* best, const std::function<void()>& work) {
  double cpu = CpuNow();
  auto wall = std::chrono::steady_clock::now();
  work();
  best->wall = std::min(
      best->wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count());
  best->cpu = std::min(best->cpu, CpuNow() - cpu);
}

enum Phase { kAppend, kSequential, kRandom, kPhases };

void RunPhase(Phase phase, Target& target, const Options& o, const std::vector<uint64_t>& positions,
              Cost* best) {
  std::vector<char> record(o.recordSize, 'r');
  auto expect = [&](uint64_t index) {
    uint64_t stored;
    std::memcpy(&stored, record.data(), sizeof stored);
    if (stored != index) Die("record " + std::to_string(index) + " reads back wrong");
  };
  Measure(best, [&] {
    if (phase == kAppend) {
      for (uint64_t i = 0; i < o.records; ++i) {
        std::memcpy(record.data(), &i, sizeof i);
        target.Append(record.data());
      }
    } else if (phase == kSequential) {
      for (uint64_t i = 0; i < o.records; ++i) {
        target.ReadAt(i, record.data(), true);
        expect(i);
      }
    } else {
      for (uint64_t p : positions) {
        target.ReadAt(p, record.data(), false);
        expect(p);
      }
    }
  });
}

uint64_t Number(const char* text) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 10);
  if (!*text || *end || v == 0) Die(std::string("not a positive number: ") + text);
  return v;
}

Options Parse(int argc, char** argv) {
  Options o;
  const char* tmp = std::getenv("TMPDIR");
  o.dir = tmp && *tmp ? tmp : "/tmp";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      std::fputs(kUsage, stderr);
      std::exit(2);
    }
    const char* v = argv[++i];
    if (a == "--records")
      o.records = Number(v);
    else if (a == "--reads")
      o.reads = Number(v);
    else if (a == "--record-size")
      o.recordSize = static_cast<uint32_t>(std::max<uint64_t>(8, Number(v)));
    else if (a == "--repeat")
      o.repeat = static_cast<int>(Number(v));
    else if (a == "--dir")
      o.dir = v;
    else {
      std::fputs(kUsage, stderr);
      std::exit(2);
    }
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options o = Parse(argc, argv);
  std::mt19937_64 rng(20240521);
  std::uniform_int_distribution<uint64_t> pick(0, o.records - 1);
  std::vector<uint64_t> positions(o.reads);
  for (uint64_t& p : positions) p = pick(rng);

  std::string base = o.dir + "/bench-storage-" + std::to_string(getpid());
  const std::string paths[2] = {base + ".cfb", base + ".dat"};
  Cost best[2][kPhases];  // [0]: compound file, [1]: plain file
  for (int run = 0; run < o.repeat; ++run) {
    std::unique_ptr<Target> targets[2] = {std::make_unique<CompoundTarget>(paths[0], o.recordSize),
                                          std::make_unique<PlainTarget>(paths[1], o.recordSize)};
    // Each phase runs on both sides back to back, the side going first alternating by run, so
    // both meet the same machine and neither always finds the warmer cache.
    for (int phase = 0; phase < kPhases; ++phase) {
      for (int k = 0; k < 2; ++k) {
        int side = (k + run) % 2;
        RunPhase(static_cast<Phase>(phase), *targets[side], o, positions, &best[side][phase]);
      }
    }
    targets[0].reset();
    targets[1].reset();
    std::remove(paths[0].c_str());
    std::remove(paths[1].c_str());
  }

  std::printf("bench-storage: %llu records of %u bytes, %llu random reads, best of %d runs\n",
              static_cast<unsigned long long>(o.records), o.recordSize,
              static_cast<unsigned long long>(o.reads), o.repeat);
  std::printf("%-16s %21s   %21s   %-5s  %s\n", "", "compound file (v4)", "plain file", "ratio",
              "goal");
  std::printf("%-16s %10s %10s   %10s %10s   %-5s\n", "", "cpu s", "wall s", "cpu s", "wall s",
              "(cpu)");
  const char* names[kPhases] = {"append", "sequential read", "random read"};
  const double goals[kPhases] = {2.0, 1.2, 1.2};
  for (int phase = 0; phase < kPhases; ++phase) {
    const Cost& ours = best[0][phase];
    const Cost& plain = best[1][phase];
    double ratio = ours.cpu / plain.cpu;
    std::printf("%-16s %10.3f %10.3f   %10.3f %10.3f   %5.2f  <= %.1f%s\n", names[phase], ours.cpu,
                ours.wall, plain.cpu, plain.wall, ratio, goals[phase],
                ratio <= goals[phase] ? "" : "  (missed)");
  }
  return 0;
}
