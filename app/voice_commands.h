// The voice commands: noise reduction on/off and levelling on/off, keys that act in every
// window (the typist listens while typing in the editor). User-interface thread only.
#pragma once

namespace commands {
class Registry;
}
class TForm1;

void WireVoiceCommands(commands::Registry& registry, TForm1& player);
