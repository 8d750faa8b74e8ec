// What a command runs with, the helpers every command uses to check and report, and the
// eighteen original commands.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Failure.h"
#include "Output.h"
#include "Player.h"

namespace jarvet {

// Finds the player a first parameter names (it may not be running).
using TConnect = std::function<std::unique_ptr<TPlayer>(const std::string& parameter)>;

struct TCommandContext {
  TPlayer& Player;
  TOutput& Out;
  std::string ArgText;  // as typed, trimmed; some commands put a default into it
  // The newer commands' side: their problems and their argument in UTF-8.
  TOutputSink& Errors;
  std::string ArgTextUtf8;
  // Finds the player again, for commands that outlive it.
  std::function<std::unique_ptr<TPlayer>()> Reconnect;
  // On POSIX the words after the command word as the shell gave them, in UTF-8; none where the
  // platform passes one command-line text (Windows). Read through ArgumentWords.
  std::optional<std::vector<std::string>> ArgWords = std::nullopt;
};

[[noreturn]] void Fail(int status, const std::string& message);
[[noreturn]] void BadArgument(const std::string& message);
// After the argument is checked: a bad argument is reported even with no player.
void NeedPlayer(TCommandContext& c);
// A player that stopped answering meanwhile: nothing it said counts.
void NeedAnswers(TCommandContext& c);
// Ends the run with "<player> does not offer <feature>" where the player lacks it.
void NeedFeature(TCommandContext& c, TFeature feature);
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
// One line on standard error, "jarvet: <message>", written whatever becomes of it.
void WriteProblemLine(TCommandContext& c, const std::string& message);
// One UTF-8 line of the command's output.
void WriteValue(TCommandContext& c, const std::string& value);

void Version(TCommandContext& c);
void Clear(TCommandContext& c);
void Close(TCommandContext& c);
void Play(TCommandContext& c);
void Enqueue(TCommandContext& c);
void Stop(TCommandContext& c);
void Pause(TCommandContext& c);
void Prev(TCommandContext& c);
void Next(TCommandContext& c);
void FastForward(TCommandContext& c);
void Rewind(TCommandContext& c);
void SkipTo(TCommandContext& c);
void Seek(TCommandContext& c);
void SetVolume(TCommandContext& c);
void VolumeUp(TCommandContext& c);
void VolumeDown(TCommandContext& c);
void Position(TCommandContext& c);

}  // namespace jarvet
