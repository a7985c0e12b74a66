#include <plinth/afx/Array.h>

// Out of line so that the vtables of the two exported arrays are anchored in the library.
CStringArray::CStringArray() = default;
CStringArray::~CStringArray() = default;

CByteArray::CByteArray() = default;
CByteArray::~CByteArray() = default;
