#pragma once
#include "text/texts.h"

#include <QIcon>
#include <QImage>

#include <vector>

// The program's own pictures. The window takes them from files carried in the
// program (ui/pictures/), made from the drawings below: drawing them at every
// start cost as much time as building the rest of the window.
namespace Pictures {
QImage routeMark();      // Image1: 30 x 30, lime arrow on #2A2A2A
QImage logo();           // Image2: the 152 x 152 logo painted in the matrix corner
QImage wastebasket();    // Image3: 26 x 24, cream basket on #606060
QImage flag(Flag flag);  // a language's flag, as its menu item shows it
constexpr int kIconSizes[] = {64, 32, 24, 16};
QIcon appIcon();         // the MIDI socket at kIconSizes

// Each carried file's name and the drawing it holds, and a picture as such a
// file: `qorv-render-window DIR pictures` writes them anew.
struct CarriedPicture {
    QString name;
    QImage drawn;
};
std::vector<CarriedPicture> carriedPictures();
QByteArray netpbm(const QImage& picture);

namespace Drawn {
QImage routeMark();
QImage logo();           // lettered in Tahoma
QImage wastebasket();
QImage flagSpain();      // 50 x 34
QImage flagUnitedKingdom();  // 50 x 30
QImage midiSocket(int size); // the window icon's face
} // namespace Drawn
} // namespace Pictures
