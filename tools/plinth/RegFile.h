#pragma once
// The registry editor's file format: reading a whole file into sections of values, and writing
// keys and values in a form that reads back to the same bytes. No registry call happens here,
// so the reader can be fuzzed on its own and a broken file is refused before anything is
// changed.
//
// Written (REGEDIT4, bytes as the store holds them, CR LF line ends):
//     REGEDIT4
//     <blank>
//     [HKEY_CURRENT_USER\Software\Example]
//     @="default"                       the unnamed default value
//     "Colour"="blue"                   REG_SZ whose bytes are exactly text + one NUL, and the
//                                       text holds no NUL, CR or LF
//     "Count"=dword:0000002a            REG_DWORD of exactly 4 bytes
//     "Blob"=hex:01,02,ff               REG_BINARY
//     "Path"=hex(2):25,00               any other type or shape: hex(N) with N in hexadecimal
//     <blank>                           between sections and at the end
//
// Quoted names and strings escape \ as \\ and " as \"; a CR or LF in a value NAME is written
// \r or \n (data holding them goes to hex(1):). Key names cannot hold a backslash, so a key
// path never has two in a row: in a section header \\n stands for a LF and \\r for a CR inside
// a key name. The header ends at the last "]" of its line, so "]" needs no escape. Byte lists
// wrap before column 80 with a trailing backslash and two blanks on the next line.
//
// Read: the same, with LF or CR LF line ends, blank lines and lines starting with ";" ignored,
// "[-KEY]" deleting a key tree and "NAME"=- deleting a value, one or two hexadecimal digits per
// byte and blanks around "=" and ",". A UTF-16LE file with a byte-order mark (as written by
// "Windows Registry Editor Version 5.00") is converted to the process code page first, and
// under that header the data of hex(1), hex(2) and hex(7) (UTF-16 on such systems) too.

#include <plinth/win32.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace plinth_regfile {

struct RegFileValue {
  std::string name;     // empty: the default value
  bool remove = false;  // "NAME"=-
  DWORD type = REG_NONE;
  std::string data;
  std::size_t line = 0;  // where the value starts, from 1
};

struct RegFileSection {
  std::string path;     // as written, root name included, escapes resolved
  bool remove = false;  // [-KEY]
  std::size_t line = 0;
  std::vector<RegFileValue> values;
};

// A malformed file; what() says what is wrong and how to write it instead.
class RegFileError : public std::runtime_error {
 public:
  RegFileError(std::size_t line, const std::string& message)
      : std::runtime_error(message), line_(line) {}
  std::size_t line() const { return line_; }

 private:
  std::size_t line_;
};

// Parses a whole file. Throws RegFileError on the first malformed line.
std::vector<RegFileSection> ParseRegFile(const std::string& bytes);

// Appends the header line ("REGEDIT4" and CR LF).
void AppendRegFileHeader(std::string& out);
// Appends a blank line and the section header for path (root name, backslash, subkeys).
void AppendRegFileSection(std::string& out, const std::string& path);
// Appends one value line (with its continuation lines).
void AppendRegFileValue(std::string& out, const char* name, std::size_t nameLength, DWORD type,
                        const unsigned char* data, std::size_t size);
// Appends the blank line that ends the file.
void AppendRegFileEnd(std::string& out);

}  // namespace plinth_regfile
