#pragma once
/// \file
/// CRegistry: registry values and keys below a parent key, root-key names and the tree walk.

#include <plinth/Export.h>
#include <plinth/RegVal.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/Map.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <type_traits>

/// Reads, writes and deletes registry values and keys below a parent key, creates key paths,
/// counts a key's entries, and walks a key's tree reporting values and keys to two virtual
/// callbacks.
///
/// Most operations exist as a static member taking the parent key last and as a const member
/// passing the object's own key. Every operation reports failure by its result (false or 0)
/// and throws nothing of its own; the registry's error code is not passed on. Exceptions that
/// pass through: CMemoryException* when a value's buffer cannot be allocated, and whatever a
/// tree-walk callback throws (the walked keys are closed on the way out).
///
/// Handles: the object never closes its key by itself, but some operations close the parent
/// key they are given (LoadKey on success with closeKey set and always when the data read
/// fails; SaveKey always once the subkey was created; DeleteKey with a value name once the
/// subkey was opened; a tree walk closes every key it walks, the start key included, also when
/// a callback throws). Pass predefined root keys, or a key you are done with.
///
/// The value name "(Default)" (any letter case; #m_strDefaultKey, string resource 29093), the
/// empty name and a null name address a key's unnamed default value in LoadKey and SaveKey.
/// DeleteKey passes its name on unchanged. A null subkey path stands for the parent key itself,
/// as the empty path does. #m_strDefaultKey and #mapTopKeys are filled while the library loads,
/// so "(Default)" is understood before the first object exists and no thread ever races to fill
/// them; the constructors still load the name should it be empty. There is no locking
/// otherwise: share an object between threads only with your own.
///
/// \code
///   CRegistry reg;                                  // HKEY_CURRENT_USER
///   CString text;
///   reg.LoadKey("Software\\Example", "(Default)", text, false);   // the unnamed value
/// \endcode
class PLINTH_API CRegistry {
  template <class T>
  using IfDistinctDword =
      std::enable_if_t<std::is_same<T, DWORD>::value && !std::is_same<DWORD, unsigned long>::value>;

 public:
  /// Works below key; both callback data pointers start null.
  CRegistry(HKEY key = HKEY_CURRENT_USER);
  /// The same key, but no callback data: the data belongs to the object it was handed to.
  CRegistry(const CRegistry& source);
  /// Copies the key and both callback data pointers.
  CRegistry& operator=(const CRegistry& source);
  /// Does nothing: the object's key is never closed by its destruction.
  virtual ~CRegistry();

  /// Makes key the object's key. \return the previous key, which is not closed.
  HKEY SetKey(HKEY key);
  /// The key the member operations work below.
  HKEY GetKey() const;
  /// Connects to the predefined key of the named machine (null: this machine) and makes the
  /// result the object's key. \return true on success; false on failure (on POSIX every named
  /// machine other than this one), and the previous key is kept. It is never closed.
  bool Connect(const char* machine, HKEY key);

  /// Reads the value name of subkey below key into value (type, and a buffer of the stored size;
  /// a value stored with no bytes reads as one zero byte, size 1).
  /// \return true when the value was read; false when the subkey cannot be opened or the value
  /// does not exist (value unchanged), or the data read fails (value left without data).
  /// Closes key on success when closeKey is set, and always when the data read fails.
  static bool LoadKey(const char* subkey, const char* name, CRegVal& value, HKEY key,
                      bool closeKey);
  /// Writes value (its type, buffer and size exactly as held) as the value name of subkey below
  /// key, creating subkey and the keys on its path when missing.
  /// \return true when the value was written; false when subkey cannot be created or opened
  /// (key stays open) or the write fails. Closes key whenever the subkey was created or opened.
  static bool SaveKey(const char* subkey, const char* name, const CRegVal& value, HKEY key);
  /// With a name, deletes that value of subkey (the name is passed on unchanged: "(Default)" is
  /// an ordinary name here) and closes key. With a null name, deletes subkey and everything
  /// below it, deepest keys first, and leaves key open.
  /// \return true when the deletion succeeded; false when subkey cannot be opened for reading
  /// and writing, the value does not exist, or a key of the subtree cannot be deleted (what was
  /// deleted before stays deleted).
  static bool DeleteKey(const char* subkey, const char* name, HKEY key);
  /// Counts the direct subkeys and the values of subkey; each non-null output receives its
  /// count, and 0 when subkey cannot be opened or queried. key stays open.
  /// \return true when either count is non-zero.
  static bool HasEntries(const char* subkey, unsigned long* subkeys, unsigned long* values,
                         HKEY key);

