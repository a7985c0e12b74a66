#pragma once
// Bounded readers of the security structures, shared by the Win32 calls of Security.cpp and
// the account and file code. `available` is how many bytes may be read from the start of the
// structure; kUnboundedBytes lets the structure's own sizes decide, as the Win32 calls must.

#include <plinth/win32.h>

#include <cstddef>
#include <cstdint>

namespace plinth::posix {

constexpr size_t kUnboundedBytes = SIZE_MAX;

// The parts of a descriptor in either form; a part that is absent (or not present by its
// control bit) is null.
struct DescriptorParts {
  BYTE revision = 0;
  WORD control = 0;
  bool selfRelative = false;
  const void* owner = nullptr;
  const void* group = nullptr;
  const void* sacl = nullptr;
  const void* dacl = nullptr;
  size_t span = 0;  // self-relative only: the bytes from the start to the end of the last part
};

// The length of a valid SID that fits in `available` bytes, else 0.
size_t SidBytes(const void* sid, size_t available);
// Revision 1 and at most 15 sub-authorities: the two bytes that IsValidSid reads.
bool ValidSidHeader(const void* sid);
bool ValidAcl(const void* acl, size_t available);
// Header plus ACEs as AceCount and the ACE sizes claim, or 0 when they overrun AclSize.
size_t AclBytesInUse(const void* acl);
bool ReadDescriptor(const void* sd, size_t available, DescriptorParts& parts);
// The bytes a self-relative copy of these parts takes.
size_t SelfRelativeSize(const DescriptorParts& parts);

}  // namespace plinth::posix
