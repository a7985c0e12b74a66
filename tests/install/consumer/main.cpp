// Builds against the installed headers only: the umbrella header pulls in every public one, so
// a header left out of the install, or one that needs a private header, fails here.
#include <plinth/Plinth.h>

#include <cstdio>
#include <cstring>

int main() {
  CKaString text("colour, Colour, COLOUR");
  int replaced = text.FindReplaceNoCase("colour", "color", true);
  if (replaced != 3 || std::strcmp(text.GetString(), "color, color, color") != 0) {
    std::printf("unexpected: %d '%s'\n", replaced, text.GetString());
    return 1;
  }
  if (text.ReverseFind("color", -1) != 14) {
    std::printf("unexpected ReverseFind: %d\n", text.ReverseFind("color", -1));
    return 1;
  }
  std::printf("%s\n", text.GetString());
  return 0;
}
