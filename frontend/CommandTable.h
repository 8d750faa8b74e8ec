// The one table of commands: it drives dispatch, HELP, and the command lists of the README and
// the manual page (a test holds them to it).
#pragma once

#include <string>
#include <vector>

#include "Commands.h"

namespace jarvet {

struct TCommand {
  const char* Name;
  const char* Argument;  // as HELP shows it; "" for none
  const char* Help;      // one line
  void (*Run)(TCommandContext&);
  // One of the eighteen original commands: code-page lines, silence on a bad argument, and
  // the failure report on standard output.
  bool Original;
};

const std::vector<TCommand>& Commands();

// The command whose name equals the word, ignoring ASCII case; none for any other word.
const TCommand* FindCommand(const std::string& word);

// Runs the command. A problem it raises is one line on errors and its exit status; a failure
// of one of the eighteen goes on to the caller's failure report.
int RunCommand(const TCommand& command, TCommandContext& context);

// HELP's lines, each at most 80 columns.
std::vector<std::string> HelpLines();

}  // namespace jarvet
