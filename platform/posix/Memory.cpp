// The process heap on the C runtime's allocator. The handle is the address of a private object,
// so it can never be mistaken for any other handle the platform hands out.
#include <plinth/win32.h>

#include <cstdlib>
#include <cstring>

#include "platform/FaultInjection.h"

namespace {

char processHeap;

HANDLE ProcessHeapHandle() { return &processHeap; }

}  // namespace

extern "C" {

HANDLE GetProcessHeap(void) { return ProcessHeapHandle(); }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (heap != ProcessHeapHandle()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (plinth::platform::FaultInjected("HeapAlloc")) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The runtime may answer null for 0 bytes; Windows gives a block.
  const size_t size = bytes == 0 ? 1 : bytes;
  void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(size, 1) : std::malloc(size);
  if (!block) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

BOOL HeapFree(HANDLE heap, DWORD /*flags*/, LPVOID block) {
  if (heap != ProcessHeapHandle()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::free(block);
  return TRUE;
}

}  // extern "C"
