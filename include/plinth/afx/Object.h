#pragma once
// Root of the framework's polymorphic classes (collections, exceptions, the application).

#include <plinth/Export.h>

class PLINTH_API CObject {
 public:
  virtual ~CObject();

 protected:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
};
