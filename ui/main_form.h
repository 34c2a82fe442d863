#pragma once
#include "core/session.h"
#include "core/session_types.h"
#include "ui/dialogs.h"
#include "ui/grid_models.h"
#include "ui/grid_painting.h"
#include "ui/qt_texts.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class FramedGroup;
class FrozenHeaders;
class LogNotice;
class HidBackend;
class MillisecondClock;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;
class Trace;

// Where the window takes what it needs from outside, so tests can supply their own.
struct MainFormOptions {
    HidBackend* backend = nullptr;
    MillisecondClock* clock = nullptr;
    Dialogs* dialogs = nullptr;
    Trace* trace = nullptr;
    QString homePath;       // the HOMEPATH variable; empty where the system has none
    QString fallbackHome;   // the user's home folder, used without HOMEPATH
    QString programFolder;  // where the default "last.qorv" lies
    // Opens the settings file; null means the INI file in the work folder.
    std::function<std::unique_ptr<Settings>(const QString& path)> openSettings;
};

// Makes a Tahoma face available where the system has none.
void registerTahoma();

// The one window: log, buttons, device table and routing matrix.
class TMainForm : public QMainWindow, public SessionView, private DocumentListener {
    Q_OBJECT
public:
    explicit TMainForm(const MainFormOptions& options, QWidget* parent = nullptr);
    ~TMainForm() override;

    static constexpr int kClientWidth = 884;
    static constexpr int kClientHeight = 529;

    Session& session() { return *session_; }
    RoutingMatrixModel& matrixModel() { return *matrixModel_; }
    DeviceTableModel& deviceModel() { return *deviceModel_; }
    QWidget* clientArea() const { return centralWidget(); }

    // Handlers, named after their control and event.
    void FormCreate();
    void botonConectarClick();
    void botonFVerClick();
    void botonHexFileClick();
    void botonTodoClick();
    void botonRecibirClick();
    void botonEnviarClick();
    void botonAbrirClick();
    void botonGuardarClick();
    void botonEraseClick();
    void botonProgramClick();
    void botonVerifyClick();
    void botonSaltarClick();
    void Espaol1Click();
    void English1Click();
    void Timer1Timer();
    // With nothing to do the tick slows to this, so an idle window lets the
    // processor sleep: once a second it looks for a router plugged in or
    // pulled out (RouterConnection::kPlugCheckInterval), and nothing else.
    static constexpr int kIdleTickMilliseconds = 1000;
    void SGClick(const QModelIndex& index);
    void SGNClick(const QModelIndex& index);

    // Beyond the design: undo and redo of every edit of the configuration on
    // screen (undoAction, redoAction), and the mark of a configuration not yet
    // received, sent or saved; both are the session's document.
    bool configurationModified() const { return isWindowModified(); }

    void RebuildGrids();
    void AppendLogLine(const QString& text);
    void InsertLogText(const QString& text);

    // SessionView
    void logMessage(const LogMessage& message) override;
    void progressStep() override { InsertLogText(QStringLiteral("*")); }
    void statusChanged(const RouterStatus& status) override;
    void tickNeeded() override;
    void showError(const LogMessage& message) override;

    QPushButton* botonConectar = nullptr;
    FramedGroup* LMDGroupBox1 = nullptr;
    QPushButton* botonFVer = nullptr;
    QPushButton* botonHexFile = nullptr;
    QPushButton* botonTodo = nullptr;
    FramedGroup* LMDGroupBox2 = nullptr;
    QPushButton* botonEnviar = nullptr;
    QPushButton* botonRecibir = nullptr;
    QPushButton* botonAbrir = nullptr;
    QPushButton* botonGuardar = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QTableView* SGN = nullptr;
    QTableView* SG = nullptr;
    QMenu* Idioma1 = nullptr;
    QMenu* editMenu = nullptr;
    QAction* undoAction = nullptr;
    QAction* redoAction = nullptr;
    QAction* Espaol1 = nullptr;
    QAction* English1 = nullptr;
    QTimer* Timer1 = nullptr;
    FileDialogState OpenDialog1;
    FileDialogState SaveDialog1;
    FileDialogState OpenDialog2;
    QColor ColorDialog1 = Qt::black;   // the colour last picked; the dialog opens with it
    QImage Image1;
    QImage Image2;
    QImage Image3;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildEditMenu();
    void buildShortcuts();
    void refreshEditMenu();
    // DocumentListener: only what changed is refilled.
    void imageChanged(const ImageChange& change) override;
    void historyChanged() override;
    void setCaptions(UiLanguage language);
    void rebuildDeviceTable();
    void rebuildMatrix();
    void placeGrids();
    void ensureCurrentCell(QTableView* view);
    void setAccessibleTexts(UiLanguage language);
    void chooseLanguage(UiLanguage language);
    void setMenuTitles(UiLanguage language);

    MainFormOptions options_;
    std::unique_ptr<Session> session_;
    RoutingMatrixModel* matrixModel_ = nullptr;
    DeviceTableModel* deviceModel_ = nullptr;
    MatrixPaintStyle matrixPaint_;
    DevicePaintStyle devicePaint_;
    std::vector<QAction*> languageItems_;
    FrozenHeaders* frozenHeaders_ = nullptr;
    FrozenHeaders* frozenCaption_ = nullptr;
    LogNotice* notice_ = nullptr;
    // A focused button the router's state disabled; the log holds the focus
    // until the button is back, unless the user moves on.
    QPointer<QPushButton> focusLent_;
    QRect devicesDesigned_;
    QRect matrixDesigned_;
    QtTexts qtTexts_;
};
