// plinth run, plinth open, plinth filetype register: starting a program and waiting for it,
// opening a document through the desktop or its registered open command, and registering a
// document type, through CKaShell and CKaPath.

#include <plinth/KaPath.h>
#include <plinth/KaShell.h>
#include <plinth/RegVal.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <memory>
#include <optional>
#include <string>

#include "Tool.h"

namespace plinth_tool {
namespace {

void Print(const std::string& line) {
  Output output("-");
  output.Write(line + "\n");
  output.Commit();
}

// What a process-creation error means for the person who typed the command.
std::string StartErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return "the program was not found; give its path, or check PATH";
    case ERROR_PATH_NOT_FOUND:
      return "a folder on the program's path does not exist; check the path";
    case ERROR_ACCESS_DENIED:
      return "access denied; check that the program is executable and not a folder";
    case ERROR_BAD_EXE_FORMAT: return "the file is not a program this system can run";
    case ERROR_DIRECTORY:
      return "the working folder does not exist or is not a folder; check --dir";
    case ERROR_INVALID_PARAMETER: return "the command line names no program";
    default: return "check the command line";
  }
}

int RunProgram(const std::string& commandLine, const std::optional<int>& waitSeconds,
               const std::optional<std::string>& folder) {
  if (commandLine.empty()) throw ToolError("the command line is empty; give the program to run");
  DWORD exitCode = 0;
  const int limit = waitSeconds ? *waitSeconds : -1;
  bool ended = false;
  {
    // The wait is one library call: the line only shows that plinth is still waiting.
    Progress progress("waiting for '" + commandLine + "'" +
                      (limit >= 0 ? " (at most " + std::to_string(limit) + " s)" : ""));
    progress.KeepTurning();
    // Without --dir the child works where plinth was started.
    ended = CKaShell::LaunchApplicationAndWait(commandLine.c_str(), folder ? folder->c_str() : ".",
                                               SW_SHOWNORMAL, limit, &exitCode);
  }
  if (ended) {
    Print("exit code " + std::to_string(exitCode));
    return kExitOk;
  }
  if (exitCode == static_cast<DWORD>(STILL_ACTIVE)) {
    Print("still running after " + std::to_string(limit) + " s");
    return kExitNothingFound;
  }
  throw ToolError("cannot start '" + commandLine + "': error " + std::to_string(exitCode) + ", " +
                  StartErrorText(exitCode));
}

// The registered open command of a document type, or why there is none.
std::optional<std::string> MissingOpenCommand(const std::string& type) {
  CString documentClass;
  if (!CRegistry(HKEY_CLASSES_ROOT).LoadKey(type.c_str(), "", documentClass, false) ||
      documentClass.IsEmpty())
    return "HKEY_CLASSES_ROOT\\" + type + " names no document class";
  const std::string commandKey = std::string(documentClass) + "\\shell\\open\\command";
  CString command;
  if (!CRegistry(HKEY_CLASSES_ROOT).LoadKey(commandKey.c_str(), "", command, false))
    return "HKEY_CLASSES_ROOT\\" + commandKey + " holds no open command";
  return std::nullopt;
}

int RunOpen(const std::string& document, const std::optional<std::string>& type) {
  if (CKaShell::LaunchApplicationEx(document.c_str(), SW_SHOWNORMAL, type ? type->c_str() : nullptr,
                                    nullptr)) {
    // Success without a usable registration means the desktop opened it, or, when it could
    // not, that nothing was started at all: say which may have happened.
    if (type) {
      if (auto missing = MissingOpenCommand(*type))
        Inform("note: " + *missing + "; unless the desktop opened " + DisplayName(document) +
               ", nothing was started. Register the type with 'plinth filetype register'");
    }
    return kExitOk;
  }
  if (!type)
    throw ToolError("the desktop cannot open " + DisplayName(document) +
                    "; give --type .EXT to use the open command registered for that type");
  throw ToolError("cannot open " + DisplayName(document) +
                  ": the desktop cannot, and the program registered for " + *type +
                  " did not start; check its open command with 'plinth reg query HKCR\\" + *type +
                  "' and the class it names");
}

