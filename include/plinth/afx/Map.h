#pragma once
/// \file
/// Hash maps: the CMap template and the string-to-pointer map the library passes across its
/// interface, CMapStringToPtr, with the POSITION type of their walks and the HashKey function.

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

/// The opaque type a POSITION points to; it has no members.
struct __POSITION {};
/// Where a walk over a map stands (GetStartPosition, GetNextAssoc); null when it has ended.
typedef __POSITION* POSITION;
/// The position GetStartPosition returns for a map with entries: the walk has not begun.
#define BEFORE_START_POSITION ((POSITION)(intptr_t)-1)

/// \cond
// Not part of the interface: the byte hash HashKey uses.
namespace plinth_afx_detail {

inline UINT HashBytes(const char* bytes, size_t length) noexcept {
  UINT hash = 0;
  for (size_t i = 0; i < length; ++i) hash = hash * 33 + static_cast<unsigned char>(bytes[i]);
  return hash;
}

}  // namespace plinth_afx_detail
/// \endcond

/// The hash of a key, as CMap calls it (`HashKey<ARG_KEY>(key)`). Integral and enumeration
/// keys hash by value, pointers by address (less the low bits that alignment keeps at zero),
/// strings by their bytes with h = h * 33 + byte: a `const char*` up to its NUL (null hashes
/// as the empty string, to 0), a CString over all its bytes, embedded NULs included.
///
/// A key of another type does not compile (static_assert); give it a specialisation for
/// the map's ARG_KEY, such as `template <> UINT HashKey<const MyKey&>(const MyKey& key)`,
/// that hashes equal keys alike.
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

/// The hash of a C string's bytes up to its NUL; null hashes as the empty string, to 0.
template <>
inline UINT HashKey<const char*>(const char* key) {
  return key ? plinth_afx_detail::HashBytes(key, std::strlen(key)) : 0;
}

/// The hash of all the bytes of a string, embedded NULs included.
template <>
inline UINT HashKey<const CString&>(const CString& key) {
  return plinth_afx_detail::HashBytes(key.GetString(), static_cast<size_t>(key.GetLength()));
}

/// The hash of all the bytes of a string, as HashKey<const CString&>.
template <>
inline UINT HashKey<CString>(CString key) {
  return HashKey<const CString&>(key);
}

