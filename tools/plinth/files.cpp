// plinth path …, plinth find … and plinth env …: CKaPath's text operations, CKaFileFind's
// listings and CKaEnvVar's references from a shell. Paths are printed one per line, as the
// library gives them ("\" between the parts it joined).

#include <plinth/KaEnvVar.h>
#include <plinth/KaFileFind.h>
#include <plinth/KaPath.h>
#include <plinth/win32.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "IoSystem.h"
#include "Tool.h"

namespace plinth_tool {
namespace {

std::string Line(const CString& text) { return std::string(text.GetString()) + "\n"; }

void WriteLines(const std::vector<std::string>& lines) {
  Output out("-");
  for (const std::string& line : lines) out.Write(line);
  out.Commit();
}

struct FindOptions {
  std::string dir;
  std::string pattern;
  bool recurse = false;
  bool dirs = false;
  bool noFiles = false;
};

int RunFind(const FindOptions& options) {
  const DWORD attributes = GetFileAttributesA(options.dir.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    throw ToolError(DisplayName(options.dir) +
                    " does not exist or cannot be reached; give a folder");
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    throw ToolError(DisplayName(options.dir) +
                    " is a file, not a folder; give the folder it is in");
  if (!CKaPath::FileExists(options.dir.c_str()))
    throw ToolError(DisplayName(options.dir) + " cannot be read; check its permissions");

  CKaFileFind finder;
  CStringArray found;
  const CString dir = options.dir.c_str();
  const CString pattern = options.pattern.c_str();
  if (options.recurse) {
    // The library lists a tree in one call: what can be shown is that it is still at work.
    Progress progress("listing " + DisplayName(options.dir));
    progress.KeepTurning();
    finder.FindFilesRecursive(dir, pattern, found, !options.noFiles, options.dirs);
  } else {
    if (!options.noFiles) finder.FindFiles(dir, pattern, found);
    if (options.dirs && finder.Enum(dir, pattern, CKaFileFind::eDirectories)) {
      CString path;
      while (finder.GetNext(path)) found.Add(path);
    }
  }
  Output out("-");
  for (INT_PTR i = 0; i < found.GetSize() && !out.ReaderGone(); ++i) out.Write(Line(found[i]));
  out.Commit();
  return found.GetSize() > 0 ? kExitOk : kExitNothingFound;
}

void AddPathCommands(CLI::App& app, int& exitCode) {
  CLI::App* path = app.add_subcommand("path", "Path and command-line text, temporary names");
  path->require_subcommand(1);
  path->footer(
      "Give one of the commands above; 'plinth path COMMAND --help' shows its options.\n"
      "Example: plinth path basename -s 'C:\\Notes\\plan.txt'\n"
      "Exit status: that of the command; 2 when none or an unknown one is given.");

  struct PathOptions {
    std::vector<std::string> paths;
    bool strip = false;
    bool isPath = false;
    std::string commandLine;
    std::string first;
    std::string second;
    std::string separator = "\\";
    std::string prefix;
    int count = 1;
  };
  auto options = std::make_shared<PathOptions>();

  CLI::App* basename = path->add_subcommand("basename", "Print the last component of each PATH");
  basename->footer(
      "Example: plinth path basename -s 'C:\\Notes\\plan.txt'\n"
      "Exit status: 0 printed, 2 usage error.");
  basename->add_option("PATH", options->paths, "Paths ('\\' counts before '/')")->required();
  basename->add_flag("-s,--strip-extension", options->strip, "Leave out the extension too");
  basename->callback([options] {
    std::vector<std::string> lines;
    for (const std::string& p : options->paths)
      lines.push_back(Line(CKaPath::Basename(p.c_str(), options->strip)));
    WriteLines(lines);
  });

  CLI::App* ext = path->add_subcommand("ext", "Print the text after the last '.' of each PATH");
  ext->footer(
      "Prints an empty line for a PATH without an extension.\n"
      "Example: plinth path ext archive.tar.gz\n"
      "Exit status: 0 printed, 2 usage error.");
  ext->add_option("PATH", options->paths, "Paths")->required();
  ext->callback([options] {
    std::vector<std::string> lines;
    for (const std::string& p : options->paths)
      lines.push_back(Line(CKaPath::GetExtension(p.c_str())));
    WriteLines(lines);
  });

  CLI::App* split = path->add_subcommand(
      "split", "Print the program and, on the next line, the arguments of COMMANDLINE");
  split->footer(
      "Example: plinth path split '\"C:\\Program Files\\app.exe\" -v input.txt'\n"
      "Exit status: 0 printed, 2 an unclosed quote or a usage error.");
  split->add_option("COMMANDLINE", options->commandLine, "One command line, quoted for the shell")
      ->required();
  split->callback([options, &exitCode] {
    CString program;
    CString arguments;
    const CString line = options->commandLine.c_str();
    if (!line.IsEmpty() && line[0] == '"' && line.Find('"', 1) < 0)
      throw ToolError("the command line '" + options->commandLine +
                      "' opens a quote it never closes; add the closing quote");
    CKaPath::SplitCommand(line, program, arguments);
    WriteLines({Line(program), Line(arguments)});
    exitCode = kExitOk;
  });

  CLI::App* fix = path->add_subcommand("fix", "Replace characters names must not hold by '_'");
  fix->footer(
      "Example: plinth path fix 'report: draft?.txt'\n"
      "Exit status: 0 printed, 2 usage error.");
  fix->add_option("NAME", options->paths, "Names")->required();
  fix->add_flag("-p,--path", options->isPath, "Keep '\\' and ':' (the name is a full path)");
  fix->callback([options] {
    std::vector<std::string> lines;
    for (const std::string& p : options->paths)
      lines.push_back(Line(CKaPath::FixFilename(p.c_str(), options->isPath)));
    WriteLines(lines);
  });

  CLI::App* join = path->add_subcommand("join", "Join FIRST and SECOND with one separator");
  join->footer(
      "Example: plinth path join /tmp/reports summary.txt --separator /\n"
      "Exit status: 0 printed, 2 usage error.");
  join->add_option("FIRST", options->first, "First part")->required();
  join->add_option("SECOND", options->second, "Second part")->required();
  join->add_option("--separator", options->separator, "Separator (default '\\')");
  join->callback([options] {
    WriteLines({Line(CKaPath::ConcatenatePath(options->first.c_str(), options->second.c_str(),
                                              options->separator.c_str()))});
  });

  CLI::App* tmpname = path->add_subcommand("tmpname", "Print unique temporary file names");
  tmpname->footer(
      "Names are unique at the time they are printed; the files are not created.\n"
      "Example: plinth path tmpname report -n 3\n"
      "Exit status: 0 printed, 2 no name could be made, or a usage error.");
  tmpname->add_option("PREFIX", options->prefix, "Start of the file name");
  tmpname->add_option("-n,--count", options->count, "How many names (default 1)")
      ->check(CLI::Range(1, 1000000));
  tmpname->callback([options] {
    std::vector<std::string> lines;
    for (int i = 0; i < options->count; ++i) {
      const CString name = CKaPath::CreateTmpName(options->prefix.c_str());
      if (name.IsEmpty())
        throw ToolError("no temporary name could be made; check that TMP or /tmp is a folder");
      lines.push_back(Line(name));
    }
    WriteLines(lines);
  });

  CLI::App* exists =
      path->add_subcommand("exists", "Exit 0 when PATH exists and may be read, 1 when not");
  exists->footer(
      "Example: plinth path exists settings.ini && echo present\n"
      "Exit status: 0 exists, 1 missing or unreadable, 2 usage error.");
  exists->add_option("PATH", options->first, "Path")->required();
  exists->callback([options, &exitCode] {
    exitCode = CKaPath::FileExists(options->first.c_str()) ? kExitOk : kExitNothingFound;
  });
}

void AddFindCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<FindOptions>();
  CLI::App* find = app.add_subcommand(
      "find", "List the files (and folders) of DIR that match PATTERN, one path a line");
  find->footer(
      "Example: plinth find ~/notes '*.txt' --recurse\n"
      "Exit status: 0 listed, 1 nothing matched, 2 DIR is not a readable folder, or a usage "
      "error.");
  find->add_option("DIR", options->dir, "Folder to list")->required();
  find->add_option("PATTERN", options->pattern,
                   "Wildcards as on Windows: * ? and letters in either case (default *)");
  find->add_flag("-r,--recurse", options->recurse,
                 "The whole tree below DIR; subfolders are walked whatever their names");
  find->add_flag("-d,--dirs", options->dirs,
                 "List folders too (all of them with --recurse, matching ones without)");
  find->add_flag("--no-files", options->noFiles, "Leave out the files");
  find->callback([options, &exitCode] { exitCode = RunFind(*options); });
}

void AddEnvCommands(CLI::App& app, int& exitCode) {
  CLI::App* env = app.add_subcommand("env", "Environment variable references (%NAME%)");
  env->require_subcommand(1);
  env->footer(
      "Give one of the commands above; 'plinth env COMMAND --help' shows its options.\n"
      "Example: plinth env expand '%HOME%/notes'\n"
      "Exit status: that of the command; 2 when none or an unknown one is given.");
  auto text = std::make_shared<std::string>();

  CLI::App* expand = env->add_subcommand("expand", "Replace each %NAME% by its variable's value");
  expand->footer(
      "Example: plinth env expand '%HOME%/notes'\n"
      "Exit status: 0 printed, 2 usage error.");
  expand->add_option("TEXT", *text, "Text with references")->required();
  expand->callback([text] {
    CKaString out;
    CKaEnvVar::Expand(text->c_str(), out);
    WriteLines({Line(out)});
  });

  CLI::App* collapse = env->add_subcommand(
      "collapse", "Write the value of the variable that best fits the start of TEXT as %NAME%");
  collapse->footer(
      "Example: plinth env collapse \"$HOME/notes\"\n"
      "Exit status: 0 collapsed, 1 no variable fits (TEXT is printed unchanged), 2 usage error.");
  collapse->add_option("TEXT", *text, "Text, typically a path")->required();
  collapse->callback([text, &exitCode] {
    CKaString out = text->c_str();
    const long result = CKaEnvVar::Collapse(text->c_str(), out);
    WriteLines({Line(out)});
    exitCode = result == S_OK ? kExitOk : kExitNothingFound;
  });
}

}  // namespace

void AddFilesCommands(CLI::App& app, int& exitCode) {
  AddPathCommands(app, exitCode);
  AddFindCommand(app, exitCode);
  AddEnvCommands(app, exitCode);
}

}  // namespace plinth_tool
