// Paths and command lines with CKaPath, folder listings with CKaFileFind, and %NAME%
// references with CKaEnvVar.
#include <plinth/Plinth.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

int main() {
  // Path text: nothing here looks at the disk.
  CString program, arguments;
  CKaPath::SplitCommand("\"C:\\Program Files\\Viewer\\viewer.exe\" -n notes.txt", program,
                        arguments);
  std::printf("program '%s', arguments '%s'\n", program.GetString(), arguments.GetString());
  std::printf("base name '%s', without extension '%s', extension '%s'\n",
              CKaPath::Basename(program, false).GetString(),
              CKaPath::Basename(program, true).GetString(),
              CKaPath::GetExtension(program).GetString());
  std::printf("joined '%s', fixed '%s'\n",
              CKaPath::ConcatenatePath("C:\\data\\", "\\report.txt", "\\").GetString(),
              CKaPath::FixFilename("Q1: sales/costs?", false).GetString());

  // A scratch folder with three files and a subfolder, to list.
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "plinth-guide-files";
  fs::remove_all(folder);
  fs::create_directories(folder / "old");
  for (const char* name : {"a.txt", "B.TXT", "c.log", "old/d.txt"})
    std::ofstream(folder / name) << "x\n";

  // Windows wildcard rules: letters match without regard to case. Order is the file system's.
  CKaFileFind finder;
  CStringArray found;
  finder.FindFilesRecursive(folder.string().c_str(), "*.txt", found, true, false);
  std::vector<std::string> names;
  for (int i = 0; i < found.GetSize(); ++i)
    names.push_back(CKaPath::Basename(found[i], false).GetString());
  std::sort(names.begin(), names.end());
  std::printf("%d text files:", static_cast<int>(found.GetSize()));
  for (const std::string& name : names) std::printf(" %s", name.c_str());
  std::printf("\n");
  fs::remove_all(folder);

  // Names match without regard to case; unknown references stay as written.
  _putenv("GUIDE_DATA=/srv/plinth-guide");
  CKaString expanded, collapsed;
  CKaEnvVar::Expand("%guide_data%/in and %GUIDE_MISSING%", expanded);
  std::printf("expanded '%s'\n", expanded.GetString());
  if (CKaEnvVar::Collapse("/srv/plinth-guide/out", collapsed) == S_OK)
    std::printf("collapsed '%s'\n", collapsed.GetString());
  return 0;
}