  /// The static LoadKey(subkey, name, value, GetKey(), closeKey).
  bool LoadKey(const char* subkey, const char* name, CRegVal& value, bool closeKey) const;
  /// Typed reads: the value as LoadKey reads it, then the matching CRegVal::GetValue getter
  /// (numbers: REG_DWORD and REG_DWORD_BIG_ENDIAN, never byte-swapped; bytes: REG_BINARY,
  /// REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR into the caller's buffer, whose count must
  /// equal the stored size exactly; text: REG_SZ, REG_EXPAND_SZ, REG_LINK; string arrays:
  /// REG_MULTI_SZ). closeKey is that of LoadKey. The DWORD form takes the DWORD that host code
  /// written for Windows passes where, on LP64 systems, it is not unsigned long. A null byte
  /// buffer gives false.
  /// \return true when both the read and the getter succeed; otherwise false and the output
  /// untouched.
  ///@{
  bool LoadKey(const char* subkey, const char* name, unsigned long& number, bool closeKey) const;
  template <class T, class = IfDistinctDword<T>>
  bool LoadKey(const char* subkey, const char* name, T& number, bool closeKey) const {
    unsigned long wide = 0;
    if (!LoadKey(subkey, name, wide, closeKey)) return false;
    number = static_cast<DWORD>(wide);
    return true;
  }
  bool LoadKey(const char* subkey, const char* name, unsigned char* bytes, unsigned long count,
               bool closeKey) const;
  bool LoadKey(const char* subkey, const char* name, CString& text, bool closeKey) const;
  bool LoadKey(const char* subkey, const char* name, CStringArray& strings, bool closeKey) const;
  ///@}

  /// The static SaveKey(subkey, name, value, GetKey()); it closes the object's key once the
  /// subkey was created.
  bool SaveKey(const char* subkey, const char* name, const CRegVal& value) const;
  /// Typed writes through the static SaveKey, which closes the object's key once the subkey was
  /// created: bytes as REG_BINARY (a count of 0 writes one zero byte), a number as REG_DWORD,
  /// text as REG_SZ (null text: the empty string), a string array as REG_MULTI_SZ (empty: two
  /// NULs). For REG_EXPAND_SZ build a CRegVal with SetValue(text, true).
  /// \return true when the value was written.
  ///@{
  bool SaveKey(const char* subkey, const char* name, unsigned char* const bytes,
               unsigned long count) const;
  bool SaveKey(const char* subkey, const char* name, const unsigned long& number) const;
  bool SaveKey(const char* subkey, const char* name, const char* text) const;
  bool SaveKey(const char* subkey, const char* name, const CStringArray& strings) const;
  ///@}

  /// The static DeleteKey(subkey, name, GetKey()): with a name it closes the object's key.
  bool DeleteKey(const char* subkey, const char* name) const;
  /// The static HasEntries(subkey, subkeys, values, GetKey()). The DWORD form takes the DWORD
  /// pointers that host code written for Windows passes where, on LP64 systems, DWORD is not
  /// unsigned long.
  ///@{
  bool HasEntries(const char* subkey, unsigned long* subkeys, unsigned long* values) const;
  template <class T, class = IfDistinctDword<T>>
  bool HasEntries(const char* subkey, T* subkeys, T* values) const {
    unsigned long wideSubkeys = 0, wideValues = 0;
    bool any = HasEntries(subkey, &wideSubkeys, &wideValues);
    if (subkeys) *subkeys = static_cast<DWORD>(wideSubkeys);
    if (values) *values = static_cast<DWORD>(wideValues);
    return any;
  }
  ///@}

