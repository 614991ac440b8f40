// Wires the player's waveform strip: its commands (zoom, whole recording, clear the
// selection) and what it shows of the editor (the transcript's timestamps, with the
// speakers' colours of the participants table). User-interface thread only.
#pragma once

namespace commands {
class Registry;
}
class TForm1;
class TForm2;
class TForm5;

void WireStrip(commands::Registry& registry, TForm1& player, TForm2& editor, TForm5& participants);
