#pragma once
/// \file
/// CKaEnvVar: expanding and collapsing \%NAME% references to environment variables.

#include <plinth/Export.h>
#include <plinth/KaString.h>

/// \%NAME% references to environment variables, expanded into their values (Expand)
/// or written back in place of the value that best fits the start of a text (Collapse). Names
/// match without regard to case, as the environment's lookups do.
///
/// Choices made where the behaviour is open:
/// - Collapse skips entries of the environment block whose name is empty (Windows keeps the
///   current folder of each drive as "=C:=C:\dir"), so it never writes "%%": with only such
///   an entry fitting, Collapse of 'C:\\dir\\x' fails with E_FAIL.
class PLINTH_API CKaEnvVar {
 public:
  /// The class holds no state; every member is static.
  CKaEnvVar() = default;
  /// Holds no state, so a copy copies nothing.
  CKaEnvVar(const CKaEnvVar&) = default;
  /// Holds no state, so assignment changes nothing.
  CKaEnvVar& operator=(const CKaEnvVar&) { return *this; }
  /// Does nothing.
  virtual ~CKaEnvVar();

  /// Replaces every \%NAME% whose variable has a non-empty value; the rest stays as written (an
  /// unknown or empty variable, "%%", a lone "%"), and inserted values are not scanned again:
  /// with A=1, "x%A%%B%%" gives "x1%B%%". out is overwritten; "" gives "".
  /// \return S_OK, always.
  static long Expand(const CKaString& text, CKaString& out);
  /// Writes the longest value that starts text (first in block order on a tie) as \%NAME% at
  /// every place it occurs, without regard to case: with A=C:\\dir, 'C:\\DIR\\x' gives
  /// '\%A%\\x'. Only a value that text begins with is considered.
  /// \retval S_OK out holds the collapsed text.
  /// \retval E_FAIL no value fits (out unchanged).
  static long Collapse(const CKaString& text, CKaString& out);
};
