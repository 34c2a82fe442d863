#pragma once
#include <QWidget>

// Says each new line of the log to a screen reader without taking the focus.
// Screen readers do not read text added to a box that has no focus, and Qt
// offers no announcement of its own; what they do speak is a notification
// object as it becomes showing. The notice is that object: it takes no room
// and paints nothing, and shows itself again for every line.
class LogNotice : public QWidget {
    Q_OBJECT
public:
    explicit LogNotice(QWidget* parent);

    void say(const QString& line);
    QString lastLine() const { return line_; }

private:
    QString line_;
};
