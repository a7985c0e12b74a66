// CRegVal's text forms on arbitrary input, for every type 0 to 11: the text constructor,
// formatting with every flag, cleaning with every flag, and the getters, on values built from
// text and on values holding the input's bytes as they stand (short numbers, unterminated
// strings and lists). Checked: a value has no data exactly when its size is 0, and what
// formatting writes reads back as the same bytes (byte family), the same text (strings) or the
// same number.
//
// Input: byte 0 picks the code page (odd: Shift-JIS, so double-byte characters come into play);
// the rest is the text, and also the raw bytes of a value.
#include <plinth/RegVal.h>
#include <plinth/win32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Check(bool condition, const char* what, unsigned long type) {
  if (!condition) {
    std::fprintf(stderr, "CRegVal invariant broken: %s (type %lu)\n", what, type);
    std::abort();
  }
}

std::string Bytes(const CRegVal& value) {
  const unsigned char* data = value.GetRawData();
  return data ? std::string(reinterpret_cast<const char*>(data), value.GetSize()) : std::string();
}

void CheckEmptiness(const CRegVal& value, unsigned long type) {
  Check((value.GetSize() == 0) == (value.GetRawData() == nullptr), "size 0 iff no data", type);
}

void Exercise(CRegVal& value, unsigned long type) {
  CheckEmptiness(value, type);
  unsigned long number = 0;
  const char* pointer = nullptr;
  CString text;
  CStringArray list;
  std::string copy(value.GetSize() + 1, '\0');
  unsigned char* destination = reinterpret_cast<unsigned char*>(&copy[0]);
  const bool gotNumber = value.GetValue(number);
  if (value.GetValue(pointer) && pointer)
    Check(std::memchr(value.GetRawData(), '\0', value.GetSize()) != nullptr,
          "a text pointer only to a terminated buffer", type);
  const bool gotText = value.GetValue(text);
  value.GetValue(list);
  value.GetValue(destination, value.GetSize());

  const CString forms[] = {value.GetFormattedValue(false, false), value.GetFormattedValue(true, false),
                           value.GetFormattedValue(false, true), value.GetFormattedValue(true, true)};
  for (const CString& form : forms)
    for (int flags = 0; flags < 4; ++flags)
      CRegVal::GetUnformattedValue(form, type, flags & 1, flags & 2);

  const unsigned long family = value.GetType();
  if (family == REG_BINARY || family == REG_RESOURCE_LIST || family == REG_FULL_RESOURCE_DESCRIPTOR) {
    for (int wrap = 0; wrap < 2; ++wrap) {
      const CRegVal rebuilt(forms[wrap * 2], family);
      Check(Bytes(rebuilt) == Bytes(value), "byte list reads back as the same bytes", type);
      Check(rebuilt.GetType() == (value.GetSize() ? REG_BINARY : family), "rebuilt byte type",
            type);
    }
  } else if (gotText) {
    const CRegVal rebuilt(forms[0], family);
    CString again;
    Check(rebuilt.GetValue(again) && again == text, "string reads back as itself", type);
  } else if (gotNumber) {
    const CRegVal rebuilt(forms[0], family);
    unsigned long again = 0;
    Check(rebuilt.GetValue(again) && again == number, "number reads back as itself", type);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1 << 16) return 0;
  const int saved = _getmbcp();
  _setmbcp(data[0] & 1 ? 932 : 0);
  // The text as a C string, and as a list block closed by two NULs.
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string block = input + std::string(2, '\0');

  for (unsigned long type = 0; type <= 11; ++type) {
    CRegVal fromText(block.c_str(), type);
    Exercise(fromText, type);
    Check(fromText.GetType() != REG_NONE || fromText.GetSize() == 0, "REG_NONE from text", type);

    CRegVal raw;
    std::string bytes = input;
    raw.SetValue(reinterpret_cast<unsigned char*>(&bytes[0]), static_cast<unsigned long>(bytes.size()));
    raw.SetType(type);
    Exercise(raw, type);

    CRegVal copy;
    copy = raw;
    Check(Bytes(copy) == Bytes(raw) && copy.GetType() == raw.GetType(), "copy", type);
  }
  CRegVal fromNull(static_cast<const char*>(nullptr), data[0] % 12u);
  CheckEmptiness(fromNull, data[0] % 12);
  _setmbcp(saved);
  return 0;
}
