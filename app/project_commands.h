// The project commands of the player's "Файл" menu: open a project, save, save as, exit.
// They read and replace the player's parameters, playlist and stream, the editor's text and
// the participants table. User-interface thread only.
#pragma once

#include <QString>
#include <functional>

#include "textfiles/textfiles.h"

class TForm1;
class TForm2;
class TForm5;

namespace project {

// What the project commands need of the program around the windows; set by the window set.
struct ProgramLink {
    std::function<void(const QString& message)> showError;
    std::function<void(const QString& path)> openSavedPage;  // a saved page in the browser
};
extern ProgramLink Program;

struct ProjectFileData;
struct ProjectFileRead;

// The path of the current project file; empty until a project is saved or opened.
extern QString ProjectName;
// Encoding of the project file last opened: a file read with a mark is written back with it.
extern textfiles::Encoding ProjectEncoding;

// Dialogs and message boxes, replaceable (tests). Unset members use the real dialogs.
struct ProjectDialogs {
    // Save and open dialogs: `path` is the initial name and receives the chosen one; false
    // when cancelled.
    std::function<bool(QString& path)> RunSaveDialog;
    std::function<bool(QString& path)> RunOpenDialog;
    // "Несохранённые данные будут потеряны!" with OK and Cancel; true for OK.
    std::function<bool()> ConfirmDataLoss;
};
ProjectDialogs& Dialogs();

// Filter of both project dialogs.
QString ProjectDialogFilter();

// Starts over as at program start: no project name, no held encoding, dialogs forgotten.
void ResetProjectState();

// "Сохранить": saves under the project name, asking for one first when there is none.
void SaveProject(TForm1& player, TForm2& editor, TForm5& participants);
// "Сохранить как": always asks for a name, then saves.
void SaveProjectAs(TForm1& player, TForm2& editor, TForm5& participants);
// "Открыть проект": replaces the working state by a saved project. Nothing plays after it;
// the stream waits at the saved position.
void OpenProject(TForm1& player, TForm2& editor, TForm5& participants);
// The same for a project already named (the command line): no question, no dialog.
void OpenProjectFile(TForm1& player, TForm2& editor, TForm5& participants, const QString& path);
// "Выход": ends the event loop at once, saving nothing.
void ExitApplication();

// Called after a save has written all three files and after an open has read them: the
// working state now equals the project on disk. Unset: nothing is called.
extern std::function<void()> ProjectStored;

// The project file's part of the working state as a save would write it now.
ProjectFileData CurrentProjectFile(TForm1& player);
// Puts a read project file into the player as an open does: parameters, playlist, current
// entry, then the current recording stopped at the saved position. A current index beyond
// the playlist is reported in the error dialog.
void ApplyProjectFile(TForm1& player, const ProjectFileRead& read);

}  // namespace project
