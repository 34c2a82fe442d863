// A blank Qt Widgets window of the main window's size, the yardstick for the
// program's start-up time and memory (start-footprint.sh).
#include "app/quit_when_shown.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(884, 566);
    window.show();
    QuitWhenShown::watch(window);
    return app.exec();
}
