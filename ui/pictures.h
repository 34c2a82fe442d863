#pragma once
#include "text/texts.h"

#include <QIcon>
#include <QImage>

// The program's own pictures, drawn in code but for the logo.
namespace Pictures {
QImage routeMark();      // Image1: 30 x 30, lime arrow on #2A2A2A
QImage logo();           // Image2: the 152 x 152 logo painted in the matrix corner (ui/pictures/logo.ppm)
QImage wastebasket();    // Image3: 26 x 24, cream basket on #606060
QImage flagSpain();      // 50 x 34
QImage flagUnitedKingdom();  // 50 x 30
QImage flag(Flag flag);  // a language's flag, as its menu item shows it
QImage midiSocket(int size); // the window icon's face
QIcon appIcon();         // 64, 32, 24 and 16 px
}
