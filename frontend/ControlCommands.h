// The commands beyond the eighteen: status, volume, shuffle and repeat, transport, the playlist
// and adding to it, and help. They write UTF-8 lines, report problems on standard error and end
// with an exit status that says what went wrong.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"

namespace jarvet {

constexpr int kExitBadArgument = 2;
constexpr int kExitNoPlayer = 3;
constexpr int kExitNothingPlaying = 4;
constexpr int kExitFailure = 1;

// Thrown by a command to end the run with a message on standard error.
struct TCommandError {
  int Status;
  std::string Message;
};

[[noreturn]] void Fail(int status, std::string message);
[[noreturn]] void BadArgument(const std::string& message);
// After the argument is checked: a bad argument is reported even with no player.
void NeedPlayer(TCommandContext& c);
// A window that stopped answering meanwhile answered 0 to everything: nothing it said counts.
void NeedAnswers(TCommandContext& c);
void NoArgument(const TCommandContext& c, const char* command);
// The text with every control character (a tab, a line end) turned into a blank, so that it
// stays one line and its fields stay apart.
std::string OneLine(std::string text);
// The words of the argument in UTF-8: on POSIX each word after the command as the shell gave it
// (ArgWords), on Windows the argument split like parameters. Commands that take files read these.
std::vector<std::string> ArgumentWords(const TCommandContext& c);
// A name (a file, an argument) as a message quotes it: on one line, its first 200 characters at
// the most.
std::string ShownName(std::string_view name);
// One UTF-8 line of the command's output.
void WriteValue(TCommandContext& c, const std::string& value);

bool IsControlCommand(const std::string& commandWord);

// Runs the newer command whose name equals the word, ignoring ASCII case; false for none.
bool DispatchControlCommand(const std::string& commandWord, TCommandContext& context);

}  // namespace jarvet
