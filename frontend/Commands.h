// What a command runs with, the helpers every command uses to check and report, and the
// eighteen original commands.
#pragma once

#include <functional>
#include <memory>
#include <string>

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
