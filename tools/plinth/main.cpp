// plinth: the library's command-line host. Each subcommand family registers itself here; the
// families own their options and their work, this file owns only the exit status.

#include <plinth/afx/Exception.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "Tool.h"

namespace {

// The deepest subcommand the user reached, so a usage error can point at the right --help.
std::string CommandPath(const CLI::App& app) {
  std::string path = app.get_name();
  const CLI::App* current = &app;
  for (;;) {
    auto chosen = current->get_subcommands();
    if (chosen.empty()) return path;
    current = chosen.front();
    path += " " + current->get_name();
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Text is bytes in the user's code page, as the library expects of a host.
  std::setlocale(LC_ALL, "");

  CLI::App app{"plinth: the Plinth utility library from the command line", "plinth"};
  app.set_version_flag("--version", PLINTH_VERSION);
  app.require_subcommand(1);

  int exitCode = plinth_tool::kExitOk;
  plinth_tool::AddTextCommands(app, exitCode);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);  // --help and --version
  } catch (const CLI::ParseError& error) {
    plinth_tool::Complain(error.what());
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
