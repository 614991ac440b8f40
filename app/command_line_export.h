// `nuvtolvek --export IN OUT`: the conversion run from the command line, before any window.
#pragma once

#include "app/command_line.h"

// Converts as asked; a failure is said in Russian on standard error. Returns the exit
// status: 0 done, 1 the conversion failed, 2 the command line was wrong.
int RunExportCommand(const CommandLine& line);
