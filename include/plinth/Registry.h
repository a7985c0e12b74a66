#pragma once
// CRegistry: reads, writes and deletes registry values and keys below a parent key, creates
// key paths, counts a key's entries, and walks a key's tree reporting values and keys to two
// virtual callbacks. Most operations exist as a static member taking the parent key last and
// as a const member passing the object's own key.
//
// Handles: the object never closes its key by itself, but some operations close the parent
// key they are given (LoadKey on success with closeKey set and always when the data read
// fails; SaveKey always once the subkey was created; DeleteKey with a value name once the
// subkey was opened; a tree walk closes every key it walks, the start key included, also when
// a callback throws). Pass predefined root keys, or a key you are done with.
//
// The value name "(Default)" (any letter case; m_strDefaultKey, string resource 29093), the
// empty name and a null name address a key's unnamed default value in LoadKey and SaveKey.
// DeleteKey passes its name on unchanged. A null subkey path stands for the parent key itself,
// as the empty path does. m_strDefaultKey and mapTopKeys are filled while the library loads,
// so "(Default)" is understood before the first object exists and no thread ever races to fill
// them; the constructors still load the name should it be empty.
//
//   CRegistry reg;                                  // HKEY_CURRENT_USER
//   CString text;
//   reg.LoadKey("Software\\Example", "(Default)", text, false);   // the unnamed value

#include <plinth/Export.h>
#include <plinth/RegVal.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/Map.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <type_traits>

class PLINTH_API CRegistry {
  template <class T>
  using IfDistinctDword =
      std::enable_if_t<std::is_same<T, DWORD>::value && !std::is_same<DWORD, unsigned long>::value>;

 public:
  CRegistry(HKEY key = HKEY_CURRENT_USER);
  CRegistry(const CRegistry& source);
  CRegistry& operator=(const CRegistry& source);
  virtual ~CRegistry();

  HKEY SetKey(HKEY key);
  HKEY GetKey() const;
  bool Connect(const char* machine, HKEY key);

  static bool LoadKey(const char* subkey, const char* name, CRegVal& value, HKEY key,
                      bool closeKey);
  static bool SaveKey(const char* subkey, const char* name, const CRegVal& value, HKEY key);
  static bool DeleteKey(const char* subkey, const char* name, HKEY key);
  static bool HasEntries(const char* subkey, unsigned long* subkeys, unsigned long* values,
                         HKEY key);

  bool LoadKey(const char* subkey, const char* name, CRegVal& value, bool closeKey) const;
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

  bool SaveKey(const char* subkey, const char* name, const CRegVal& value) const;
  bool SaveKey(const char* subkey, const char* name, unsigned char* const bytes,
               unsigned long count) const;
  bool SaveKey(const char* subkey, const char* name, const unsigned long& number) const;
  bool SaveKey(const char* subkey, const char* name, const char* text) const;
  bool SaveKey(const char* subkey, const char* name, const CStringArray& strings) const;

  bool DeleteKey(const char* subkey, const char* name) const;
  bool HasEntries(const char* subkey, unsigned long* subkeys, unsigned long* values) const;
  template <class T, class = IfDistinctDword<T>>
  bool HasEntries(const char* subkey, T* subkeys, T* values) const {
    unsigned long wideSubkeys = 0, wideValues = 0;
    bool any = HasEntries(subkey, &wideSubkeys, &wideValues);
    if (subkeys) *subkeys = static_cast<DWORD>(wideSubkeys);
    if (values) *values = static_cast<DWORD>(wideValues);
    return any;
  }

  // "HKEY_LOCAL_MACHINE\SOFTWARE\X" -> the handle and "SOFTWARE\X"; non-zero when the root
  // name (spelled out in full, any case) is known.
  static int GetKeysFromString(const CString& text, HKEY& key, CString& subkey);
  // The lower-case root name of a predefined key ("hkey_current_user").
  static bool GetStringFromKey(HKEY key, CString& name);

  // The virtual members are declared in the documented slot order: destructor, OnValueHit,
  // SetOnValueHitData, OnKeyHit, SetOnKeyHitData, CreateKey.
  //
  // Tree walk. flags: 0x1 reports values, 0x2 reports keys. Without a path the walk starts at
  // the object's key with the walk path "HKEY_LOCAL_MACHINE" (and closes that key at its end).
  // Depth first: a key's values, then each subkey reported and walked before the next one.
  // A key whose metrics (RegQueryInfoKeyA) cannot be read is passed over as if empty: closed,
  // nothing reported, the walk goes on. An index that fails to enumerate with an error other
  // than ERROR_NO_MORE_ITEMS is skipped while it lies below the count the metrics gave; a
  // failure at or past that count ends that enumeration, so a handle that fails everywhere
  // still ends its walk. Name buffers hold at least 260 characters whatever the metrics say.
  // The CRegVal handed to OnValueHit has the size of the value read; its buffer may be larger
  // and is reused for the next value, so copy from it, never assign to it.
  bool RegistryTreeWalk(const char* path, bool recurse, unsigned int flags);
  virtual bool OnValueHit(const char* path, const char* name, CRegVal& value,
                          unsigned short level, void* data);
  virtual void SetOnValueHitData(void* data);
  virtual bool OnKeyHit(HKEY key, const char* path, const char* name, unsigned short level,
                        void* data);
  virtual void SetOnKeyHitData(void* data);
  // Creates each key along the path below the object's key, left to right.
  virtual bool CreateKey(const CString& path);

  static CMapStringToPtr mapTopKeys;
  static CString m_strDefaultKey;

 protected:
  bool RegTreeWalk(const char* path, HKEY key, unsigned int flags, unsigned short level,
                   bool recurse);

 private:
  static void InitKeyMap();

  HKEY m_hKey;
  void* m_pOnKeyHitData;
  void* m_pOnValueHitData;
};
