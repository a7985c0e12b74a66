#pragma once
// CKaEnvVar: %NAME% references to environment variables, expanded into their values (Expand)
// or written back in place of the value that best fits the start of a text (Collapse). Names
// match without regard to case, as the environment's lookups do.
//
// Choices made where the behaviour is open:
//  - Collapse skips entries of the environment block whose name is empty (Windows keeps the
//    current folder of each drive as "=C:=C:\dir"), so it never writes "%%": with only such
//    an entry fitting, Collapse of 'C:\dir\x' fails with E_FAIL.

#include <plinth/Export.h>
#include <plinth/KaString.h>

class PLINTH_API CKaEnvVar {
 public:
  CKaEnvVar() = default;
  CKaEnvVar(const CKaEnvVar&) = default;
  CKaEnvVar& operator=(const CKaEnvVar&) { return *this; }
  virtual ~CKaEnvVar();

  // Replaces every %NAME% whose variable has a non-empty value; the rest stays as written, and
  // inserted values are not scanned again: with A=1, 'x%A%%B%%' gives 'x1%B%%'. Always S_OK.
  static long Expand(const CKaString& text, CKaString& out);
  // Writes the longest value that starts text (first in block order on a tie) as %NAME% at
  // every place it occurs, without regard to case. S_OK, or E_FAIL with out unchanged when no
  // value fits.
  static long Collapse(const CKaString& text, CKaString& out);
};
