// The input loop of the replace commands (text replace, regex replace): one shared output or
// each file rewritten in place, per-input counts, and which failures end the run.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "Tool.h"

namespace plinth_tool {

int ReplaceInputs(const std::vector<std::string>& inputs, const ReplaceTarget& target,
                  const ReplaceInput& replace) {
  if (target.inPlace) {
    if (std::find(inputs.begin(), inputs.end(), "-") != inputs.end())
      throw ToolError(
          "--in-place cannot rewrite standard input; give file names, or drop --in-place to "
          "write to standard output");
    if (target.backupSuffix && target.backupSuffix->empty())
      throw ToolError(
          "--backup-suffix is empty, so the backup would overwrite the file; "
          "give a suffix such as .bak");
  }

  Outcome outcome;
  std::optional<Output> shared;
  if (!target.inPlace) shared.emplace(target.output.empty() ? "-" : target.output);
  for (const std::string& name : inputs) {
    if (shared && shared->ReaderGone() && !target.count) break;
    try {
      // Checked before reading: a pipe or device given here would be drained for nothing.
      if (target.inPlace) RequireRegularFile(name, "--in-place");
      const std::string data = ReadInput(name);
      long long count = 0;
      if (target.inPlace) {
        Output out(name);
        count = replace(data, name, out);
        // An untouched file keeps its time stamps and links, and gets no backup.
        if (count > 0) {
          if (target.backupSuffix) {
            Output backup(name + *target.backupSuffix);
            backup.Write(data);
            backup.Commit();
          }
          out.Commit();
        }
      } else {
        count = replace(data, name, *shared);
      }
      if (target.count)
        Inform(std::to_string(count) + (count == 1 ? " replacement in " : " replacements in ") +
               DisplayName(name));
      outcome.found = outcome.found || count > 0;
    } catch (const OutputError& error) {
      // One rewritten file failing says nothing of the next; a shared output is gone for all.
      if (!target.inPlace) throw;
      Complain(error.what());
      outcome.failed = true;
    } catch (const ToolError& error) {
      Complain(error.what());
      outcome.failed = true;
    }
  }
  // A named output is put in place only when every input was read: a partial result would
  // look like a complete one.
  if (shared && !(outcome.failed && !target.output.empty())) shared->Commit();
  return outcome.Code();
}

}  // namespace plinth_tool
