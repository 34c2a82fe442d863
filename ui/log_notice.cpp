#include "ui/log_notice.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {
class NoticeAccessible final : public QAccessibleWidget {
public:
    explicit NoticeAccessible(LogNotice* notice) : QAccessibleWidget(notice, QAccessible::Notification) {}

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? static_cast<LogNotice*>(widget())->lastLine() : QString();
    }
};

QAccessibleInterface* noticeFactory(const QString&, QObject* object)
{
    if (auto* notice = qobject_cast<LogNotice*>(object))
        return new NoticeAccessible(notice);
    return nullptr;
}
} // namespace

LogNotice::LogNotice(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(&noticeFactory);
        return true;
    }();
    (void)installed;
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
    hide();
}

void LogNotice::say(const QString& line)
{
    line_ = line.simplified();
    if (line_.isEmpty())
        return;
    // Hidden and shown again, so a line said twice is heard twice.
    hide();
    show();
}
