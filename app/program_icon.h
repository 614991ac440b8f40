// The program's icon, drawn at any size: a waveform on a blue tile.
#pragma once

#include <QIcon>
#include <QPixmap>

QPixmap ProgramPicture(int size);
QIcon ProgramIcon();
