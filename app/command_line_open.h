// Carries out what the command line asked for, once the windows exist: the project first
// (it replaces the playlist), then the recordings appended to the playlist as the add
// dialog appends them. User-interface thread only.
#pragma once

#include "app/command_line.h"

class TForm1;
class TForm2;
class TForm5;

void OpenFromCommandLine(const CommandLine& line, TForm1& player, TForm2& editor,
                         TForm5& participants);
