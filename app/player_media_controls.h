// The player's commands as the desktop's media interface sees them: Play = F3, Pause = F4,
// Next = F5, Previous = F2, and a seek that restarts the fragment cycle at the new place
// and leaves a paused player paused. User-interface thread only.
#pragma once

#include "app/media_interface.h"

class TForm1;

MediaPlayerControls PlayerMediaControls(TForm1& player);
