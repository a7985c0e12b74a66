#include <plinth/afx/Map.h>

// The string map is the template instantiated once inside the library, so that hosts get one
// exported class with a fixed layout whatever their own template instantiations look like.

CMapStringToPtr::CMapStringToPtr(INT_PTR blockSize) : m_map(blockSize) {}

CMapStringToPtr::~CMapStringToPtr() = default;

INT_PTR CMapStringToPtr::GetCount() const noexcept { return m_map.GetCount(); }
INT_PTR CMapStringToPtr::GetSize() const noexcept { return m_map.GetSize(); }
bool CMapStringToPtr::IsEmpty() const noexcept { return m_map.IsEmpty(); }

BOOL CMapStringToPtr::Lookup(const char* key, void*& value) const {
  return m_map.Lookup(key, value);
}

void CMapStringToPtr::SetAt(const char* key, void* newValue) { m_map.SetAt(key, newValue); }

void*& CMapStringToPtr::operator[](const char* key) { return m_map[key]; }

BOOL CMapStringToPtr::RemoveKey(const char* key) { return m_map.RemoveKey(key); }

void CMapStringToPtr::RemoveAll() noexcept { m_map.RemoveAll(); }

POSITION CMapStringToPtr::GetStartPosition() const noexcept { return m_map.GetStartPosition(); }

void CMapStringToPtr::GetNextAssoc(POSITION& position, CString& key, void*& value) const {
  m_map.GetNextAssoc(position, key, value);
}

UINT CMapStringToPtr::GetHashTableSize() const noexcept { return m_map.GetHashTableSize(); }

void CMapStringToPtr::InitHashTable(UINT hashSize, BOOL allocateNow) {
  m_map.InitHashTable(hashSize, allocateNow);
}
