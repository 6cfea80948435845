// The tool's icon, drawn at any size: the window's icon and the installed PNG files come from here.
#pragma once

#include <QIcon>
#include <QImage>

namespace morvane {

// The artwork at size x size pixels: a pair of brackets around a tag on a rounded square.
QImage DrawIcon(int size);

// The window icon, at the sizes a desktop asks for.
QIcon MorvaneIcon();

}  // namespace morvane
