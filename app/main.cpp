#include "app/quit_when_shown.h"
#include "app/router_choice.h"
#include "core/work_folder.h"
#include "link/clock.h"
#include "link/trace.h"
#include "ui/dialogs.h"
#include "ui/main_form.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <exception>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        registerTahoma();

        // QORV_SIMULATE=routes or =update runs against the simulated router, so the
        // program can be tried without the hardware.
        SteadyClock clock;
        const RouterChoice router(qgetenv("QORV_SIMULATE"), clock);
        Trace trace(qEnvironmentVariable("QORV_TRACE").toStdString(), clock);
        QtDialogs dialogs;

        MainFormOptions options;
        options.backend = router.backend.get();
        options.clock = &clock;
        options.dialogs = &dialogs;
        options.trace = trace.isOpen() ? &trace : nullptr;
        options.homePath = homePathVariable();
        options.fallbackHome = QDir::homePath();
        // The default "last.qorv" lies beside the program in a build, and in the
        // shared data folder of an installation.
        const QDir programDir(QCoreApplication::applicationDirPath());
        options.programFolder = programDir.exists(QStringLiteral("last.qorv"))
            ? programDir.path()
            : QDir::cleanPath(programDir.filePath(QStringLiteral("../share/qorv-config")));

        TMainForm MainForm(options);
        MainForm.show();
        QuitWhenShown::watch(MainForm);
        return app.exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QString(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QString(), QString());
    }
    return 1;
}
