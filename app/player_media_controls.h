// The player's commands as the desktop's media interface sees them: Play, Pause, Next and
// Previous run the commands "player.play", "player.pause", "player.next" and "player.back"
// (F3, F4, F5, F2 by default) through the command layer, and a seek that restarts the fragment
// cycle at the new place and leaves a paused player paused. User-interface thread only.
#pragma once

#include "app/media_interface.h"

class TForm1;
namespace commands {
class Registry;
}

MediaPlayerControls PlayerMediaControls(TForm1& player, commands::Registry& commands);

// The player as held keys and pedals drive it (player/held_transport.h).
struct TransportLink;
TransportLink PlayerTransportLink(TForm1& player);
