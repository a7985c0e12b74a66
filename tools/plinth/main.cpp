// plinth: the library's command-line host. Each subcommand family registers itself here; the
// families own their options and their work, this file owns only the exit status.

#include <plinth/afx/Exception.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "Tool.h"

namespace {

// The subcommand families, one file each. A new family adds its Add…Commands here.
using AddCommands = void (*)(CLI::App& app, int& exitCode);
// clang-format off
constexpr AddCommands kFamilies[] = {
    plinth_tool::AddTextCommands,
    plinth_tool::AddRegCommands,
    plinth_tool::AddRegexCommands,
    plinth_tool::AddFilesCommands,
    plinth_tool::AddHexCommands,
    plinth_tool::AddSecurityCommands,
    plinth_tool::AddLogCommands,
    plinth_tool::AddLaunchCommands,
};
// clang-format on

// The deepest subcommand the user reached, so a usage error can point at the right --help.
const CLI::App* Deepest(const CLI::App& app) {
  const CLI::App* current = &app;
  for (;;) {
    auto chosen = current->get_subcommands();
    if (chosen.empty()) return current;
    current = chosen.front();
  }
}

std::string CommandPath(const CLI::App& app) {
  std::string path = app.get_name();
  const CLI::App* current = &app;
  while (current != Deepest(app)) {
    current = current->get_subcommands().front();
    path += " " + current->get_name();
  }
  return path;
}

// CLI11 answers a mistyped subcommand ("plinth text repalce") with "A subcommand is required";
// name the word it did not know instead.
std::string UsageMessage(const CLI::App& app, const CLI::ParseError& error) {
  const CLI::App* deepest = Deepest(app);
  const std::vector<std::string> left = deepest->remaining();
  if (dynamic_cast<const CLI::RequiredError*>(&error) && !left.empty() &&
      !deepest->get_subcommands({}).empty())
    return "'" + left.front() + "' is not a '" + CommandPath(app) + "' command";
  return error.what();
}

}  // namespace

int main(int argc, char** argv) {
  // Text is bytes in the user's code page, as the library expects of a host.
  std::setlocale(LC_ALL, "");

  CLI::App app{"plinth: the Plinth utility library from the command line", "plinth"};
  app.set_version_flag("--version", std::string("plinth ") + PLINTH_VERSION);
  app.require_subcommand(1);
  app.footer(
      "Give one of the commands above; 'plinth COMMAND --help' shows its options.\n"
      "Example: plinth reg walk HKCU\\Software --recurse\n"
      "Exit status: 0 done or found, 1 nothing found or nothing to do, 2 usage or I/O error.");

  int exitCode = plinth_tool::kExitOk;
  for (AddCommands addFamily : kFamilies) addFamily(app, exitCode);

  try {
    // The build writes the manual page and the completion script with these; not for users,
    // so they are not in --help.
    if (argc == 2 && plinth_tool::PrintDocument(app, argv[1], PLINTH_VERSION))
      return plinth_tool::kExitOk;
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);  // --help and --version
  } catch (const CLI::ParseError& error) {
    plinth_tool::Complain(UsageMessage(app, error));
    std::fprintf(stderr, "Run '%s --help' for usage.\n", CommandPath(app).c_str());
    return plinth_tool::kExitError;
  } catch (const plinth_tool::ToolError& error) {
    plinth_tool::Complain(error.what());
    return plinth_tool::kExitError;
  } catch (CException* exception) {
    char message[256] = "unexpected library error";
    exception->GetErrorMessage(message, sizeof message);
    exception->Delete();
    plinth_tool::Complain(std::string(message) + "; please report this with the command line");
    return plinth_tool::kExitError;
  }
  return exitCode;
}
