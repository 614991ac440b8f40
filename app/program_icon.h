// The program's icon, drawn at any size: a waveform on a blue tile.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The drawing itself; needs no application object (the installed icons are made from it
// at build time, beside packaging/nuvtolvek.svg, which shows the same design).
QImage ProgramImage(int size);
QPixmap ProgramPicture(int size);
QIcon ProgramIcon();
