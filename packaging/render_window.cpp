// Renders the main window with a sample configuration to a PNG, for the README
// and for checking the looks without a display:
//   QT_QPA_PLATFORM=offscreen qorv-render-window out.png [english|menu|icon|largest]
// and writes the pictures the program carries anew from their drawings:
//   QT_QPA_PLATFORM=offscreen qorv-render-window ui/pictures pictures
#include "link/clock.h"
#include "sim/sim_router.h"
#include "ui/dialogs.h"
#include "ui/grid_models.h"
#include "ui/main_form.h"
#include "ui/pictures.h"

#include <QApplication>
#include <QDir>
#include <QSaveFile>
#include <QMenu>
#include <QTableView>
#include <QTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [english]\n", argv[0]);
        return 2;
    }
    registerTahoma();
    if (argc > 2 && QByteArray(argv[2]) == "icon")
        return Pictures::Drawn::midiSocket(256).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
    if (argc > 2 && QByteArray(argv[2]) == "pictures") {
        for (const Pictures::CarriedPicture& picture : Pictures::carriedPictures()) {
            QSaveFile file(QDir(QString::fromLocal8Bit(argv[1])).filePath(picture.name));
            if (!file.open(QIODevice::WriteOnly) || file.write(Pictures::netpbm(picture.drawn)) < 0 || !file.commit())
                return 1;
        }
        return 0;
    }
    QTemporaryDir home;
    SimRouter router(SimRouter::Mode::Routes);
    SimBackend backend(router);
    SteadyClock clock;
    SilentDialogs dialogs;
    MainFormOptions options;
    options.backend = &backend;
    options.clock = &clock;
    options.dialogs = &dialogs;
    options.fallbackHome = home.path();
    options.programFolder = home.path();
    TMainForm form(options);
    form.Timer1->stop();
    if (argc > 2 && QByteArray(argv[2]) == "english")
        form.English1Click();
    for (int i = 0; i < 3; ++i)
        form.Timer1Timer();
    form.botonRecibirClick();
    if (argc > 2 && QByteArray(argv[2]) == "largest") {
        form.session().document().load(largestConfiguration());
    }
    const std::uint32_t colors[] = {0x2A4AE0, 0xD08020, 0x40B040, 0x20A0E0};
    for (int slot = 0; slot < 4; ++slot)
        form.session().preferences().setColor(slot, colors[slot]);
    form.SG->setCurrentIndex(form.matrixModel().index(4, 6));
    form.show();
    app.processEvents();
    if (argc > 2 && QByteArray(argv[2]) == "menu") {
        form.Idioma1->popup(form.mapToGlobal(QPoint(0, 20)));
        app.processEvents();
        return form.Idioma1->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
    }
    return form.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
