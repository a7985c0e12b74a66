#pragma once
/// \file
/// CObject, the root of the framework's polymorphic classes.

#include <plinth/Export.h>

/// Root of the framework's polymorphic classes (collections, exceptions, the application).
///
/// It holds no data. Its destructor is virtual, so an object may be deleted through a
/// `CObject*`. There is no run-time class information of the framework's own: test an
/// object's class with dynamic_cast.
class PLINTH_API CObject {
 public:
  /// Virtual, so that deleting through a base pointer destroys the whole object.
  virtual ~CObject();

 protected:
  /// Only derived classes create objects; CObject is never made on its own.
  CObject() = default;
  /// Protected, so that each derived class decides whether it may be copied (the arrays may,
  /// the maps may not).
  ///@{
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
  ///@}
};
