// Byte strings: searching, replacing, fields, quoting and hexadecimal byte text.
#include <plinth/Plinth.h>

#include <cstdio>

int main() {
  // Positions are 0-based byte offsets; -1 means "not found".
  CKaString text("Colour, colour and COLOUR");
  std::printf("Find: %d, FindNoCase from 1: %d, ReverseFind: %d\n", text.Find("colour"),
              text.FindNoCase("COLOUR", 1), text.ReverseFind("our"));

  // Replaced text is never searched again; the result is the number of replacements.
  int count = text.FindReplaceNoCase("colour", "color", true);
  std::printf("%d replaced: %s\n", count, text.GetString());

  // Several pairs in one left-to-right pass: at each position the first listed pair wins.
  CKaString swap("tea or coffee");
  CStringArray finds, replacements;
  finds.Add("tea");
  replacements.Add("coffee");
  finds.Add("coffee");
  replacements.Add("tea");
  count = swap.FindReplaceArray(finds, replacements);
  std::printf("%d swapped: %s\n", count, swap.GetString());

  // Fields are cut at every delimiter, so empty fields count too.
  CKaString row("id,name,,city");
  std::printf("%d fields, field 1 '%s', field 2 '%s'\n", row.GetFieldCount(','),
              row.GetField(',', 1).GetString(), row.GetField(',', 2).GetString());
  CKaString tagged("<a><b>");
  std::printf("second delimited field: %s\n", tagged.GetDelimitedField("<", ">", 1).GetString());

  // Quote adds the quotes only when they are not there already.
  CKaString path("C:\\Program Files\\App");
  path.Quote('"').Quote('"');
  std::printf("quoted: %s\n", path.GetString());
  path.Unquote('"');
  std::printf("unquoted: %s\n", path.GetString());

  // Bytes to hexadecimal text and back.
  unsigned char data[] = {0x01, 0xab, 0xff};
  CKaString hex = CKaString::ConvertBinaryToString(data, sizeof data, ",", 0);
  std::printf("hex: %s\n", hex.GetString());
  // ConvertToBinary removes the separators from the object itself before it reads the pairs.
  CByteArray bytes;
  long result = hex.ConvertToBinary(",", bytes);
  std::printf("read back: %d bytes, %s, text now %s\n", static_cast<int>(bytes.GetSize()),
              result == S_OK ? "S_OK" : "E_FAIL", hex.GetString());
  return 0;
}
