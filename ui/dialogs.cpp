#include "ui/dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {
QString qtFilter(const QString& filter)
{
    const int bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return filter;
    return filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1) + QLatin1Char(')');
}
} // namespace

std::optional<QString> QtDialogs::openFile(QWidget* parent, const QString& filter, const QString& folder)
{
    const QString name = QFileDialog::getOpenFileName(parent, QString(), folder, qtFilter(filter));
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> QtDialogs::saveFile(QWidget* parent, const QString& folder)
{
    const QString name = QFileDialog::getSaveFileName(parent, QString(), folder);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QColor> QtDialogs::pickColor(QWidget* parent, const QColor& initial)
{
    const QColor color = QColorDialog::getColor(initial, parent);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

bool QtDialogs::askYesNo(QWidget* parent, const QString& title, const QString& text, DefaultAnswer answer)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(answer == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::showError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QString(), text);
}
