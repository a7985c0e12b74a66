// The host's manual page, bash completion and command list, written from the same CLI::App tree
// that parses the command line and prints --help: a command, option or footer added there shows
// up here too, so the documents cannot drift from the program. The build runs the host with
// the hidden flags below to make plinth.1 and the completion script.

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "Tool.h"

namespace plinth_tool {
namespace {

std::vector<const CLI::App*> Subcommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App*) { return true; });
}

std::vector<const CLI::Option*> Options(const CLI::App& app) {
  return app.get_options([](const CLI::Option* option) { return option->get_name() != "--help"; });
}

bool IsFlag(const CLI::Option& option) { return option.get_items_expected_max() == 0; }

std::vector<std::string> Names(const CLI::Option& option) {
  std::vector<std::string> names;
  for (const std::string& name : option.get_snames()) names.push_back("-" + name);
  for (const std::string& name : option.get_lnames()) names.push_back("--" + name);
  return names;
}

// What CLI::IsMember accepts, from its description "{a,b,c}".
std::vector<std::string> Choices(const CLI::Option& option) {
  const std::string type = option.get_type_name();
  const std::size_t open = type.rfind('{');
  const std::size_t close = type.rfind('}');
  std::vector<std::string> choices;
  if (open == std::string::npos || close == std::string::npos || close < open) return choices;
  std::string item;
  for (std::size_t i = open + 1; i <= close; ++i) {
    if (i == close || type[i] == ',') {
      if (!item.empty()) choices.push_back(item);
      item.clear();
    } else {
      item += type[i];
    }
  }
  return choices;
}

