#pragma once
// Hash maps: the CMap template and the string-to-pointer map the library passes across its
// interface, CMapStringToPtr.
//
// The table has 17 buckets by default and is created on the first insertion; entries are
// allocated in blocks (10 by default) and recycled. Keys are compared exactly (byte for byte
// for strings). Iteration order is the table's and carries no meaning:
//
//   POSITION pos = map.GetStartPosition();
//   while (pos) { map.GetNextAssoc(pos, key, value); ... }
//
// While iterating, any entry may be removed, the one just returned included: a position whose
// entry has gone moves on to the entry that would have followed it. When every remaining entry
// has gone, that last GetNextAssoc returns a default key and value and the position null.
// Entries inserted while iterating may or may not be visited; the others are still visited once
// each (when several walks are under way at once, this holds for the latest one to advance).
// RemoveAll and InitHashTable end every walk: a position taken before them (other than a start
// position) must not be used after them.
//
// A null position passed to GetNextAssoc, or a hash table size of 0, throws
// CInvalidArgException*; exhausted memory throws CMemoryException*.

#include <plinth/afx/Exception.h>
#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

struct __POSITION {};
typedef __POSITION* POSITION;
#define BEFORE_START_POSITION ((POSITION)(intptr_t)-1)

namespace plinth_afx_detail {

inline UINT HashBytes(const char* bytes, size_t length) noexcept {
  UINT hash = 0;
  for (size_t i = 0; i < length; ++i) hash = hash * 33 + static_cast<unsigned char>(bytes[i]);
  return hash;
}

}  // namespace plinth_afx_detail

// The hash of a key. Integral and enumeration keys hash by value, pointers by address (less the
// low bits that alignment keeps at zero), strings by their bytes with h = h * 33 + byte.
template <class ARG_KEY>
inline UINT HashKey(ARG_KEY key) {
  typedef std::remove_cv_t<std::remove_reference_t<ARG_KEY>> Key;
  if constexpr (std::is_integral_v<Key> || std::is_enum_v<Key>) {
    uint64_t value = static_cast<uint64_t>(key);
    return static_cast<UINT>(value ^ (value >> 32));
  } else if constexpr (std::is_convertible_v<Key, const char*> && !std::is_class_v<Key>) {
    const char* text = key;
    return text ? plinth_afx_detail::HashBytes(text, std::strlen(text)) : 0;
  } else if constexpr (std::is_pointer_v<Key>) {
    return static_cast<UINT>(reinterpret_cast<uintptr_t>(key) >> 4);
  } else {
    static_assert(std::is_convertible_v<Key, CString>, "HashKey needs an overload for this key");
    const CString& text = key;
    return plinth_afx_detail::HashBytes(text.GetString(), static_cast<size_t>(text.GetLength()));
  }
}

template <>
inline UINT HashKey<const char*>(const char* key) {
  return key ? plinth_afx_detail::HashBytes(key, std::strlen(key)) : 0;
}

template <>
inline UINT HashKey<const CString&>(const CString& key) {
  return plinth_afx_detail::HashBytes(key.GetString(), static_cast<size_t>(key.GetLength()));
}

