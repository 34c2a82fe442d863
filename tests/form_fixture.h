#pragma once
#include "config/config_files.h"
#include "link/clock.h"
#include "sim/sim_router.h"
#include "ui/grid_models.h"
#include "ui/main_form.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <memory>

// Two devices: Keys (2 ports), Synth (3 ports), and Keys In 1 → Synth Out 1.
inline ConfigImage keysAndSynth()
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 0x0582, 0x0160, 1, 2, "Keys");
    putDevice(image, 1, 0x1235, 0x0032, 2, 3, "Synth");
    image.toggleRoute(0, 0, 1, 0);
    return image;
}

// Answers the window's dialogs from queues and remembers what was asked.
class FakeDialogs : public Dialogs {
public:
    std::optional<QString> openFile(QWidget*, const QString& filter, const QString& folder) override
    {
        filters.push_back(filter);
        folders.push_back(folder);
        return take(openAnswers);
    }
    std::optional<QString> saveFile(QWidget*, const QString& folder) override
    {
        folders.push_back(folder);
        return take(saveAnswers);
    }
    std::optional<QColor> pickColor(QWidget*, const QColor& initial) override
    {
        colorInitials.push_back(initial);
        return take(colorAnswers);
    }
    bool askYesNo(QWidget*, const QString& title, const QString& text, DefaultAnswer answer) override
    {
        questions.push_back({title, text});
        defaults.push_back(answer);
        return !yesNo.empty() && take(yesNo).value_or(false);
    }
    void showError(QWidget*, const QString& text) override { errors.push_back(text); }

    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<bool>> yesNo;
    std::vector<QString> filters;
    std::vector<QString> folders;
    std::vector<QColor> colorInitials;
    std::vector<std::pair<QString, QString>> questions;
    std::vector<DefaultAnswer> defaults;
    std::vector<QString> errors;

private:
    template <typename T>
    static std::optional<T> take(std::deque<std::optional<T>>& queue)
    {
        std::optional<T> answer;
        if (!queue.empty()) {
            answer.swap(queue.front());
            queue.pop_front();
        }
        return answer;
    }
};

// A settings file that reads as usual but cannot be written.
class UnwritableSettings : public Settings {
public:
    using Settings::Settings;

protected:
    bool write(const QString&, qint64) override { return false; }
};

// A fresh program for every test: its own home folder, program folder and router.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid() && program.isValid()); }

    QString homeFolder() const { return homeName.isEmpty() ? home.path() : QDir(home.path()).filePath(homeName); }
    QString workFolder() const { return QDir(homeFolder()).filePath(QStringLiteral("QORVConfig")); }
    QString iniPath() const { return QDir(workFolder()).filePath(QStringLiteral("qorv.ini")); }

    void seedProgramFolder(const ConfigImage& image)
    {
        writeImageFile(QDir(program.path()).filePath(QStringLiteral("last.qorv")), image);
    }
    void storeSetting(const QString& key, const QVariant& value)
    {
        QDir().mkpath(workFolder());
        QSettings(iniPath(), QSettings::IniFormat).setValue(key, value);
    }
    void start()
    {
        MainFormOptions options;
        options.backend = &backend;
        options.clock = &clock;
        options.dialogs = &dialogs;
        options.homePath = QString();
        options.fallbackHome = homeFolder();
        options.programFolder = program.path();
        options.openSettings = openSettings;
        form = std::make_unique<TMainForm>(options);
        timerWasStarted = form->Timer1->isActive();
        form->Timer1->stop();  // tests drive the tick themselves
    }
    void makeSettingsUnwritable()
    {
        openSettings = [](const QString& path) { return std::make_unique<UnwritableSettings>(path); };
    }
    void startWith(const ConfigImage& image)
    {
        seedProgramFolder(image);
        start();
    }
    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            form->Timer1Timer();
            clock.advance(1);
        }
    }
    QString log() const { return form->Memo1->toPlainText(); }
    QStringList logLines() const { return log().split(QLatin1Char('\n')); }
    QModelIndex cell(QTableView* view, int row, int column) const { return view->model()->index(row, column); }
    template <typename Model>
    QString text(Model& model, int row, int column) const { return model.cell(row, column).text; }
    // Whether the matrix shows the route of a body cell switched on, by the typed cell.
    bool routeOn(TMainForm& window, int row, int column) const
    {
        const MatrixCell c = window.matrixModel().cell(row, column);
        return c.kind == MatrixCell::Kind::Route && c.on;
    }

    QTemporaryDir home;
    QString homeName;  // a folder inside `home` to use as the home folder, when set
    QTemporaryDir program;
    SimRouter router{SimRouter::Mode::Absent};
    SimBackend backend{router};
    FakeClock clock{100};
    FakeDialogs dialogs;
    std::function<std::unique_ptr<Settings>(const QString&)> openSettings;
    std::unique_ptr<TMainForm> form;
    bool timerWasStarted = false;
};
