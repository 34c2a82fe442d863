#pragma once
#include <QColor>
#include <QString>

#include <optional>

class QWidget;

// Which answer Enter gives to a yes/no question.
enum class DefaultAnswer { Yes, No };

// Every modal question the window asks goes through here, so tests can answer them.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // `filter` is "Shown name|*.pattern", or empty for none. Empty optional: cancelled.
    virtual std::optional<QString> openFile(QWidget* parent, const QString& filter, const QString& folder) = 0;
    virtual std::optional<QString> saveFile(QWidget* parent, const QString& folder) = 0;
    virtual std::optional<QColor> pickColor(QWidget* parent, const QColor& initial) = 0;
    virtual bool askYesNo(QWidget* parent, const QString& title, const QString& text, DefaultAnswer answer) = 0;
    virtual void showError(QWidget* parent, const QString& text) = 0;
};

class QtDialogs final : public Dialogs {
public:
    std::optional<QString> openFile(QWidget* parent, const QString& filter, const QString& folder) override;
    std::optional<QString> saveFile(QWidget* parent, const QString& folder) override;
    std::optional<QColor> pickColor(QWidget* parent, const QColor& initial) override;
    bool askYesNo(QWidget* parent, const QString& title, const QString& text, DefaultAnswer answer) override;
    void showError(QWidget* parent, const QString& text) override;
};

// Cancels every dialog and answers No: for drawing the window without a person.
class SilentDialogs final : public Dialogs {
public:
    std::optional<QString> openFile(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> saveFile(QWidget*, const QString&) override { return std::nullopt; }
    std::optional<QColor> pickColor(QWidget*, const QColor&) override { return std::nullopt; }
    bool askYesNo(QWidget*, const QString&, const QString&, DefaultAnswer) override { return false; }
    void showError(QWidget*, const QString&) override {}
};

// A file dialog as the window keeps it: its filter, first folder and last file name.
struct FileDialogState {
    QString filter;
    QString initialDir;
    QString fileName;
};
