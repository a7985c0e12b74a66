#pragma once
// Result codes the library publishes for hosts.

#include <plinth/Export.h>

// 0x80040100 (an error in the interface facility) once the library has loaded; 0 before its
// static objects are constructed. A `long`: negative on every platform.
extern PLINTH_API long HR_DUPLICATE_NAME;

class PLINTH_API CKaHresults {
 public:
  // Sets HR_DUPLICATE_NAME; calling it again sets the same value.
  static void InitHresultCodes();
  CKaHresults& operator=(const CKaHresults&) { return *this; }

 protected:
  CKaHresults();

 private:
  // The one instance, constructed at load; its construction sets the codes.
  static CKaHresults m_hResults;
};