/// A hash map from KEY to VALUE; members take keys as ARG_KEY and values as ARG_VALUE.
///
/// The table has 17 buckets by default and is created on the first insertion; entries are
/// allocated in blocks (10 by default) and recycled. An entry never moves while it is in the
/// map, so a pair or value reference stays valid until its key is removed. Keys are hashed
/// with HashKey and compared exactly with `==` (byte for byte for strings). Iteration order
/// is the table's and carries no meaning:
///
/// \code
///   POSITION pos = map.GetStartPosition();
///   while (pos) { map.GetNextAssoc(pos, key, value); ... }
/// \endcode
///
/// While iterating, any entry may be removed, the one just returned included: a position
/// whose entry has gone moves on to the entry that would have followed it. When every
/// remaining entry has gone, that last GetNextAssoc returns a default key and value and the
/// position null. Entries inserted while iterating may or may not be visited; the others are
/// still visited once each (when several walks are under way at once, this holds for the
/// latest one to advance). RemoveAll and InitHashTable end every walk: a position taken
/// before them (other than a start position) must not be used after them.
///
/// Const members (lookups and walks) may run on several threads at once; a change needs the
/// map to itself.
///
/// Errors are thrown by pointer, to be caught as `CException*` and released with `Delete()`:
/// a null position passed to GetNextAssoc, or a hash table size of 0, throws
/// CInvalidArgException*; exhausted memory throws CMemoryException* (any member not marked
/// noexcept that may allocate).
template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap : public CObject {
 public:
  /// One entry of the map, as PLookup hands it out: the key is fixed, the value may be
  /// changed in place.
  struct CPair {
    const KEY key;  ///< The entry's key.
    VALUE value;    ///< The entry's value.

   protected:
    /// Made only by the map: keyval with a value-initialised value.
    explicit CPair(ARG_KEY keyval) : key(keyval), value() {}
    friend class CMap;
  };

  /// An empty map whose entries are allocated blockSize at a time (a blockSize of 0 or less
  /// counts as 10); allocates nothing until the first insertion. A map is not copyable.
  explicit CMap(INT_PTR blockSize = 10) : m_blockSize(blockSize > 0 ? blockSize : 10) {}
  CMap(const CMap&) = delete;
  CMap& operator=(const CMap&) = delete;
  /// Destroys every entry and frees the table, as RemoveAll.
  ~CMap() override { RemoveAll(); }

  /// The number of entries.
  INT_PTR GetCount() const noexcept { return m_count; }
  /// The number of entries, as GetCount().
  INT_PTR GetSize() const noexcept { return m_count; }
  /// Whether the map has no entries.
  bool IsEmpty() const noexcept { return m_count == 0; }

  /// Copies the value of key into value.
  /// \retval TRUE the key is in the map.
  /// \retval FALSE it is not; value is unchanged.
  BOOL Lookup(ARG_KEY key, VALUE& value) const {
    const Assoc* assoc = Find(key, HashKey<ARG_KEY>(key));
    if (!assoc) return FALSE;
    value = assoc->Pair()->value;
    return TRUE;
  }
  /// The entry of key, or null when the key is not in the map. The pointer stays valid until
  /// that key is removed (RemoveKey, RemoveAll, destruction).
  const CPair* PLookup(ARG_KEY key) const {
    const Assoc* assoc = Find(key, HashKey<ARG_KEY>(key));
    return assoc ? assoc->Pair() : nullptr;
  }
  /// The entry of key, whose value may be changed in place, or null when the key is not in
  /// the map. The pointer stays valid until that key is removed.
  CPair* PLookup(ARG_KEY key) {
    Assoc* assoc = Find(key, HashKey<ARG_KEY>(key));
    return assoc ? assoc->Pair() : nullptr;
  }

  /// The value of key, inserted with a value-initialised VALUE when the key is new (the table
  /// is created on the first insertion). The reference stays valid until that key is removed.
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
  /// Sets the value of key to newValue, inserting the key when it is new.
  void SetAt(ARG_KEY key, ARG_VALUE newValue) { (*this)[key] = newValue; }

  /// Removes key and its value; a walk under way goes on with the entry that followed it.
  /// \retval TRUE the key was in the map and is removed.
  /// \retval FALSE the key was not in the map.
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

  /// Destroys every entry and frees the table and the entry blocks; the hash table size is
  /// kept for the next insertion. Ends every walk under way.
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

  /// Where a walk begins: BEFORE_START_POSITION, or null when the map is empty.
  POSITION GetStartPosition() const noexcept {
    return m_count == 0 ? nullptr : BEFORE_START_POSITION;
  }

  /// Copies the entry at position into key and value and moves position to the next entry,
  /// or to null after the last one. When the entries left have all been removed, key and
  /// value become a value-initialised KEY and VALUE and position null.
  /// \throws CInvalidArgException* when position is null.
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

  /// The number of buckets (17 unless InitHashTable set another), also before the table is
  /// made.
  UINT GetHashTableSize() const noexcept { return m_tableSize; }

  /// Sets the number of buckets; with allocateNow the table is made at once, else on the first
  /// insertion. Entries already held are spread over the new table (made at once whatever
  /// allocateNow says); should that fail, the map is left as it was. Ends every walk under
  /// way.
  /// \throws CInvalidArgException* when hashSize is 0.
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

/// A map from strings (compared exactly) to untyped pointers, as the library passes it
/// across its interface.
///
/// It behaves as a CMap of CString to `void*` taking its keys as `const char*`: a key is its
/// bytes up to the NUL, compared byte for byte (so case matters), and a null key is the empty
/// string. The map never owns what the pointers point to. Table, blocks, walks and errors
/// are as CMap describes: 17 buckets by default, entries allocated in blocks, removal allowed
/// while walking, CInvalidArgException* for a null position or a table size of 0,
/// CMemoryException* when memory is exhausted.
class PLINTH_API CMapStringToPtr : public CObject {
 public:
  /// An empty map whose entries are allocated blockSize at a time (0 or less counts as 10);
  /// allocates nothing until the first insertion. A map is not copyable.
  explicit CMapStringToPtr(INT_PTR blockSize = 10);
  /// Frees the entries; the pointed-to objects are the caller's.
  ~CMapStringToPtr() override;
  CMapStringToPtr(const CMapStringToPtr&) = delete;
  CMapStringToPtr& operator=(const CMapStringToPtr&) = delete;

  /// The number of entries.
  INT_PTR GetCount() const noexcept;
  /// The number of entries, as GetCount().
  INT_PTR GetSize() const noexcept;
  /// Whether the map has no entries.
  bool IsEmpty() const noexcept;

  /// Copies the pointer stored for key into value.
  /// \retval TRUE the key is in the map.
  /// \retval FALSE it is not; value is unchanged.
  BOOL Lookup(const char* key, void*& value) const;
  /// Stores newValue for key, inserting the key when it is new.
  void SetAt(const char* key, void* newValue);
  /// The pointer stored for key, inserted as null when the key is new; the reference stays
  /// valid until that key is removed.
  void*& operator[](const char* key);
  /// Removes key; a walk under way goes on with the entry that followed it.
  /// \retval TRUE the key was in the map and is removed.
  /// \retval FALSE the key was not in the map.
  BOOL RemoveKey(const char* key);
  /// Removes every entry and frees the table; the hash table size is kept. Ends every walk.
  void RemoveAll() noexcept;

  /// Where a walk begins: BEFORE_START_POSITION, or null when the map is empty.
  POSITION GetStartPosition() const noexcept;
  /// Copies the entry at position into key and value and moves position to the next entry,
  /// or to null after the last one; as CMap::GetNextAssoc (an empty key and a null value when
  /// the entries left have all been removed).
  /// \throws CInvalidArgException* when position is null.
  void GetNextAssoc(POSITION& position, CString& key, void*& value) const;

  /// The number of buckets (17 unless InitHashTable set another).
  UINT GetHashTableSize() const noexcept;
  /// Sets the number of buckets, as CMap::InitHashTable: with allocateNow the table is made at
  /// once, else on the first insertion; entries held are spread over the new table.
  /// \throws CInvalidArgException* when hashSize is 0.
  void InitHashTable(UINT hashSize, BOOL allocateNow = TRUE);

 private:
  CMap<CString, const char*, void*, void*> m_map;
};
