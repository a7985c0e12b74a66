#pragma once
/// \file
/// The process heap. Included by <plinth/win32.h> on POSIX only.
///
/// There is one heap, the C runtime's, and GetProcessHeap names it. HeapAlloc of 0 bytes gives a
/// valid block as on Windows; HEAP_ZERO_MEMORY zero-fills the block. A handle other than the
/// process heap's fails: HeapAlloc answers null, HeapFree FALSE, with ERROR_INVALID_HANDLE.
/// HeapFree of a null block succeeds and does nothing. An allocation that cannot be served answers
/// null with ERROR_NOT_ENOUGH_MEMORY (HEAP_GENERATE_EXCEPTIONS is not supported); tests make
/// HeapAlloc fail through PLINTH_FAULT_INJECT=HeapAlloc.

#define HEAP_NO_SERIALIZE 0x00000001  ///< Accepted and ignored: the C runtime's heap always locks.
#define HEAP_ZERO_MEMORY 0x00000008   ///< HeapAlloc zero-fills the block.

extern "C" {

/// The handle of the process heap, the C runtime's. Always the same value; never fails.
PLINTH_API HANDLE GetProcessHeap(void);
/// Allocates bytes from the process heap (0 bytes gives a valid block), zero-filled with
/// HEAP_ZERO_MEMORY. Blocks are the C runtime's: HeapFree releases them.
/// \return the block; null with ERROR_INVALID_HANDLE (not the process heap) or
/// ERROR_NOT_ENOUGH_MEMORY (also under PLINTH_FAULT_INJECT=HeapAlloc).
PLINTH_API LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
/// Releases a block of HeapAlloc; a null block succeeds and does nothing. flags are ignored.
/// \return TRUE; FALSE with ERROR_INVALID_HANDLE for a handle other than the process heap's.
PLINTH_API BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

}  // extern "C"
