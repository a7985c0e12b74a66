// Automation strings with CKaBstr, and the result code the library publishes.
#include <plinth/Plinth.h>

#include <cstdio>

// The low byte of each 16-bit code unit is enough to print the ASCII text used here.
static CString Narrow(const CKaBstr& text) {
  CString out;
  for (unsigned int i = 0; i < text.Length(); ++i) out += text.GetAt(static_cast<int>(i));
  return out;
}

int main() {
  // From byte text in the process's code page, or from UTF-16 text on every platform.
  CKaBstr folder("C:\\Reports  \\");
  folder.ConcatenatePath(CKaBstr(u"\\2024\\summary.txt"));
  std::printf("path: %s (%u code units)\n", Narrow(folder).GetString(), folder.Length());

  CKaBstr name("  Quarterly  ");
  name.TrimLeft();
  name.TrimRight();
  std::printf("trimmed: '%s', equal to QUARTERLY ignoring case: %d\n", Narrow(name).GetString(),
              name.CompareNoCase(u"QUARTERLY") == 0);

  // The first n bytes only; and a GUID in registry form.
  CKaBstr prefix(3, "abcdef");
  const GUID id = {0x12345678, 0x9abc, 0xdef0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}};
  std::printf("prefix: %s, guid: %s\n", Narrow(prefix).GetString(),
              Narrow(CKaBstr(id)).GetString());

  // Result codes are HRESULT-style longs: negative on failure on every platform.
  long hr = HR_DUPLICATE_NAME;
  std::printf("HR_DUPLICATE_NAME 0x%08lX, failure: %d\n",
              static_cast<unsigned long>(hr) & 0xFFFFFFFFul, hr < 0);
  return 0;
}
