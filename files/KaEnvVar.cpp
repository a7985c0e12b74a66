// CKaEnvVar: %NAME% references. Expand reads each variable with the two-call size protocol;
// Collapse reads the whole environment block once.

#include <plinth/KaEnvVar.h>
#include <plinth/win32.h>

#include <vector>

CKaEnvVar::~CKaEnvVar() = default;

long CKaEnvVar::Expand(const CKaString& text, CKaString& out) {
  out.Empty();
  const int length = text.GetLength();
  if (length == 0) return S_OK;
  const char* bytes = text.GetString();
  std::vector<char> value;
  int i = 0;
  while (i < length) {
    // Plain text up to the next percent sign goes over in one piece.
    int percent = text.Find('%', i);
    if (percent < 0) percent = length;
    if (percent > i) out.Append(bytes + i, percent - i);
    if (percent >= length) break;
    const int closing = text.Find('%', percent + 1);
    if (closing < 0) {
      out.Append(bytes + percent, length - percent);
      break;
    }
    const CString name(bytes + percent + 1, closing - percent - 1);
    DWORD copied = 0;
    const DWORD needed = name.IsEmpty() ? 0 : GetEnvironmentVariableA(name, nullptr, 0);
    if (needed > 0) {
      value.assign(needed, '\0');
      copied = GetEnvironmentVariableA(name, value.data(), needed);
      // The variable may have grown between the two calls; a changing value is not expanded.
      if (copied >= needed) copied = 0;
    }
    if (copied == 0) {
      out.Append(bytes + percent, closing - percent + 1);
    } else {
      out.Append(value.data(), static_cast<int>(copied));
    }
    i = closing + 1;
  }
  return S_OK;
}

long CKaEnvVar::Collapse(const CKaString& text, CKaString& out) {
  long result = E_FAIL;
  char* block = GetEnvironmentStrings();
  if (block == nullptr) return result;
  int bestLength = 0;
  for (const char* entry = block; *entry != '\0';) {
    const CString line(entry);
    entry += line.GetLength() + 1;
    const int equals = line.Find('=');
    // No "=", or an empty name (the per-drive folders of Windows).
    if (equals <= 0) continue;
    const int valueLength = line.GetLength() - equals - 1;
    if (valueLength <= bestLength) continue;
    const CString value = line.Mid(equals + 1);
    if (text.FindNoCase(value, 0) != 0) continue;
    CKaString collapsed(text);
    const CString reference = "%" + line.Left(equals) + "%";
    collapsed.FindReplaceNoCase(value, reference, true);
    out = collapsed;
    bestLength = valueLength;
    result = S_OK;
  }
  FreeEnvironmentStringsA(block);
  return result;
}
