#include <plinth/afx/Module.h>

#include "platform/afx/ModuleAccess.h"

#include <mutex>

namespace {

// The chain is shared by every thread; modules join and leave it only while loading and
// unloading, so a plain mutex is cheap enough.
std::mutex g_chainLock;
CAfxModule* g_chainHead = nullptr;

thread_local CAfxModule* t_currentModule = nullptr;

}  // namespace

CAfxModule::CAfxModule(const AFX_STRING_RESOURCE* strings, int count) noexcept
    : m_strings(strings),
      m_count(strings ? count : 0),
      m_next(nullptr),
      m_joined(false),
      m_socketsStarted(false) {}

CAfxModule::~CAfxModule() { LeaveResourceChain(); }

const char* CAfxModule::FindString(UINT id) const noexcept {
  for (int i = 0; i < m_count; ++i)
    if (m_strings[i].id == id) return m_strings[i].text;
  return nullptr;
}

void CAfxModule::JoinResourceChain() noexcept {
  std::lock_guard<std::mutex> lock(g_chainLock);
  if (m_joined) return;
  m_next = g_chainHead;
  g_chainHead = this;
  m_joined = true;
}

void CAfxModule::LeaveResourceChain() noexcept {
  std::lock_guard<std::mutex> lock(g_chainLock);
  if (!m_joined) return;
  for (CAfxModule** link = &g_chainHead; *link; link = &(*link)->m_next) {
    if (*link == this) {
      *link = m_next;
      break;
    }
  }
  m_next = nullptr;
  m_joined = false;
}

const char* AfxFindStringResource(UINT id) noexcept {
  if (t_currentModule) {
    if (const char* text = t_currentModule->FindString(id)) return text;
  }
  std::lock_guard<std::mutex> lock(g_chainLock);
  for (CAfxModule* module = g_chainHead; module; module = CAfxModuleAccess::Next(*module)) {
    if (const char* text = module->FindString(id)) return text;
  }
  return nullptr;
}

CAfxModule* AfxGetCurrentModule() noexcept { return t_currentModule; }

AFX_MAINTAIN_STATE::AFX_MAINTAIN_STATE(CAfxModule* module) noexcept : m_previous(t_currentModule) {
  t_currentModule = module;
}

AFX_MAINTAIN_STATE::~AFX_MAINTAIN_STATE() { t_currentModule = m_previous; }
