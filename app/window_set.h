// The window set: every window of the program, created once at start-up and kept until
// the process ends. Windows reach each other through these pointers.
// User-interface thread only.
#pragma once

class TForm1;
class TForm2;
class TForm3;
class TAboutBox;
class TForm5;
class TForm6;
namespace commands {
class Registry;
}

extern TForm1* Form1;        // player, the main window
extern TForm2* Form2;        // editor
extern TForm3* Form3;        // dictionary
extern TAboutBox* AboutBox;  // about
extern TForm5* Form5;        // participants
extern TForm6* Form6;        // variant chooser

// The command layer of the window set: every command of the program, its keys and its code.
// Exists from the start of CreateWindowSet to the start of DestroyWindowSet; parts wired in
// app/ add their commands to it and run commands through it.
commands::Registry& CommandSet();

// Creates the windows in the order player, editor, dictionary, about, participants,
// variant chooser. Only the player is shown (by the caller).
void CreateWindowSet();
// Destroys them in the reverse order and clears the pointers.
void DestroyWindowSet();
