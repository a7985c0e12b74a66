#pragma once
/// \file
/// Ordered arrays: the CArray template and the two arrays the library passes across its
/// interface, CStringArray and CByteArray.

#include <plinth/afx/Exception.h>
#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

/// An ordered array of TYPE elements, indexed from 0, passed to its members as ARG_TYPE.
///
/// The elements lie contiguously; a reference or pointer to one (GetData, ElementAt,
/// `operator[]`) stays valid until the array is resized, grown, inserted into or removed from.
///
/// Errors are thrown by pointer, to be caught as `CException*` and released with `Delete()`:
/// - an index outside the array throws CInvalidArgException*, as each member states;
/// - exhausted memory throws CMemoryException* (any member not marked noexcept that may
///   allocate, the copy constructor and assignment included).
///
/// SetAtGrow at the current size appends; SetSize(0, -1) empties.
///
/// Choices made where the behaviour is open:
/// - Elements that an array grows by (SetSize, SetAtGrow, InsertAt past the end) are
///   value-initialised: zero for bytes and other scalars, empty for strings.
/// - The array grows geometrically, by half its capacity and at least by the growth step
///   (4 when none is set), so that appending one element at a time stays linear.
/// - An element passed by reference may be one of this array's own.
template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray : public CObject {
 public:
  /// An empty array with the default growth step; allocates nothing.
  CArray() = default;
  /// A copy of other's elements and growth step.
  CArray(const CArray& other) : CObject(), m_growBy(other.m_growBy) { Copy(other); }
  /// Replaces the elements with copies of other's; the growth step stays this array's.
  /// Self-assignment changes nothing.
  CArray& operator=(const CArray& other) {
    if (this != &other) Copy(other);
    return *this;
  }
  /// Destroys the elements.
  ~CArray() override = default;

  /// The number of elements.
  INT_PTR GetSize() const noexcept { return static_cast<INT_PTR>(m_items.size()); }
  /// The number of elements, as GetSize().
  INT_PTR GetCount() const noexcept { return GetSize(); }
  /// The index of the last element: GetSize() - 1, so -1 when the array is empty.
  INT_PTR GetUpperBound() const noexcept { return GetSize() - 1; }
  /// Whether the array has no elements.
  bool IsEmpty() const noexcept { return m_items.empty(); }

  /// Makes the array newSize elements long: elements past newSize are destroyed, new ones
  /// are value-initialised (zero for bytes). growBy 0 or more sets the growth step (0:
  /// automatic); growBy -1 (any negative value) keeps the current growth step. The memory
  /// is kept when the array shrinks (FreeExtra returns it).
  /// \throws CInvalidArgException* when newSize is negative.
  void SetSize(INT_PTR newSize, INT_PTR growBy = -1) {
    if (newSize < 0) AfxThrowInvalidArgException();
    if (growBy >= 0) m_growBy = growBy;
    AfxThrowMemoryOnAllocFailure([&] {
      if (static_cast<size_t>(newSize) > m_items.capacity()) Reserve(static_cast<size_t>(newSize));
      m_items.resize(static_cast<size_t>(newSize));
    });
  }
  /// Destroys every element; the array keeps its memory (FreeExtra returns it).
  void RemoveAll() noexcept { m_items.clear(); }
  /// Returns the memory beyond the current elements.
  void FreeExtra() {
    AfxThrowMemoryOnAllocFailure([&] { m_items.shrink_to_fit(); });
  }

  /// The element at 0 <= index < GetSize(); the reference stays valid until the array
  /// changes size.
  /// \throws CInvalidArgException* for an index outside the array.
  const TYPE& GetAt(INT_PTR index) const { return m_items[Checked(index)]; }
  /// The element at 0 <= index < GetSize(), writable; valid until the array changes size.
  /// \throws CInvalidArgException* for an index outside the array.
  TYPE& GetAt(INT_PTR index) { return m_items[Checked(index)]; }
  /// The element at 0 <= index < GetSize(), writable; valid until the array changes size.
  /// \throws CInvalidArgException* for an index outside the array.
  TYPE& ElementAt(INT_PTR index) { return m_items[Checked(index)]; }
  /// The element at 0 <= index < GetSize(); valid until the array changes size.
  /// \throws CInvalidArgException* for an index outside the array.
  const TYPE& ElementAt(INT_PTR index) const { return m_items[Checked(index)]; }
  /// Replaces the element at 0 <= index < GetSize(); it never grows the array (SetAtGrow
  /// does).
  /// \throws CInvalidArgException* for an index outside the array.
  void SetAt(INT_PTR index, ARG_TYPE element) { m_items[Checked(index)] = element; }
  /// The element at 0 <= index < GetSize(), as GetAt; never grows the array.
  /// \throws CInvalidArgException* for an index outside the array.
  const TYPE& operator[](INT_PTR index) const { return GetAt(index); }
  /// The element at 0 <= index < GetSize(), writable, as ElementAt; never grows the array.
  /// \throws CInvalidArgException* for an index outside the array.
  TYPE& operator[](INT_PTR index) { return ElementAt(index); }
  /// The elements as one contiguous block, or null when the array is empty. The pointer
  /// stays valid until the array changes size or its memory changes (FreeExtra).
  const TYPE* GetData() const noexcept { return m_items.empty() ? nullptr : m_items.data(); }
  /// The elements as one writable contiguous block, or null when the array is empty; valid
  /// until the array changes size or its memory changes (FreeExtra).
  TYPE* GetData() noexcept { return m_items.empty() ? nullptr : m_items.data(); }

  /// Sets the element at index, growing the array (new elements value-initialised) as needed;
  /// at index GetSize() it appends.
  /// \throws CInvalidArgException* when index is negative.
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
  /// Appends element.
  /// \return the index of the new element (the old size).
  INT_PTR Add(ARG_TYPE element) {
    INT_PTR index = GetSize();
    SetAtGrow(index, element);
    return index;
  }
  /// Appends copies of other's elements in order; other may be this array.
  /// \return the index of the first appended element (the old size).
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
  /// Replaces the elements with copies of other's; the growth step is unchanged. Copying an
  /// array onto itself changes nothing.
  void Copy(const CArray& other) {
    if (this != &other) AfxThrowMemoryOnAllocFailure([&] { m_items = other.m_items; });
  }
  /// Inserts count copies of element before index; an index past the end grows the array
  /// first (the gap value-initialised), even when count is 0. The room is reserved first, so
  /// that running out of memory leaves the array as it was.
  /// \throws CInvalidArgException* when index or count is negative.
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
  /// Removes count elements from index; the later elements move down. Removing 0 elements at
  /// index GetSize() is allowed and changes nothing.
  /// \throws CInvalidArgException* when index or count is negative, or index + count is
  ///         beyond GetSize(); the array is then unchanged.
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

/// An ordered array of strings (CArray of CString), as the library passes them across its
/// interface. New elements are empty strings; a copy of an element shares its buffer.
class PLINTH_API CStringArray : public CArray<CString, const CString&> {
 public:
  /// An empty array; allocates nothing.
  CStringArray();
  /// Destroys the strings.
  ~CStringArray() override;
};

/// An ordered array of bytes (CArray of BYTE), as the library passes them across its
/// interface. New elements are zero.
class PLINTH_API CByteArray : public CArray<BYTE, BYTE> {
 public:
  /// An empty array; allocates nothing.
  CByteArray();
  /// Releases the bytes.
  ~CByteArray() override;
};
