// Carries out what the command line asked for, once the windows exist: the project first
// (it replaces the playlist), then the recordings appended to the playlist as the add
// dialog appends them. Named files that do not exist are refused at once, all of them in one
// message (also written to standard error), rather than failing one by one later.
// User-interface thread only.
#pragma once

#include <QString>
#include <QStringList>

#include "app/command_line.h"

class TForm1;
class TForm2;
class TForm5;

void OpenFromCommandLine(const CommandLine& line, TForm1& player, TForm2& editor,
                         TForm5& participants);

// The project and the recordings named that are not files, in the order given.
QStringList MissingFiles(const CommandLine& line);
// The one message that lists them.
QString MissingFilesMessage(const QStringList& missing);
