#pragma once
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>

// For measuring start-up from outside: when QORV_QUIT_WHEN_SHOWN is set, the
// program writes "shown" and the wall-clock time in nanoseconds since 1970 to
// standard error right after its window was first exposed, and so painted, and
// quits that many milliseconds later (at once for 0 or a value that is not a
// number), so a script can look at it meanwhile.
class QuitWhenShown final : public QObject {
public:
    static void watch(QWidget& window)
    {
        if (!qEnvironmentVariableIsSet("QORV_QUIT_WHEN_SHOWN") || !window.windowHandle())
            return;
        window.windowHandle()->installEventFilter(new QuitWhenShown(&window));
    }

private:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!done_ && event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            done_ = true;
            const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::system_clock::now().time_since_epoch());
            std::fprintf(stderr, "shown %lld\n", static_cast<long long>(now.count()));
            std::fflush(stderr);
            const int linger = qBound(0, qEnvironmentVariableIntValue("QORV_QUIT_WHEN_SHOWN"), 60000);
            QTimer::singleShot(linger, QCoreApplication::instance(), &QCoreApplication::quit);
        }
        return false;
    }
    bool done_ = false;
};
