// A writer killed at arbitrary instants. Afterwards the file opens, everything the writer had
// finished is there and intact, and nothing unwritten shows up as data.
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "tests/compound/TestUtil.h"

namespace cfbtest {
namespace {

std::string Record(uint32_t i) {
  std::string r = Pattern(100, i);
  std::memcpy(&r[0], &i, sizeof i);
  return r;
}
std::string ValueOf(uint32_t k) { return Pattern((k * 397) % 6000, k + 1000); }

// Iteration i appends record i to "log"; every 20th also creates Data/v<k> (k = i / 20) with its
// value; ten iterations later every third of those is renamed to w<k>.
[[noreturn]] void Writer(const std::string& path, std::atomic<uint32_t>* done) {
  std::shared_ptr<Storage> root, data;
  std::shared_ptr<Stream> log;
  if (OpenDocfile(path, kRW, &root) != S_OK || root->OpenStorage(U("Data"), kRW, &data) != S_OK ||
      root->OpenStream(U("log"), kRW, &log) != S_OK)
    _exit(2);
  for (uint32_t i = 0;; ++i) {
    std::string rec = Record(i);
    if (log->Write(rec.data(), 100, nullptr) != S_OK) _exit(3);
    const uint32_t k = i / 20;
    if (i % 20 == 0) {
      std::shared_ptr<Stream> v;
      std::string value = ValueOf(k);
      if (data->CreateStream(U("v" + std::to_string(k)), kRW, &v) != S_OK ||
          v->Write(value.data(), uint32_t(value.size()), nullptr) != S_OK)
        _exit(4);
    } else if (i % 20 == 10 && k % 3 == 0) {
      if (data->RenameElement(U("v" + std::to_string(k)), U("w" + std::to_string(k))) != S_OK)
        _exit(5);
    }
    done->store(i + 1);
  }
}

TEST_F(CompoundTest, KilledWriterLeavesEveryFinishedWrite) {
  auto* done = static_cast<std::atomic<uint32_t>*>(mmap(nullptr, sizeof(std::atomic<uint32_t>),
      PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(done, MAP_FAILED);
  for (int trial = 0; trial < 10; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const std::string path = Path("killed" + std::to_string(trial) + ".cfb");
    {
      auto root = Create(path, trial % 2 ? 3 : 4);
      std::shared_ptr<Storage> data;
      ASSERT_EQ(root->CreateStorage(U("Data"), kRW, &data), S_OK);
      NewStream(*root, "log");
    }
    done->store(0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) Writer(path, done);
    // The kill lands at a different point of the writer's work in every trial.
    for (int wait = 0; wait < 5000 && done->load() == 0; ++wait) usleep(1000);
    usleep(useconds_t(1000 + trial * 3000));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself: " << WEXITSTATUS(status);
    const uint32_t n = done->load();
    ASSERT_GT(n, 0u) << "the writer never got going";

    auto root = OpenRW(path);
    ASSERT_TRUE(root);
    std::string log = ReadAll(*OpenS(*root, "log"));
    // The append in flight is either wholly there or not at all.
    ASSERT_TRUE(log.size() == n * 100u || log.size() == (n + 1) * 100u) << log.size() << " " << n;
    for (uint32_t i = 0; i * 100 < log.size(); ++i)
      ASSERT_EQ(log.compare(i * 100, 100, Record(i)), 0) << "record " << i;
    std::shared_ptr<Storage> data;
    ASSERT_EQ(root->OpenStorage(U("Data"), kRW, &data), S_OK);
    for (uint32_t k = 0; 20 * k < n; ++k) {
      const bool renamed = k % 3 == 0 && 20 * k + 10 < n;
      const bool inFlight = k % 3 == 0 && 20 * k + 10 == n;
      std::shared_ptr<Stream> v;
      Result r = data->OpenStream(U((renamed ? "w" : "v") + std::to_string(k)), kRW, &v);
      if (r != S_OK && inFlight) r = data->OpenStream(U("w" + std::to_string(k)), kRW, &v);
      ASSERT_EQ(r, S_OK) << "value " << k << " of " << n;
      EXPECT_EQ(ReadAll(*v), ValueOf(k)) << "value " << k;
    }
    // The file takes more writes after the crash.
    auto more = NewStream(*data, "after");
    WriteAll(*more, Pattern(5000, 5));
    EXPECT_EQ(ReadAll(*more), Pattern(5000, 5));
  }
  munmap(done, sizeof(std::atomic<uint32_t>));
}

}  // namespace
}  // namespace cfbtest
