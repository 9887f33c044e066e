#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "classes.h"
#include "fileio.h"

namespace vcl::fileio {

intptr_t Open(const std::string& name, uint32_t mode) {
  int flags;
  if ((mode & 0xFF00) == fmCreate) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 3) {
      case fmOpenWrite: flags = O_WRONLY; break;
      case fmOpenReadWrite: flags = O_RDWR; break;
      default: flags = O_RDONLY; break;
    }
  }
  int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void Close(intptr_t h) {
  if (h != -1) ::close(static_cast<int>(h));
}

int64_t Read(intptr_t h, void* buffer, int64_t count) {
  int64_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    ssize_t got = ::read(static_cast<int>(h), p, static_cast<size_t>(count));
    if (got < 0) return total ? total : -1;
    if (got == 0) break;
    total += got;
    p += got;
    count -= got;
  }
  return total;
}

int64_t Write(intptr_t h, const void* buffer, int64_t count) {
  int64_t total = 0;
  auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t put = ::write(static_cast<int>(h), p, static_cast<size_t>(count));
    if (put <= 0) break;
    total += put;
    p += put;
    count -= put;
  }
  return total;
}

int64_t Seek(intptr_t h, int64_t offset, int origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(static_cast<int>(h), static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

bool Truncate(intptr_t h, int64_t size) {
  if (::ftruncate(static_cast<int>(h), static_cast<off_t>(size)) != 0) return false;
  return Seek(h, size, soBeginning) >= 0;
}

}  // namespace vcl::fileio
