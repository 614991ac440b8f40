// SIGTERM (the desktop logging out, a shutdown), SIGHUP (the terminal closed) and SIGINT end
// the event loop as "Выход" does, so that the work done at exit (the last recovery copy)
// still happens. A second such signal ends the process at once.
// Call once, on the user-interface thread, after the application object exists.
#pragma once

void QuitOnTerminationSignals();