int RunRegister(const std::string& extension, const std::string& type, const std::string& command) {
  if (extension.empty() || type.empty())
    throw ToolError(
        "the extension and the file type must not be empty; give them as in "
        "'plinth filetype register .plt Plinth.Notes COMMAND'");
  if (CKaPath::RegisterFileType(extension.c_str(), type.c_str(), command.c_str()) == S_OK) {
    Print(extension + ": " + type + ", opened with " + command);
    return kExitOk;
  }
  // The library does not say which step failed; the registry does.
  CRegVal current;
  const std::string key = "HKEY_CLASSES_ROOT\\" + extension;
  if (!CRegistry::LoadKey(extension.c_str(), "", current, HKEY_CLASSES_ROOT, false))
    throw ToolError(key +
                    " does not exist or has no default value, and a file type is registered only "
                    "for an extension that is already known; create it first with: plinth reg "
                    "add HKCR\\" +
                    extension + " /ve");
  CString owner;
  if (current.GetValue(owner) && !owner.IsEmpty() && owner.CompareNoCase(type.c_str()) != 0)
    throw ToolError(extension + " belongs to the file type '" + std::string(owner) +
                    "'; register that type's command instead, or empty the default value of " +
                    key + " to hand the extension over");
  throw ToolError("cannot write the file type " + type + " for " + extension +
                  "; check that the registry can be written");
}

}  // namespace

void AddLaunchCommands(CLI::App& app, int& exitCode) {
  auto commandLine = std::make_shared<std::string>();
  auto waitSeconds = std::make_shared<std::optional<int>>();
  auto folder = std::make_shared<std::optional<std::string>>();
  CLI::App* run = app.add_subcommand("run", "Start a program, wait for it and print its exit code");
  run->footer(
      "The command line is one argument, quoted as a whole; it is split the Windows way and "
      "never passes through a shell. Prints 'exit code N' once the program ended, or 'still "
      "running after N s' (the program goes on running).\n"
      "Example: plinth run 'make -j2' --wait 600 --dir build\n"
      "Exit status: 0 ended, 1 still running, 2 could not start or usage error.");
  run->add_option("COMMAND-LINE", *commandLine, "Program and its arguments")
      ->required()
      ->type_name("");
  // Waits are counted in 32-bit milliseconds: 4294967 s (49 days) is the longest limit.
  run->add_option("--wait", *waitSeconds, "Wait at most this many seconds (default: no limit)")
      ->check(CLI::Range(0, 4294967))
      ->type_name("SECONDS");
  run->add_option("--dir", *folder, "Working folder of the program (default: the current one)")
      ->type_name("DIR");
  run->callback([=, &exitCode] { exitCode = RunProgram(*commandLine, *waitSeconds, *folder); });

  auto document = std::make_shared<std::string>();
  auto type = std::make_shared<std::optional<std::string>>();
  CLI::App* open = app.add_subcommand(
      "open", "Open a document with the desktop, else with its type's registered open command");
  open->footer(
      "Example: plinth open notes.plt --type .plt\n"
      "Exit status: 0 opened (or nothing registered to open it with, noted on stderr), 2 not "
      "opened or usage error.");
  open->add_option("DOCUMENT", *document, "The document")->required()->type_name("");
  open->add_option("--type", *type, "Document type key under HKEY_CLASSES_ROOT, such as .txt")
      ->type_name(".EXT");
  open->callback([=, &exitCode] { exitCode = RunOpen(*document, *type); });

  CLI::App* filetype = app.add_subcommand(
      "filetype", "Document types: the command that opens the documents of an extension");
  filetype->require_subcommand(1);
  filetype->footer(
      "Give one of the commands above; 'plinth filetype COMMAND --help' shows its options.\n"
      "Example: plinth filetype register .plt Plinth.Notes '/usr/bin/editor \"%1\"'\n"
      "Exit status: that of the command; 2 when none or an unknown one is given.");
  auto extension = std::make_shared<std::string>();
  auto typeName = std::make_shared<std::string>();
  auto command = std::make_shared<std::string>();
  CLI::App* reg = filetype->add_subcommand(
      "register", "Make an extension's documents open with a command: register .EXT TYPE COMMAND");
  reg->footer(
      "The extension key (HKEY_CLASSES_ROOT\\.EXT) must exist already (plinth reg add HKCR\\.EXT "
      "/ve) and name no other type. COMMAND is stored as given: include \"%1\" where the "
      "document goes.\n"
      "Example: plinth filetype register .plt Plinth.Notes '/usr/bin/editor \"%1\"'\n"
      "Exit status: 0 registered, 2 not registered or usage error.");
  reg->add_option(".EXT", *extension, "Extension, with its dot")->required()->type_name("");
  reg->add_option("TYPE", *typeName, "File type name")->required()->type_name("");
  reg->add_option("COMMAND", *command, "Open command line")->required()->type_name("");
  reg->callback([=, &exitCode] { exitCode = RunRegister(*extension, *typeName, *command); });
}

}  // namespace plinth_tool
