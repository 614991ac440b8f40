#include "app/command_line_open.h"

#include "player/player_window.h"
#include "project/project_commands.h"

void OpenFromCommandLine(const CommandLine& line, TForm1& player, TForm2& editor,
                         TForm5& participants) {
    if (!line.project.isEmpty())
        project::OpenProjectFile(player, editor, participants, line.project);
    player.AddRecordings(line.recordings);
}
