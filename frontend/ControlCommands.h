// The commands beyond the eighteen that control the player: status, volume, shuffle and repeat,
// transport, the playlist and adding to it. They write UTF-8 lines, report problems on standard
// error and end with an exit status that says what went wrong.
#pragma once

#include "Commands.h"

namespace jarvet {

void Status(TCommandContext& c);
void Volume(TCommandContext& c);
void Shuffle(TCommandContext& c);
void Repeat(TCommandContext& c);
void Toggle(TCommandContext& c);
void FadeOut(TCommandContext& c);
void SeekBy(TCommandContext& c);
void List(TCommandContext& c);
void Add(TCommandContext& c);
void Open(TCommandContext& c);

}  // namespace jarvet
