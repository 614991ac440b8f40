// Gives the program's commands their code in the windows, and makes every menu item, button
// and key of the windows run its command through the registry. User-interface thread only.
#pragma once

namespace commands {
class Registry;
}
class TForm1;
class TForm2;

// The windows must outlive the registry's use of them (the window set destroys the registry
// first).
void WireCommands(commands::Registry& registry, TForm1& player, TForm2& editor);
