#pragma once
/// \file
/// Result codes the library publishes for hosts: HR_DUPLICATE_NAME and its holder CKaHresults.

#include <plinth/Export.h>

/// The result code for a name that is already taken: 0x80040100 (an error in the interface
/// facility) once the library has loaded; 0 before its static objects are constructed. A
/// `long`: negative on every platform, so `hr < 0` tests it as a failure.
extern PLINTH_API long HR_DUPLICATE_NAME;

/// Holds the library's published result codes: its one instance, constructed while the library
/// loads, sets them, so hosts only read HR_DUPLICATE_NAME.
class PLINTH_API CKaHresults {
 public:
  /// Sets HR_DUPLICATE_NAME; calling it again sets the same value. Needed only by code that
  /// runs before the library's static objects are constructed.
  static void InitHresultCodes();
  /// Holds no state, so assignment changes nothing.
  CKaHresults& operator=(const CKaHresults&) { return *this; }

 protected:
  /// Sets the codes (InitHresultCodes).
  CKaHresults();

 private:
  // The one instance, constructed at load; its construction sets the codes.
  static CKaHresults m_hResults;
};