// The placeholder of an option's value, as --help shows it.
std::string ValueName(const CLI::Option& option) {
  std::string type = option.get_type_name();
  if (type.empty() || type[0] == ':') {
    const std::vector<std::string> choices = Choices(option);
    if (choices.empty()) return "VALUE";
    std::string joined;
    for (const std::string& choice : choices) joined += (joined.empty() ? "" : "|") + choice;
    return joined;
  }
  const std::size_t colon = type.find(':');
  if (colon != std::string::npos) type.resize(colon);
  return type;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (end > at) lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// --- roff ----------------------------------------------------------------------------------

// Text as roff prints it literally: backslashes and hyphens escaped, characters beyond ASCII
// (the help text is UTF-8) named by their code points, and no line taken for a request because
// of its first character.
std::string Roff(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else if (c >= 0xC0 && c < 0xF0) {
      const std::size_t length = c >= 0xE0 ? 3 : 2;
      unsigned long point = c & (length == 3 ? 0x0F : 0x1F);
      for (std::size_t k = 1; k < length && i + 1 < text.size(); ++k)
        point = (point << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F);
      // An ellipsis has no glyph on an ASCII terminal.
      if (point == 0x2026) {
        out += "...";
        continue;
      }
      char name[16];
      std::snprintf(name, sizeof name, "\\[u%04lX]", point);
      out += name;
    } else if (c >= 0x80) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string Bold(const std::string& text) { return "\\fB" + Roff(text) + "\\fR"; }
std::string Italic(const std::string& text) { return "\\fI" + Roff(text) + "\\fR"; }

std::string Usage(const std::string& path, const CLI::App& app) {
  std::string usage = Bold(path);
  if (!Options(app).empty() && !Subcommands(app).empty()) usage += " [" + Italic("OPTIONS") + "]";
  for (const CLI::Option* option : Options(app)) {
    if (option->nonpositional()) {
      if (option->get_required())
        usage += " " + Bold(Names(*option).front()) + " " + Italic(ValueName(*option));
      continue;
    }
    std::string name = Italic(option->get_name(true));
    if (option->get_items_expected_max() > 1) name += "...";
    usage += option->get_required() ? " " + name : " [" + name + "]";
  }
  if (Subcommands(app).empty() && !Options(app).empty()) {
    for (const CLI::Option* option : Options(app))
      if (option->nonpositional() && !option->get_required()) {
        usage += " [" + Italic("OPTIONS") + "]";
        break;
      }
  }
  if (!Subcommands(app).empty()) usage += " " + Italic("COMMAND");
  return usage;
}

void ManCommand(const std::string& path, const CLI::App& app, std::string& out) {
  out += ".SS \"" + Roff(path) + "\"\n";
  out += Roff(app.get_description()) + "\n.PP\n" + Usage(path, app) + "\n";
  for (const CLI::Option* option : Options(app)) {
    out += ".TP\n";
    if (option->nonpositional()) {
      std::string names;
      for (const std::string& name : Names(*option))
        names += (names.empty() ? "" : ", ") + Bold(name);
      if (!IsFlag(*option)) names += " " + Italic(ValueName(*option));
      out += names + "\n";
    } else {
      out += Italic(option->get_name(true)) + "\n";
    }
    out += Roff(option->get_description()) + "\n";
  }
  if (!Subcommands(app).empty()) {
    out += ".PP\nCommands:";
    for (const CLI::App* sub : Subcommands(app)) out += " " + Bold(sub->get_name());
    out += ".\n";
  }
  for (const std::string& line : Lines(app.get_footer())) {
    if (StartsWith(line, "Example: ")) {
      out += ".PP\nExample:\n.RS\n.nf\n" + Roff(line.substr(9)) + "\n.fi\n.RE\n";
    } else {
      out += ".PP\n" + Roff(line) + "\n";
    }
  }
  for (const CLI::App* sub : Subcommands(app)) ManCommand(path + " " + sub->get_name(), *sub, out);
}

std::string ManPage(const CLI::App& app, const std::string& version) {
  std::string out;
  out += ".\\\" Written by 'plinth --man-page' from the program's own help; do not edit.\n";
  out += ".TH PLINTH 1 \"\" \"plinth " + Roff(version) + "\" \"User Commands\"\n";
  out += ".SH NAME\nplinth \\- " +
         Roff(app.get_description().substr(app.get_description().find(": ") + 2)) + "\n";
  out += ".SH SYNOPSIS\n" + Bold("plinth") + " " + Italic("COMMAND") + " [" + Italic("COMMAND") +
         "] [" + Italic("OPTIONS") + "] [" + Italic("ARGUMENTS") + "]\n.br\n" + Bold("plinth") +
         " " + Bold("--help") + " | " + Bold("--version") + "\n";
  out += ".SH DESCRIPTION\n" + Bold("plinth") +
         " runs the Plinth utility library's text, regular-expression, registry, file, "
         "process, message-log, security and version functions from a shell. Inputs and "
         "outputs are bytes; a FILE of " +
         Bold("-") +
         " (or none, where a command reads files) is standard input. Results go to standard "
         "output and messages, which name the input concerned and say what to do, to standard "
         "error.\n.PP\nEvery command prints its options, an example and its exit status with " +
         Bold("--help") + ".\n";
  out += ".SH COMMANDS\n";
  for (const CLI::App* sub : Subcommands(app)) ManCommand("plinth " + sub->get_name(), *sub, out);
  out +=
      ".SH \"EXIT STATUS\"\nEvery command uses the same three codes, so that a script can tell "
      "\"no\" from \"broken\":\n"
      ".TP\n.B 0\nDone: found, replaced, written or shown.\n"
      ".TP\n.B 1\nNothing found or nothing to do: a search without a match, a replacement "
      "that replaced nothing, a missing key or value, a program still running after "
      "\\-\\-wait.\n"
      ".TP\n.B 2\nA usage error, an input that cannot be read, an output that cannot be "
      "written, or a failure of the library.\n"
      ".PP\nWhat each code means for a command is given with the command, under COMMANDS.\n";
  out +=
      ".SH ENVIRONMENT\n"
      ".TP\n.B PLINTH_REGISTRY\nThe registry store file; a relative name is taken from the "
      "folder plinth starts in.\n"
      ".TP\n.B XDG_DATA_HOME\nWithout PLINTH_REGISTRY the store is "
      "\\fI$XDG_DATA_HOME/plinth/registry.db\\fR (an absolute XDG_DATA_HOME only).\n"
      ".TP\n.B HOME\nWithout either, the store is under the home folder (see FILES).\n"
      ".TP\n.B PATH\nWhere " +
      Bold("run") + " looks for the program, and " + Bold("open") +
      " for the desktop's opener \\fBxdg\\-open\\fR.\n"
      ".TP\n.B TMP\\fR, \\fPTMPDIR\nThe folder of the names " +
      Bold("path tmpname") +
      " prints (else /tmp).\n"
      ".TP\n.B PLINTH_SCREEN\nThe screen size the library reports, as WIDTHxHEIGHT (such as "
      "1920x1080); without a desktop there is no screen to ask.\n"
      ".TP\n.B PLINTH_PROGRESS\n\\fBalways\\fR shows progress lines even when standard error "
      "is not a terminal, \\fBnever\\fR hides them.\n"
      ".TP\n.BR LC_ALL \", \" LC_CTYPE \", \" LANG\nThe code page text is read in, such as for "
      "case-insensitive matching.\n";
  out +=
      ".SH FILES\n.TP\n.I ~/.local/share/plinth/registry.db\nThe registry store of the user "
      "(an SQLite database), shared by every program that uses the library; see ENVIRONMENT "
      "for the variables that move it.\n";
  out += ".SH EXAMPLES\n";
  for (const CLI::App* sub : Subcommands(app)) {
    for (const std::string& line : Lines(sub->get_footer()))
      if (StartsWith(line, "Example: "))
        out += ".PP\n" + Roff(sub->get_description()) + ":\n.RS\n.nf\n" + Roff(line.substr(9)) +
               "\n.fi\n.RE\n";
  }
  return out;
}

// --- bash completion -----------------------------------------------------------------------

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct CompletionTables {
  std::string subcommands;  // case branches: path) words
  std::string options;
  std::string valued;
  std::string choices;
};

void Completions(const std::string& path, const CLI::App& app, CompletionTables& tables) {
  std::string subs;
  for (const CLI::App* sub : Subcommands(app)) subs += (subs.empty() ? "" : " ") + sub->get_name();
  if (!subs.empty()) tables.subcommands += "    " + Quote(path) + ") echo " + Quote(subs) + " ;;\n";
  std::string options = "--help";
  std::string valued;
  int position = 0;
  for (const CLI::Option* option : Options(app)) {
    std::string choices;
    for (const std::string& choice : Choices(*option))
      choices += (choices.empty() ? "" : " ") + choice;
    if (!option->nonpositional()) {
      if (!choices.empty())
        tables.choices += "    " + Quote(path + " #" + std::to_string(position)) + ") echo " +
                          Quote(choices) + " ;;\n";
      ++position;
      continue;
    }
    for (const std::string& name : Names(*option)) {
      options += " " + name;
      if (IsFlag(*option)) continue;
      valued += (valued.empty() ? "" : " ") + name;
      if (!choices.empty())
        tables.choices += "    " + Quote(path + " " + name) + ") echo " + Quote(choices) + " ;;\n";
    }
  }
  tables.options += "    " + Quote(path) + ") echo " + Quote(options) + " ;;\n";
  if (!valued.empty()) tables.valued += "    " + Quote(path) + ") echo " + Quote(valued) + " ;;\n";
  for (const CLI::App* sub : Subcommands(app))
    Completions(path + " " + sub->get_name(), *sub, tables);
}

std::string BashCompletion(const CLI::App& app) {
  CompletionTables tables;
  Completions("plinth", app, tables);
  return "# bash completion for plinth. Written by 'plinth --bash-completion' from the program's "
         "own\n# command tree; do not edit.\n"
         "_plinth_subcommands() {\n  case $1 in\n" +
         tables.subcommands +
         "  esac\n}\n"
         "_plinth_options() {\n  case $1 in\n" +
         tables.options +
         "  esac\n}\n"
         "# Options that take a value.\n"
         "_plinth_valued() {\n  case $1 in\n" +
         tables.valued +
         "  esac\n}\n"
         "# The values an option, or the positional argument #N, accepts.\n"
         "_plinth_choices() {\n  case $1 in\n" +
         tables.choices +
         "  esac\n}\n"
         "_plinth() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} path=plinth word i position=0 value=\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    word=${COMP_WORDS[i]}\n"
         "    if [[ -n $value ]]; then value=; continue; fi\n"
         "    if [[ $word == -* ]]; then\n"
         "      [[ \" $(_plinth_valued \"$path\") \" == *\" $word \"* ]] && value=1\n"
         "      continue\n"
         "    fi\n"
         "    if [[ \" $(_plinth_subcommands \"$path\") \" == *\" $word \"* ]]; then\n"
         "      path=\"$path $word\"\n"
         "      position=0\n"
         "    else\n"
         "      position=$((position + 1))\n"
         "    fi\n"
         "  done\n"
         "  local words\n"
         "  if [[ -n $value ]]; then\n"
         "    words=$(_plinth_choices \"$path ${COMP_WORDS[COMP_CWORD - 1]}\")\n"
         "  elif [[ $cur == -* ]]; then\n"
         "    words=$(_plinth_options \"$path\")\n"
         "  else\n"
         "    words=$(_plinth_subcommands \"$path\")\n"
         "    [[ -z $words ]] && words=$(_plinth_choices \"$path #$position\")\n"
         "  fi\n"
         "  if [[ -n $words ]]; then\n"
         "    mapfile -t COMPREPLY < <(compgen -W \"$words\" -- \"$cur\")\n"
         "  else\n"
         "    compopt -o filenames 2>/dev/null\n"
         "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
         "  fi\n"
         "}\n"
         "complete -F _plinth plinth\n";
}

void CommandList(const std::string& path, const CLI::App& app, std::string& out) {
  out += path + "\n";
  for (const CLI::App* sub : Subcommands(app)) CommandList(path + " " + sub->get_name(), *sub, out);
}

void Print(const std::string& text) {
  Output out("-");
  out.Write(text);
  out.Commit();
}

}  // namespace

bool PrintDocument(const CLI::App& app, const std::string& flag, const std::string& version) {
  if (flag == "--man-page")
    Print(ManPage(app, version));
  else if (flag == "--bash-completion")
    Print(BashCompletion(app));
  else if (flag == "--commands") {
    std::string out;
    CommandList("plinth", app, out);
    Print(out);
  } else {
    return false;
  }
  return true;
}

}  // namespace plinth_tool
