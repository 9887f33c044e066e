// The few file operations the streams need, over the host's file API.
#pragma once

#include <cstdint>
#include <string>

namespace vcl::fileio {
// Returns -1 on failure. mode: the fm* flags of classes.h.
intptr_t Open(const std::string& name, uint32_t mode);
void Close(intptr_t h);
int64_t Read(intptr_t h, void* buffer, int64_t count);    // -1 on failure
int64_t Write(intptr_t h, const void* buffer, int64_t count);
int64_t Seek(intptr_t h, int64_t offset, int origin);       // -1 on failure
bool Truncate(intptr_t h, int64_t size);
}  // namespace vcl::fileio
