#pragma once
// The framework's view of a module's bookkeeping (resource chain, sockets), which hosts do not
// see.

#include <plinth/afx/Module.h>

class CAfxModuleAccess {
 public:
  static CAfxModule* Next(const CAfxModule& module) noexcept { return module.m_next; }
  static bool& SocketsStarted(CAfxModule& module) noexcept { return module.m_socketsStarted; }
};
