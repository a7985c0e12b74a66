#pragma once
// Ordered arrays: the CArray template and the two arrays the library passes across its
// interface, CStringArray and CByteArray.
//
// An index outside the array throws CInvalidArgException*; exhausted memory throws
// CMemoryException*. SetAtGrow at the current size appends; SetSize(0, -1) empties.

#include <plinth/afx/Exception.h>
#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray : public CObject {
 public:
  CArray() = default;
  CArray(const CArray& other) : CObject(), m_growBy(other.m_growBy) { Copy(other); }
  CArray& operator=(const CArray& other) {
    if (this != &other) Copy(other);
    return *this;
  }
  ~CArray() override = default;

  INT_PTR GetSize() const noexcept { return static_cast<INT_PTR>(m_items.size()); }
  INT_PTR GetCount() const noexcept { return GetSize(); }
  INT_PTR GetUpperBound() const noexcept { return GetSize() - 1; }
  bool IsEmpty() const noexcept { return m_items.empty(); }

  // New elements are value-initialised (zero for bytes). A negative size throws; growBy -1
  // keeps the current growth step.
  void SetSize(INT_PTR newSize, INT_PTR growBy = -1) {
    if (newSize < 0) AfxThrowInvalidArgException();
    if (growBy >= 0) m_growBy = growBy;
    AfxThrowMemoryOnAllocFailure([&] {
      if (static_cast<size_t>(newSize) > m_items.capacity()) Reserve(static_cast<size_t>(newSize));
      m_items.resize(static_cast<size_t>(newSize));
    });
  }
  void RemoveAll() noexcept { m_items.clear(); }
  void FreeExtra() {
    AfxThrowMemoryOnAllocFailure([&] { m_items.shrink_to_fit(); });
  }

  const TYPE& GetAt(INT_PTR index) const { return m_items[Checked(index)]; }
  TYPE& GetAt(INT_PTR index) { return m_items[Checked(index)]; }
  TYPE& ElementAt(INT_PTR index) { return m_items[Checked(index)]; }
  const TYPE& ElementAt(INT_PTR index) const { return m_items[Checked(index)]; }
  void SetAt(INT_PTR index, ARG_TYPE element) { m_items[Checked(index)] = element; }
  const TYPE& operator[](INT_PTR index) const { return GetAt(index); }
  TYPE& operator[](INT_PTR index) { return ElementAt(index); }
  const TYPE* GetData() const noexcept { return m_items.empty() ? nullptr : m_items.data(); }
  TYPE* GetData() noexcept { return m_items.empty() ? nullptr : m_items.data(); }

  // Sets the element at index, growing the array (new elements value-initialised) as needed.
  void SetAtGrow(INT_PTR index, ARG_TYPE element) {
    if (index < 0) AfxThrowInvalidArgException();
    if (index < GetSize()) {
      m_items[static_cast<size_t>(index)] = element;
      return;
    }
    TYPE copy(element);  // element may live in this array
    if (static_cast<size_t>(index) >= m_items.max_size()) AfxThrowMemoryException();
    SetSize(index + 1);
    m_items[static_cast<size_t>(index)] = std::move(copy);
  }
  INT_PTR Add(ARG_TYPE element) {
    INT_PTR index = GetSize();
    SetAtGrow(index, element);
    return index;
  }
  INT_PTR Append(const CArray& other) {
    INT_PTR oldSize = GetSize();
    if (this == &other) {
      CArray copy(other);
      return Append(copy);
    }
    AfxThrowMemoryOnAllocFailure([&] {
      Reserve(m_items.size() + other.m_items.size());
      m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
    });
    return oldSize;
  }
  void Copy(const CArray& other) {
    if (this != &other) AfxThrowMemoryOnAllocFailure([&] { m_items = other.m_items; });
  }
  // Inserts count copies of element before index; an index past the end grows the array.
  // The room is reserved first, so that running out of memory leaves the array as it was.
  void InsertAt(INT_PTR index, ARG_TYPE element, INT_PTR count = 1) {
    if (index < 0 || count < 0) AfxThrowInvalidArgException();
    TYPE copy(element);
    const size_t start = std::max(static_cast<size_t>(index), m_items.size());
    AfxThrowMemoryOnAllocFailure([&] {
      Reserve(start + static_cast<size_t>(count));
      if (static_cast<size_t>(index) > m_items.size()) m_items.resize(static_cast<size_t>(index));
      m_items.insert(m_items.begin() + index, static_cast<size_t>(count), copy);
    });
  }
  void RemoveAt(INT_PTR index, INT_PTR count = 1) {
    // Compared without adding, which could overflow for a huge count.
    if (index < 0 || count < 0 || index > GetSize() || count > GetSize() - index)
      AfxThrowInvalidArgException();
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
  }

 private:
  size_t Checked(INT_PTR index) const {
    if (index < 0 || index >= GetSize()) AfxThrowInvalidArgException();
    return static_cast<size_t>(index);
  }
  // Grows geometrically so that appending one element at a time stays linear. When the
  // generous size cannot be had (a huge growth step, memory nearly exhausted), the exact size
  // may still fit.
  void Reserve(size_t wanted) {
    const size_t capacity = m_items.capacity();
    if (wanted <= capacity) return;
    const size_t step = m_growBy > 0 ? static_cast<size_t>(m_growBy) : 4;
    const size_t grown =
        capacity + std::min(std::max(step, capacity / 2), m_items.max_size() - capacity);
    if (grown > wanted) {
      try {
        m_items.reserve(grown);
        return;
      } catch (const std::bad_alloc&) {
      }
    }
    m_items.reserve(wanted);
  }

  std::vector<TYPE> m_items;
  INT_PTR m_growBy = 0;
};

class PLINTH_API CStringArray : public CArray<CString, const CString&> {
 public:
  CStringArray();
  ~CStringArray() override;
};

class PLINTH_API CByteArray : public CArray<BYTE, BYTE> {
 public:
  CByteArray();
  ~CByteArray() override;
};
