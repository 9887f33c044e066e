#include <windows.h>

#include "classes.h"
#include "fileio.h"

namespace vcl::fileio {

intptr_t Open(const std::string& name, uint32_t mode) {
  DWORD access;
  DWORD disposition;
  if ((mode & 0xFF00) == fmCreate) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  } else {
    switch (mode & 3) {
      case fmOpenWrite: access = GENERIC_WRITE; break;
      case fmOpenReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
      default: access = GENERIC_READ; break;
    }
    disposition = OPEN_EXISTING;
  }
  DWORD share;
  switch (mode & 0xF0) {
    case fmShareExclusive: share = 0; break;
    case fmShareDenyWrite: share = FILE_SHARE_READ; break;
    case fmShareDenyRead: share = FILE_SHARE_WRITE; break;
    case fmShareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = ((mode & 0xFF00) == fmCreate) ? 0 : FILE_SHARE_READ; break;
  }
  HANDLE h = CreateFileA(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}

void Close(intptr_t h) {
  if (h != -1) CloseHandle(reinterpret_cast<HANDLE>(h));
}

int64_t Read(intptr_t h, void* buffer, int64_t count) {
  int64_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(h), p, chunk, &got, nullptr)) return total ? total : -1;
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
    DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD put = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(h), p, chunk, &put, nullptr) || put == 0) break;
    total += put;
    p += put;
    count -= put;
  }
  return total;
}

int64_t Seek(intptr_t h, int64_t offset, int origin) {
  LARGE_INTEGER d, r;
  d.QuadPart = offset;
  DWORD method = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(reinterpret_cast<HANDLE>(h), d, &r, method)) return -1;
  return r.QuadPart;
}

bool Truncate(intptr_t h, int64_t size) {
  if (Seek(h, size, soBeginning) < 0) return false;
  return SetEndOfFile(reinterpret_cast<HANDLE>(h)) != 0;
}

}  // namespace vcl::fileio
