#pragma once
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

// For measuring start-up from outside: when QORV_QUIT_WHEN_SHOWN is set, the
// program quits right after its window was first exposed, and so painted.
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
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        return false;
    }
};
