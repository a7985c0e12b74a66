// Registry values and keys with CRegistry and CRegVal, and a walk of a key's tree.
#include <plinth/Plinth.h>

#include <cstdio>

// A tree walk reports to two virtual callbacks; either one stops the walk by returning false.
class CTreePrinter : public CRegistry {
 public:
  bool OnKeyHit(HKEY, const char* path, const char* name, unsigned short level, void*) override {
    // The start key comes first, with a null name and its full path.
    std::printf("%*s[%s]\n", 2 * (name ? level + 1 : 0), "", name ? name : path);
    return true;
  }
  bool OnValueHit(const char*, const char* name, CRegVal& value, unsigned short level,
                  void*) override {
    // The value belongs to the walk and its buffer is reused: read it, never keep or assign it.
    // The one-line form joins a list's strings with nothing between them.
    std::printf("%*s%s = %s\n", 2 * (level + 1), "", *name ? name : "@",
                value.GetFormattedValue(true, false).GetString());
    return true;
  }
};

int main() {
  CRegistry reg;  // works below HKEY_CURRENT_USER
  const char* viewer = "Software\\Plinth Guide\\Viewer";

  // SaveKey creates the key path as needed; "(Default)" names the key's unnamed value.
  reg.SaveKey(viewer, "(Default)", "Plinth Viewer");
  reg.SaveKey(viewer, "WindowWidth", 800ul);
  CStringArray recent;
  recent.Add("notes.txt");
  recent.Add("todo.txt");
  reg.SaveKey("Software\\Plinth Guide\\Viewer\\Recent", "Files", recent);
  unsigned char colour[] = {0x20, 0x40, 0x80};
  reg.SaveKey("Software\\Plinth Guide\\Viewer\\Colours", "Background", colour, sizeof colour);
  CRegVal temp;
  temp.SetValue("%TEMP%\\viewer", true);  // REG_EXPAND_SZ
  reg.SaveKey(viewer, "Cache", temp);

  // Typed reads succeed only for a matching type: a string is no number.
  unsigned long width = 0;
  CString title;
  bool numberFromText = reg.LoadKey(viewer, "(Default)", width, false);
  if (reg.LoadKey(viewer, "WindowWidth", width, false) && reg.LoadKey(viewer, "", title, false))
    std::printf("%s, %lu wide (title read as a number: %s)\n", title.GetString(), width,
                numberFromText ? "yes" : "no");

  unsigned long subkeys = 0, values = 0;
  reg.HasEntries(viewer, &subkeys, &values);
  std::printf("Viewer has %lu subkeys and %lu values\n", subkeys, values);

  CTreePrinter walker;  // 0x1 reports values, 0x2 keys; true walks the whole tree
  bool complete = walker.RegistryTreeWalk("Software\\Plinth Guide", true, 0x1 | 0x2);

  // A null value name deletes the key with everything below it.
  bool deleted = reg.DeleteKey("Software\\Plinth Guide", nullptr);
  std::printf("walk complete: %d, tree deleted: %d\n", complete, deleted);
  return complete && deleted ? 0 : 1;
}
