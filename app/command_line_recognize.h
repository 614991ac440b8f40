// `nuvtolvek --recognize IN OUT`: a draft by speech recognition from the command line, before
// any window.
#pragma once

#include "app/command_line.h"

// Recognises as asked, the per cent done on standard error; a failure is said in Russian
// there. Returns the exit status: 0 done, 1 the recognition failed, 2 the command line was
// wrong.
int RunRecognizeCommand(int& argc, char** argv, const CommandLine& line);
