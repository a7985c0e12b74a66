#pragma once
// The framework throws exceptions by pointer, and the catcher owns them: these helpers catch,
// tell the type, and free them, so that a test reads as one line per expected failure.

#include <plinth/afx/Exception.h>

namespace plinth::test {

// Runs body; the exception it threw (the caller deletes it), or null.
template <class F>
CException* Caught(F body) {
  try {
    body();
  } catch (CException* e) {
    return e;
  }
  return nullptr;
}

// Runs body and reports whether it threw a framework exception of type E.
template <class E, class F>
bool Throws(F body) {
  CException* e = Caught(body);
  const bool matches = dynamic_cast<E*>(e) != nullptr;
  if (e) e->Delete();
  return matches;
}

template <class F>
bool ThrowsInvalidArg(F body) {
  return Throws<CInvalidArgException>(body);
}

}  // namespace plinth::test
