// Table-store benchmark: appends rows of a six-column table through the row operations and then
// selects 10 % of them with RowsGet, each figure printed beside its physical limit on this
// machine: the same record bytes written with plain pwrite to an ordinary file, and read back
// with plain sequential reads.
//
//   bench-table [ROWS]     (default 1,000,000)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/foundation/ZyDatabaseCommon.h"
#include "engine/table/ZyDatabaseMain.h"

namespace {

// Process CPU time (user + system): on a shared machine wall time mostly measures the neighbours.
struct CpuClock {
  static double now() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
};

double Seconds(double since) { return CpuClock::now() - since; }

void Report(const char* what, double ours, double limit) {
  std::printf("%-34s %9.3f cpu s   plain %9.3f cpu s   ratio %5.2f\n", what, ours, limit,
              limit > 0 ? ours / limit : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir = tmp ? tmp : "/tmp";
  const std::string dbPath = dir + "/zybench_table.zyd";
  const std::string rawPath = dir + "/zybench_table.raw";

  TZyDatabase db;
  db.FileName = dbPath;
  db.Open(zydDatabaseCreate);
  TZyDatabaseTable* t = db.SysTableAdd(zydSysKey, "BENCH");
  t->ColumnAdd("ID", zydSignedInt64, zydColumnAutoNumber, 0);
  t->ColumnAdd("QTY", zydSignedInt32, 0, 0);
  t->ColumnAdd("NAME", zydString, 0, 40);
  t->ColumnAdd("PRICE", zydFloat8, 0, 0);
  t->ColumnAdd("ACTIVE", zydBoolean, 0, 0);
  t->ColumnAdd("WHEN", zydDateTime, 0, 0);
  t->CreateDone();
  const uint32_t recordSize = t->RecordSizeGet();

  char name[41];
  double start = CpuClock::now();
  for (long i = 0; i < rows; ++i) {
    const int32_t qty = static_cast<int32_t>(i % 10);
    const double price = i * 0.25;
    const uint8_t active = i & 1;
    const double when = 45000.0 + i / 86400.0;
    const int n = std::snprintf(name, sizeof name, "item %ld", i);
    t->RowAddBegin();
    t->RowAddField("QTY", &qty, zydSignedInt32, 4);
    t->RowAddField("NAME", name, zydString, n);
    t->RowAddField("PRICE", &price, zydFloat8, 8);
    t->RowAddField("ACTIVE", &active, zydBoolean, 1);
    t->RowAddField("WHEN", &when, zydDateTime, 8);
    t->RowAddEnd();
  }
  const double appendOurs = Seconds(start);

  const int32_t wanted = 3;
  start = CpuClock::now();
  auto found = t->RowsGet("QTY", zydFieldOpEqualTo, &wanted);
  const double scanOurs = Seconds(start);
  const uint32_t matched = found->CountGet();
  db.Close();

  // The physical limit: the same number of record-sized writes and one sequential read pass.
  std::vector<uint8_t> record(recordSize, 0x5A);
  int fd = ::open(rawPath.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
  start = CpuClock::now();
  for (long i = 0; i < rows; ++i)
    if (::pwrite(fd, record.data(), recordSize, off_t(i) * recordSize) != ssize_t(recordSize)) return 1;
  const double appendPlain = Seconds(start);
  std::vector<uint8_t> buffer(1 << 16);
  start = CpuClock::now();
  off_t at = 0;
  for (;;) {
    const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
    if (n <= 0) break;
    at += n;
  }
  const double scanPlain = Seconds(start);
  ::close(fd);
  std::remove(rawPath.c_str());
  std::remove(dbPath.c_str());

  std::printf("%ld rows of %u bytes; RowsGet matched %u\n", rows, recordSize, matched);
  Report("append (RowAddBegin..RowAddEnd)", appendOurs, appendPlain);
  Report("scan (RowsGet, one comparison)", scanOurs, scanPlain);
  return 0;
}
