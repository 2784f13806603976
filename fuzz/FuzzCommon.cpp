#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "fuzz/FuzzBodies.h"

std::string ZyFuzzScratchPath(const char* target) {
  // A memory-backed folder where there is one: inputs are written tens of thousands of times.
  struct stat st;
  const char* dir = std::getenv("ZY_FUZZ_TMP");
  if (!dir) dir = (::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/zyfuzz_" + target + "_" + std::to_string(::getpid());
}

void ZyFuzzWriteFile(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) throw std::runtime_error("cannot write " + path);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  if (done != size) throw std::runtime_error("short write to " + path);
}
