#include <plinth/afx/Object.h>

// Out of line so that the vtable and type information of the root class live in the library
// once, rather than in every module that derives from it.
CObject::~CObject() = default;
