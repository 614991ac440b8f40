// Where the abbreviation dictionary lives. A program installed for everyone cannot write
// beside its executable, so each user keeps a dictionary of their own in the data folder
// ($XDG_DATA_HOME/nuvtolvek/NUV_Tolvek.lib, ~/.local/share when XDG_DATA_HOME is unset).
// A copy of the program in a folder of its own, with a writable dictionary beside it and no
// user dictionary yet, keeps using the one beside it. User-interface thread at start-up.
#pragma once

#include <QString>
#include <functional>

inline constexpr char kDictionaryFileName[] = "NUV_Tolvek.lib";

// $XDG_DATA_HOME/nuvtolvek/NUV_Tolvek.lib (an unset or relative XDG_DATA_HOME means
// $HOME/.local/share).
QString UserDictionaryPath();

// Whether this process may write the file or folder (access(2) with W_OK).
bool PathIsWritable(const QString& path);

// Chooses the dictionary file to load and creates it when needed:
// - the user's file when it exists (even one that cannot be read: loading it then fails
//   with the usual file error);
// - otherwise the file beside the program when it and its folder are writable;
// - otherwise the user's file, created (with its folders) as a copy of the file beside the
//   program when there is one (a shared starting dictionary), else empty.
// Throws textfiles::FileError when the user's file cannot be created or the starting
// dictionary cannot be read. `writable` tells whether the process may write a path.
QString PrepareDictionaryFile(
    const QString& userPath, const QString& besideProgramPath,
    const std::function<bool(const QString& path)>& writable = PathIsWritable);