  /// Splits a full path: "HKEY_LOCAL_MACHINE\SOFTWARE\X" gives the handle and "SOFTWARE\X".
  /// The root name must be spelled out in full (any case; "HKLM" is not known). subkey receives
  /// the text after the first backslash even when the root is unknown, and is left unchanged
  /// when there is no backslash. A trail byte 0x5C of a double-byte character splits nothing.
  /// \return non-zero when the root name is known (key set); 0 otherwise (key unchanged).
  static int GetKeysFromString(const CString& text, HKEY& key, CString& subkey);
  /// The lower-case root name of a predefined key ("hkey_current_user").
  /// \return true for one of the seven predefined keys; false for any other handle, and then
  /// name holds no meaningful text.
  static bool GetStringFromKey(HKEY key, CString& name);

  // The virtual members are declared in the documented slot order: destructor, OnValueHit,
  // SetOnValueHitData, OnKeyHit, SetOnKeyHitData, CreateKey.

  /// Walks path below the object's key, reporting values to OnValueHit and keys to OnKeyHit.
  /// flags: 0x1 reports values, 0x2 reports keys (other bits mean nothing; with neither the walk
  /// still runs and reports nothing). With 0x2 the start key itself is reported first (null
  /// name, level 0; that result is not looked at). Without a path the walk starts at the
  /// object's key with the walk path "HKEY_LOCAL_MACHINE" (and closes that key at its end).
  /// Depth first: a key's values, then each subkey reported and walked before the next one;
  /// without recurse only the start key's values and direct subkeys. A subkey that cannot be
  /// opened is skipped after its report.
  ///
  /// A key whose metrics (RegQueryInfoKeyA) cannot be read is passed over as if empty: closed,
  /// nothing reported, the walk goes on. An index that fails to enumerate with an error other
  /// than ERROR_NO_MORE_ITEMS is skipped while it lies below the count the metrics gave; a
  /// failure at or past that count ends that enumeration, so a handle that fails everywhere
  /// still ends its walk. Name buffers hold at least 260 characters whatever the metrics say.
  /// The CRegVal handed to OnValueHit has the size of the value read; its buffer may be larger
  /// and is reused for the next value, so copy from it, never assign to it.
  /// \return false when path cannot be opened (nothing reported) or a callback returned false
  /// (the walk ends at once); true otherwise.
  bool RegistryTreeWalk(const char* path, bool recurse, unsigned int flags);
  /// Reports one value of the walk: the walk path of the key holding it, its name, the value,
  /// that key's level (0 for the start key) and the data set with SetOnValueHitData.
  /// \return true to go on, false to stop the whole walk. The default returns false.
  virtual bool OnValueHit(const char* path, const char* name, CRegVal& value,
                          unsigned short level, void* data);
  /// Stores the pointer handed to every OnValueHit.
  virtual void SetOnValueHitData(void* data);
  /// Reports one key of the walk: the open handle of the key being walked (do not close it), its
  /// full path (the root's lower-case name, a backslash and the walk path, when the object's key
  /// is a predefined one), the name of the subkey found in it, the level of the key being walked
  /// and the data set with SetOnKeyHitData. For the start key: its handle, its full path, a null
  /// name and level 0. \return true to go on, false to stop the whole walk. The default returns
  /// false.
  virtual bool OnKeyHit(HKEY key, const char* path, const char* name, unsigned short level,
                        void* data);
  /// Stores the pointer handed to every OnKeyHit.
  virtual void SetOnKeyHitData(void* data);
  /// Creates each key along the path below the object's key, left to right ("a\b" creates "a",
  /// then "a\b"), closing every handle it obtains. A trail byte 0x5C of a double-byte character
  /// splits nothing. \return true when the whole path was created or already existed; false at
  /// the first key that cannot be created (the keys before it stay).
  virtual bool CreateKey(const CString& path);

  /// The seven predefined root keys by lower-case name ("hkey_classes_root" to
  /// "hkey_dyn_data"); filled while the library loads.
  static CMapStringToPtr mapTopKeys;
  /// The display name of a key's unnamed default value, "(Default)"; set while the library
  /// loads.
  static CString m_strDefaultKey;

 protected:
  /// Walks one opened key whose walk path is path, as RegistryTreeWalk describes, and closes key
  /// on every way out (an exception from a callback included). \return false when a callback
  /// stopped the walk, else true.
  bool RegTreeWalk(const char* path, HKEY key, unsigned int flags, unsigned short level,
                   bool recurse);

 private:
  static void InitKeyMap();

  HKEY m_hKey;
  void* m_pOnKeyHitData;
  void* m_pOnValueHitData;
};