template <>
inline UINT HashKey<CString>(CString key) {
  return HashKey<const CString&>(key);
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap : public CObject {
 public:
  struct CPair {
    const KEY key;
    VALUE value;

   protected:
    explicit CPair(ARG_KEY keyval) : key(keyval), value() {}
    friend class CMap;
  };

  explicit CMap(INT_PTR blockSize = 10) : m_blockSize(blockSize > 0 ? blockSize : 10) {}
  CMap(const CMap&) = delete;
  CMap& operator=(const CMap&) = delete;
  ~CMap() override { RemoveAll(); }

  INT_PTR GetCount() const noexcept { return m_count; }
  INT_PTR GetSize() const noexcept { return m_count; }
  bool IsEmpty() const noexcept { return m_count == 0; }

  BOOL Lookup(ARG_KEY key, VALUE& value) const {
    const Assoc* assoc = Find(key, HashKey<ARG_KEY>(key));
    if (!assoc) return FALSE;
    value = assoc->Pair()->value;
    return TRUE;
  }
  const CPair* PLookup(ARG_KEY key) const {
    const Assoc* assoc = Find(key, HashKey<ARG_KEY>(key));
    return assoc ? assoc->Pair() : nullptr;
  }
  CPair* PLookup(ARG_KEY key) {
    Assoc* assoc = Find(key, HashKey<ARG_KEY>(key));
    return assoc ? assoc->Pair() : nullptr;
  }

  // The value of key, inserted with a value-initialised VALUE when the key is new.
  VALUE& operator[](ARG_KEY key) {
    const UINT hash = HashKey<ARG_KEY>(key);
    if (Assoc* assoc = Find(key, hash)) return assoc->Pair()->value;
    if (!m_table) AllocateTable(m_tableSize);
    Assoc* assoc = NewAssoc(key);
    assoc->hash = hash;
    assoc->bucket = hash % m_tableSize;
    assoc->next = m_table[assoc->bucket];
    m_table[assoc->bucket] = assoc;
    return assoc->Pair()->value;
  }
  void SetAt(ARG_KEY key, ARG_VALUE newValue) { (*this)[key] = newValue; }

  BOOL RemoveKey(ARG_KEY key) {
    if (!m_table) return FALSE;
    const UINT hash = HashKey<ARG_KEY>(key);
    for (Assoc** link = &m_table[hash % m_tableSize]; *link; link = &(*link)->next) {
      Assoc* assoc = *link;
      if (assoc->hash == hash && assoc->Pair()->key == key) {
        *link = assoc->next;
        FreeAssoc(assoc);
        return TRUE;
      }
    }
    return FALSE;
  }

  void RemoveAll() noexcept {
    if (m_table) {
      for (UINT i = 0; i < m_tableSize; ++i)
        for (Assoc* assoc = m_table[i]; assoc; assoc = assoc->next) assoc->Pair()->~CPair();
      delete[] m_table;
      m_table = nullptr;
    }
    while (m_blocks) {
      Assoc* block = m_blocks;
      m_blocks = block->next;
      delete[] block;
    }
    m_freeHead = m_freeTail = nullptr;
    m_count = 0;
    m_walkPosition.store(nullptr, std::memory_order_relaxed);
  }

  POSITION GetStartPosition() const noexcept {
    return m_count == 0 ? nullptr : BEFORE_START_POSITION;
  }

  void GetNextAssoc(POSITION& position, KEY& key, VALUE& value) const {
    if (!position) AfxThrowInvalidArgException();
    const Assoc* current;
    if (position == BEFORE_START_POSITION) {
      current = FirstFrom(0);
    } else {
      current = reinterpret_cast<const Assoc*>(position);
      if (!current->live) current = SuccessorOfRemoved(current);
    }
    if (!current) {
      position = nullptr;
      key = KEY();
      value = VALUE();
      return;
    }
    const Assoc* following = current->next ? current->next : FirstFrom(current->bucket + 1);
    m_walkPosition.store(following, std::memory_order_relaxed);
    position = reinterpret_cast<POSITION>(const_cast<Assoc*>(following));
    key = current->Pair()->key;
    value = current->Pair()->value;
  }

  UINT GetHashTableSize() const noexcept { return m_tableSize; }

  // Sets the number of buckets; with allocateNow the table is made at once, else on the first
  // insertion. Entries already held are spread over the new table.
  void InitHashTable(UINT hashSize, BOOL allocateNow = TRUE) {
    if (hashSize == 0) AfxThrowInvalidArgException();
    if (m_count == 0) {
      delete[] m_table;
      m_table = nullptr;
      m_tableSize = hashSize;
      if (allocateNow) AllocateTable(hashSize);
      return;
    }
    // Each chain must stay ordered newest first, which the iteration after a removal relies on.
    std::vector<Assoc*> entries;
    AfxThrowMemoryOnAllocFailure([&] { entries.reserve(static_cast<size_t>(m_count)); });
    for (UINT i = 0; i < m_tableSize; ++i)
      for (Assoc* assoc = m_table[i]; assoc; assoc = assoc->next) entries.push_back(assoc);
    std::sort(entries.begin(), entries.end(),
              [](const Assoc* a, const Assoc* b) { return a->serial < b->serial; });
    Assoc** oldTable = m_table;
    m_table = nullptr;
    try {
      AllocateTable(hashSize);
    } catch (...) {
      m_table = oldTable;
      throw;
    }
    delete[] oldTable;
    m_tableSize = hashSize;
    for (Assoc* assoc : entries) {
      assoc->bucket = assoc->hash % hashSize;
      assoc->next = m_table[assoc->bucket];
      m_table[assoc->bucket] = assoc;
    }
  }

 private:
  // Plain storage: the pair is constructed in place while the entry is live. A removed entry
  // keeps its bucket and serial number so that a position still naming it can find its
  // successor: chains are ordered newest first, so the successor is the next older entry of the
  // same bucket, else the first entry of a later bucket.
  struct Assoc {
    Assoc* next;  // the chain while live, the free list while removed
    UINT hash;
    UINT bucket;
    uint64_t serial;
    bool live;
    alignas(CPair) unsigned char storage[sizeof(CPair)];

    CPair* Pair() noexcept { return std::launder(reinterpret_cast<CPair*>(storage)); }
    const CPair* Pair() const noexcept {
      return std::launder(reinterpret_cast<const CPair*>(storage));
    }
  };

  void AllocateTable(UINT size) {
    AfxThrowMemoryOnAllocFailure([&] { m_table = new Assoc*[size](); });
  }

  Assoc* Find(ARG_KEY key, UINT hash) const {
    if (!m_table) return nullptr;
    for (Assoc* assoc = m_table[hash % m_tableSize]; assoc; assoc = assoc->next)
      if (assoc->hash == hash && assoc->Pair()->key == key) return assoc;
    return nullptr;
  }

  const Assoc* FirstFrom(UINT bucket) const noexcept {
    if (!m_table) return nullptr;
    for (; bucket < m_tableSize; ++bucket)
      if (m_table[bucket]) return m_table[bucket];
    return nullptr;
  }

  const Assoc* SuccessorOfRemoved(const Assoc* removed) const noexcept {
    if (!m_table || removed->bucket >= m_tableSize) return nullptr;
    for (const Assoc* assoc = m_table[removed->bucket]; assoc; assoc = assoc->next)
      if (assoc->serial < removed->serial) return assoc;
    return FirstFrom(removed->bucket + 1);
  }

  // Removed entries are reused oldest first, so that one a position still names is not soon
  // handed to a new key; the one the latest walk's position names is never reused, since the
  // walk would then go on from the new key's bucket and miss the entries in between.
  Assoc* NewAssoc(ARG_KEY key) {
    const Assoc* named = m_walkPosition.load(std::memory_order_relaxed);
    Assoc* previous = nullptr;
    Assoc** link = &m_freeHead;
    if (m_freeHead && m_freeHead == named) {
      previous = m_freeHead;
      link = &m_freeHead->next;
    }
    if (!*link) AddBlock();
    Assoc* assoc = *link;
    try {
      ::new (static_cast<void*>(assoc->storage)) CPair(key);
    } catch (const std::bad_alloc&) {
      AfxThrowMemoryException();
    }
    *link = assoc->next;
    if (m_freeTail == assoc) m_freeTail = previous;
    assoc->live = true;
    assoc->serial = ++m_serial;
    ++m_count;
    return assoc;
  }

  // Appends a block of free entries to the free list.
  void AddBlock() {
    // One extra element heads the block and links it to the others.
    const size_t count = static_cast<size_t>(m_blockSize);
    Assoc* block = nullptr;
    AfxThrowMemoryOnAllocFailure([&] { block = new Assoc[count + 1]; });
    block->next = m_blocks;
    m_blocks = block;
    for (size_t i = 1; i <= count; ++i) {
      block[i].live = false;
      block[i].bucket = UINT(-1);
      block[i].serial = 0;
      block[i].next = i < count ? &block[i + 1] : nullptr;
    }
    if (m_freeTail)
      m_freeTail->next = &block[1];
    else
      m_freeHead = &block[1];
    m_freeTail = &block[count];
  }

  void FreeAssoc(Assoc* assoc) noexcept {
    assoc->Pair()->~CPair();
    assoc->live = false;
    assoc->next = nullptr;
    if (m_freeTail)
      m_freeTail->next = assoc;
    else
      m_freeHead = assoc;
    m_freeTail = assoc;
    --m_count;
  }

  Assoc** m_table = nullptr;
  UINT m_tableSize = 17;
  INT_PTR m_count = 0;
  Assoc* m_freeHead = nullptr;
  Assoc* m_freeTail = nullptr;
  Assoc* m_blocks = nullptr;
  INT_PTR m_blockSize;
  uint64_t m_serial = 0;
  // Where the latest walk stands. Atomic because walking is a const operation, which threads
  // may share.
  mutable std::atomic<const Assoc*> m_walkPosition{nullptr};
};

// A map from strings (compared exactly) to untyped pointers.
class PLINTH_API CMapStringToPtr : public CObject {
 public:
  explicit CMapStringToPtr(INT_PTR blockSize = 10);
  ~CMapStringToPtr() override;
  CMapStringToPtr(const CMapStringToPtr&) = delete;
  CMapStringToPtr& operator=(const CMapStringToPtr&) = delete;

  INT_PTR GetCount() const noexcept;
  INT_PTR GetSize() const noexcept;
  bool IsEmpty() const noexcept;

  BOOL Lookup(const char* key, void*& value) const;
  void SetAt(const char* key, void* newValue);
  void*& operator[](const char* key);
  BOOL RemoveKey(const char* key);
  void RemoveAll() noexcept;

  POSITION GetStartPosition() const noexcept;
  void GetNextAssoc(POSITION& position, CString& key, void*& value) const;

  UINT GetHashTableSize() const noexcept;
  void InitHashTable(UINT hashSize, BOOL allocateNow = TRUE);

 private:
  CMap<CString, const char*, void*, void*> m_map;
};
