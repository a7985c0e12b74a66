#pragma once
// The process heap. Included by <plinth/win32.h> on POSIX only.
//
// There is one heap, the C runtime's, and GetProcessHeap names it. HeapAlloc of 0 bytes gives a
// valid block as on Windows; HEAP_ZERO_MEMORY zero-fills the block. A handle other than the
// process heap's fails: HeapAlloc answers null, HeapFree FALSE, with ERROR_INVALID_HANDLE.
// HeapFree of a null block succeeds and does nothing. An allocation that cannot be served answers
// null with ERROR_NOT_ENOUGH_MEMORY (HEAP_GENERATE_EXCEPTIONS is not supported); tests make
// HeapAlloc fail through PLINTH_FAULT_INJECT=HeapAlloc.

#define HEAP_NO_SERIALIZE 0x00000001
#define HEAP_ZERO_MEMORY 0x00000008

extern "C" {

PLINTH_API HANDLE GetProcessHeap(void);
PLINTH_API LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
PLINTH_API BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

}  // extern "C"
