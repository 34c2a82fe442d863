#include "ui/main_form.h"

#include "config/device_name.h"
#include "core/work_folder.h"
#include "ui/button_states.h"
#include "ui/grid_models.h"
#include "ui/frozen_headers.h"
#include "ui/grid_view.h"
#include "ui/group_box.h"
#include "ui/log_notice.h"
#include "ui/pictures.h"
#include "text/texts.h"

#include <QCloseEvent>
#include <QPainter>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QFontDatabase>
#include <QHeaderView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

namespace {
const QColor kWindowGrey(0x80, 0x80, 0x80);

QFont tahoma(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// Menu entries carry their flag pictures at full size.
class FlagMenuStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_SmallIconSize)
            return 50;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// The menu bar underlines its mnemonics only while it is in use (Alt, F10 or a
// menu open), as on Windows, so the bar looks the same until the keyboard asks
// for it; Alt alone takes the keyboard to the bar.
class MenuBarStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        if (hint == SH_UnderlineShortcut) {
            const auto* bar = qobject_cast<const QMenuBar*>(widget);
            return bar && (bar->hasFocus() || bar->activeAction());
        }
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// A button with the keyboard's focus wears the same frame as a grid's current
// cell: black at its edge and yellow inside, plain on any face. As on Windows,
// it shows once the keyboard has moved the focus, not for a click.
class ButtonFocusStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        const State keyboardFocus = State_HasFocus | State_KeyboardFocusChange;
        if (element != CE_PushButton || (option->state & keyboardFocus) != keyboardFocus)
            return;
        painter->save();
        painter->setPen(QPen(Qt::black, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->setPen(QPen(QColor(0xFF, 0xD8, 0x00), 2));
        painter->drawRect(option->rect.adjusted(2, 2, -2, -2));
        painter->restore();
    }
};

// A menu title with its first letter as its mnemonic (Alt+I for Idioma).
QString withMnemonic(const QString& title)
{
    QString escaped = title;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QLatin1Char('&') + escaped;
}

// "ruta Keys In 1 → Synth Out 2", in a language.
QString editText(const EditDescription& edit, UiLanguage language)
{
    const auto words = [](EditKind kind) {
        switch (kind) {
        case EditKind::Route:
            return Text::UndoRoute;
        case EditKind::RemoveDevice:
            return Text::UndoRemove;
        case EditKind::Open:
            return Text::UndoOpen;
        case EditKind::Receive:
            break;
        }
        return Text::UndoReceive;
    };
    QString text = uiText(words(edit.kind), language);
    if (text.contains(QLatin1String("%2")))
        return text.arg(edit.first, edit.second);
    if (text.contains(QLatin1String("%1")))
        return text.arg(edit.first);
    return text;
}

QTableView* makeGrid(QWidget* parent, QAbstractItemModel* model, QStyledItemDelegate* delegate)
{
    auto* view = new GridView(parent);
    view->setModel(model);
    view->setItemDelegate(delegate);
    view->horizontalHeader()->hide();
    view->verticalHeader()->hide();
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Sized to its content where the window has room, so bars appear only for a
    // configuration larger than that; the current cell is always scrolled into view.
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setAutoScroll(true);
    // Tab leaves the grid; the arrows, Home and End move inside it.
    view->setTabKeyNavigation(false);
    view->setFrameShape(QFrame::NoFrame);
    view->setShowGrid(true);
    view->setWordWrap(false);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Base, kWindowGrey);
    palette.setColor(QPalette::Mid, QColor(0x18, 0x18, 0x18));
    view->setPalette(palette);
    // Sections include the 1-pixel grid line; the cell itself keeps the designed size.
    view->horizontalHeader()->setMinimumSectionSize(1);
    view->verticalHeader()->setMinimumSectionSize(1);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    return view;
}

// Where a grid's current cell is, by what its row and column stand for.
struct CellSpot {
    bool valid = false;
    int row = 0;
    int column = 0;
    std::string rowKey;
    std::string columnKey;
};

template <typename RowKey, typename ColumnKey>
CellSpot rememberCell(const QTableView* view, const RowKey& rowKey, const ColumnKey& columnKey)
{
    const QModelIndex current = view->currentIndex();
    if (!current.isValid())
        return {};
    return {true, current.row(), current.column(), rowKey(current.row()), columnKey(current.column())};
}

// A refill that changes a grid's size takes its current cell away, and with it
// the keyboard's place: arrows, Space and Enter would do nothing. The cell comes
// back on the same row and column where they still exist, else the nearest.
template <typename RowKey, typename ColumnKey>
void restoreCell(QTableView* view, const CellSpot& spot, const RowKey& rowKey, const ColumnKey& columnKey)
{
    const QAbstractItemModel* model = view->model();
    if (!spot.valid || view->currentIndex().isValid() || model->rowCount() == 0 || model->columnCount() == 0)
        return;
    const auto find = [](int count, int was, const std::string& key, const auto& keyOf) {
        for (int line = 0; line < count; ++line) {
            if (keyOf(line) == key)
                return line;
        }
        return std::clamp(was, 0, count - 1);
    };
    view->setCurrentIndex(model->index(find(model->rowCount(), spot.row, spot.rowKey, rowKey),
                                       find(model->columnCount(), spot.column, spot.columnKey, columnKey)));
}

// The routes' four buttons by key from anywhere in the window; a button that is
// not available ignores its key. Each button's tooltip names its key.
struct ButtonKey {
    QPushButton* TMainForm::*button;
    QKeySequence key;
};
const std::array<ButtonKey, 4>& buttonKeys()
{
    static const std::array<ButtonKey, 4> keys = {{
        {&TMainForm::botonAbrir, QKeySequence(QKeySequence::Open)},
        {&TMainForm::botonGuardar, QKeySequence(QKeySequence::Save)},
        {&TMainForm::botonRecibir, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {&TMainForm::botonEnviar, QKeySequence(Qt::CTRL | Qt::Key_E)},
    }};
    return keys;
}

QPushButton* makeButton(QWidget* parent, Text text, int left, int top, int width, QStyle* style)
{
    auto* button = new QPushButton(formText(text), parent);
    button->setGeometry(left, top, width, 25);
    button->setStyle(style);
    return button;
}
} // namespace

void registerTahoma()
{
#ifndef Q_OS_WIN  // Windows has the face itself
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
#endif
}

TMainForm::TMainForm(const MainFormOptions& options, QWidget* parent)
    : QMainWindow(parent), options_(options),
      session_(std::make_unique<Session>(*options.backend, *options.clock, *this, options.trace))
{
    buildControls();
    session_->document().setListener(this);
    FormCreate();
}

TMainForm::~TMainForm()
{
    session_->document().setListener(nullptr);
}

void TMainForm::buildControls()
{
    // "[*]" shows only while the configuration on screen has not been sent or saved.
    setWindowTitle(FixedText::kTitle + QStringLiteral("[*]"));
    setWindowIcon(Pictures::appIcon());
    setFont(tahoma(11));

    auto* client = new QWidget(this);
    client->setAutoFillBackground(true);
    QPalette palette = client->palette();
    palette.setColor(QPalette::Window, kWindowGrey);
    client->setPalette(palette);
    setCentralWidget(client);

    auto* barStyle = new MenuBarStyle;
    barStyle->setParent(this);
    menuBar()->setStyle(barStyle);
    Idioma1 = menuBar()->addMenu(withMnemonic(formText(Text::MenuLanguage)));
    // setStyle does not take ownership; the window does.
    auto* menuStyle = new FlagMenuStyle;
    menuStyle->setParent(this);
    Idioma1->setStyle(menuStyle);
    // One item per language, in the table's order; the first two carry the window's own names.
    for (const LanguageInfo& entry : kLanguages) {
        QAction* item = Idioma1->addAction(QIcon(QPixmap::fromImage(Pictures::flag(entry.flag))), formText(entry.menuCaption));
        connect(item, &QAction::triggered, this, [this, language = entry.language] { chooseLanguage(language); });
        languageItems_.push_back(item);
    }
    Espaol1 = languageItems_[static_cast<std::size_t>(UiLanguage::Spanish)];
    English1 = languageItems_[static_cast<std::size_t>(UiLanguage::English)];

    buildEditMenu();

    // setStyle does not take ownership; the window does.
    auto* buttonStyle = new ButtonFocusStyle;
    buttonStyle->setParent(this);
    botonConectar = makeButton(client, Text::Connect, 8, 28, 75, buttonStyle);

    const QColor frame = client->palette().color(QPalette::Highlight);
    LMDGroupBox1 = new FramedGroup(FixedText::kFirmwareCaption, tahoma(12), QColor(0x80, 0x00, 0x00), frame,
                                   QColor(0x00, 0x80, 0xFF), client);
    LMDGroupBox1->setGeometry(104, 11, 289, 52);
    botonFVer = makeButton(LMDGroupBox1, Text::CurrentVersion, 13, 17, 84, buttonStyle);
    botonHexFile = makeButton(LMDGroupBox1, Text::HexFile, 112, 17, 75, buttonStyle);
    botonTodo = makeButton(LMDGroupBox1, Text::Update, 203, 17, 75, buttonStyle);

    LMDGroupBox2 = new FramedGroup(FixedText::kRoutesCaption, tahoma(11), Qt::white, frame,
                                   QColor(0x00, 0x80, 0xFF), client);
    LMDGroupBox2->setGeometry(418, 11, 383, 52);
    botonEnviar = makeButton(LMDGroupBox2, Text::Send, 15, 17, 75, buttonStyle);
    botonRecibir = makeButton(LMDGroupBox2, Text::Receive, 97, 17, 75, buttonStyle);
    botonAbrir = makeButton(LMDGroupBox2, Text::Open, 210, 17, 75, buttonStyle);
    botonGuardar = makeButton(LMDGroupBox2, Text::Save, 292, 17, 75, buttonStyle);

    Memo1 = new QPlainTextEdit(client);
    Memo1->setGeometry(8, 75, 385, 123);
    Memo1->setFont(tahoma(11, true));
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, QColor(0x38, 0x38, 0x38));
    memoPalette.setColor(QPalette::Text, QColor(0x00, 0xFF, 0x00));
    Memo1->setPalette(memoPalette);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setTabChangesFocus(true);
    Memo1->setPlainText(FixedText::kLogFirstLine + QStringLiteral("\n\n"));

    Image1 = Pictures::routeMark();
    Image2 = Pictures::logo();
    Image3 = Pictures::wastebasket();

    deviceModel_ = new DeviceTableModel(session_->image(), &session_->preferences().colors(), this);
    devicePaint_.colors = &session_->preferences().colors();
    devicePaint_.wastebasket = Image3;
    devicePaint_.font = tahoma(11);
    devicePaint_.selection = client->palette().color(QPalette::Highlight);
    SGN = makeGrid(client, deviceModel_, new DeviceDelegate(*deviceModel_, devicePaint_, this));
    SGN->setGeometry(8, 219, 385, 129);
    SGN->horizontalHeader()->setDefaultSectionSize(64);
    SGN->verticalHeader()->setDefaultSectionSize(25);
    connect(SGN, &QTableView::clicked, this, &TMainForm::SGNClick);
    SGN->installEventFilter(this);
    devicesDesigned_ = SGN->geometry();

    matrixModel_ = new RoutingMatrixModel(session_->image(), this);
    matrixPaint_.colors = &session_->preferences().colors();
    matrixPaint_.logo = Image2;
    matrixPaint_.routeMark = Image1;
    matrixPaint_.font = tahoma(11, true);
    matrixPaint_.selection = client->palette().color(QPalette::Highlight);
    auto* matrixDelegate = new MatrixDelegate(*matrixModel_, matrixPaint_, this);
    SG = makeGrid(client, matrixModel_, matrixDelegate);
    SG->setGeometry(418, 75, 320, 298);
    SG->horizontalHeader()->setDefaultSectionSize(31);
    SG->verticalHeader()->setDefaultSectionSize(31);
    connect(SG, &QTableView::clicked, this, &TMainForm::SGClick);
    SG->installEventFilter(this);
    matrixDesigned_ = SG->geometry();
    frozenHeaders_ = new FrozenHeaders(SG, matrixDelegate);
    frozenCaption_ = new FrozenHeaders(SGN, SGN->itemDelegate());
    notice_ = new LogNotice(client);

    connect(botonConectar, &QPushButton::clicked, this, &TMainForm::botonConectarClick);
    connect(botonFVer, &QPushButton::clicked, this, &TMainForm::botonFVerClick);
    connect(botonHexFile, &QPushButton::clicked, this, &TMainForm::botonHexFileClick);
    connect(botonTodo, &QPushButton::clicked, this, &TMainForm::botonTodoClick);
    connect(botonEnviar, &QPushButton::clicked, this, &TMainForm::botonEnviarClick);
    connect(botonRecibir, &QPushButton::clicked, this, &TMainForm::botonRecibirClick);
    connect(botonAbrir, &QPushButton::clicked, this, &TMainForm::botonAbrirClick);
    connect(botonGuardar, &QPushButton::clicked, this, &TMainForm::botonGuardarClick);
    buildShortcuts();
    // The buttons that follow the router start as the one rule has them for no router.
    statusChanged(RouterStatus{});

    // Named as in the design, for tools that find controls by name.
    const std::pair<QObject*, const char*> names[] = {
        {botonConectar, "botonConectar"}, {botonFVer, "botonFVer"},   {botonHexFile, "botonHexFile"},
        {botonTodo, "botonTodo"},         {botonEnviar, "botonEnviar"}, {botonRecibir, "botonRecibir"},
        {botonAbrir, "botonAbrir"},       {botonGuardar, "botonGuardar"}, {Memo1, "Memo1"},
        {SGN, "SGN"},                     {SG, "SG"},
    };
    for (const auto& [control, name] : names)
        control->setObjectName(QLatin1String(name));

    QWidget::setTabOrder(botonConectar, SGN);
    QWidget::setTabOrder(SGN, SG);
    QWidget::setTabOrder(SG, Memo1);
    QWidget::setTabOrder(Memo1, botonFVer);
    QWidget::setTabOrder(botonFVer, botonHexFile);
    QWidget::setTabOrder(botonHexFile, botonTodo);
    QWidget::setTabOrder(botonTodo, botonAbrir);
    QWidget::setTabOrder(botonAbrir, botonEnviar);
    QWidget::setTabOrder(botonEnviar, botonGuardar);
    QWidget::setTabOrder(botonGuardar, botonRecibir);

    OpenDialog1.filter = FixedText::kConfigFilter;
    OpenDialog1.initialDir = QStringLiteral("./");
    OpenDialog2.filter = FixedText::kHexFilter;

    Timer1 = new QTimer(this);
    Timer1->setInterval(1);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

void TMainForm::FormCreate()
{
    const QString folder = workFolderPath(options_.homePath, options_.fallbackHome);
    prepareWorkFolder(folder, options_.programFolder);
    QDir::setCurrent(folder);
    session_->preferences().useWorkFolder(folder, options_.openSettings
        ? options_.openSettings(QDir(folder).filePath(QString::fromLatin1(Settings::kFileName))) : nullptr);
    session_->preferences().load();
    // The stored language is chosen as its menu item would (English1Click for
    // English). One that cannot be stored again shows the error box there;
    // start-up still goes on to load, draw and connect.
    if (const UiLanguage stored = session_->preferences().storedLanguage(); stored != UiLanguage::Spanish)
        chooseLanguage(stored);
    else
        setAccessibleTexts(UiLanguage::Spanish);
    OpenDialog1.initialDir = QDir::currentPath();
    SaveDialog1.initialDir = QDir::currentPath();
    session_->loadLastConfiguration();
    session_->watchForRouter(true);
    botonConectarClick();
    Timer1->start();
}

// Every button that follows the router is set here, from the published status.
void TMainForm::statusChanged(const RouterStatus& status)
{
    const ButtonStates states = buttonStates(status);
    const std::pair<QPushButton*, bool> buttons[] = {
        {botonRecibir, states.receive}, {botonEnviar, states.send},
        {botonHexFile, states.hexFile}, {botonTodo, states.update},
    };
    for (const auto& [button, enabled] : buttons) {
        // Qt would pass the focus of a disabled button to the next one in
        // the chain; the log, where the outcome is written, keeps it instead.
        if (!enabled && button->hasFocus()) {
            focusLent_ = button;
            Memo1->setFocus(Qt::OtherFocusReason);
        }
        button->setEnabled(enabled);
    }
    if (focusLent_ && focusLent_->isEnabled()) {
        if (Memo1->hasFocus())
            focusLent_->setFocus(Qt::OtherFocusReason);
        focusLent_ = nullptr;
    }
}

void TMainForm::logMessage(const LogMessage& message)
{
    AppendLogLine(messageText(message, session_->preferences().language()));
}

void TMainForm::showError(const LogMessage& message)
{
    options_.dialogs->showError(this, messageText(message, session_->preferences().language()));
}

// A new last line; a text ending in a line break leaves the caret on an empty last
// line, where later InsertLogText calls grow.
void TMainForm::AppendLogLine(const QString& text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::End);
    if (!Memo1->document()->lastBlock().text().isEmpty())
        line.prepend(QLatin1Char('\n'));
    cursor.insertText(line);
    Memo1->setTextCursor(cursor);
    notice_->say(text);
}

void TMainForm::InsertLogText(const QString& text)
{
    QTextCursor cursor = Memo1->textCursor();
    cursor.insertText(text);
    Memo1->setTextCursor(cursor);
}

void TMainForm::botonConectarClick() { session_->connect(); }
void TMainForm::botonFVerClick() { session_->update().queueVersion(); }
void TMainForm::botonTodoClick() { session_->update().startUpdate(); }
void TMainForm::botonEraseClick() { session_->update().erase(); }
void TMainForm::botonProgramClick() { session_->update().program(); }
void TMainForm::botonVerifyClick() { session_->update().verify(); }
void TMainForm::botonSaltarClick() { session_->update().jump(); }
void TMainForm::botonRecibirClick() { session_->receiveConfiguration(); }
void TMainForm::botonEnviarClick() { session_->sendConfiguration(); }

void TMainForm::Timer1Timer()
{
    session_->tick();
    const int interval = session_->needsFastTick() ? 1 : kIdleTickMilliseconds;
    if (Timer1->interval() != interval)
        Timer1->setInterval(interval);
}

void TMainForm::tickNeeded()
{
    if (Timer1 && Timer1->interval() != 1)
        Timer1->setInterval(1);
}

void TMainForm::botonHexFileClick()
{
    const std::optional<QString> chosen = options_.dialogs->openFile(this, OpenDialog2.filter, OpenDialog2.initialDir);
    if (chosen)
        OpenDialog2.fileName = *chosen;
    const std::filesystem::path path(OpenDialog2.fileName.toStdU16String());
    session_->chooseFirmware(chosen ? &path : nullptr, QDir::toNativeSeparators(OpenDialog2.fileName));
}

void TMainForm::botonAbrirClick()
{
    if (const auto chosen = options_.dialogs->openFile(this, OpenDialog1.filter, OpenDialog1.initialDir)) {
        OpenDialog1.fileName = *chosen;
        session_->openConfiguration(*chosen);
    }
}

void TMainForm::botonGuardarClick()
{
    if (const auto chosen = options_.dialogs->saveFile(this, SaveDialog1.initialDir)) {
        SaveDialog1.fileName = *chosen;
        session_->saveConfiguration(*chosen);
    }
}

void TMainForm::setCaptions(UiLanguage language)
{
    const std::pair<QPushButton*, Text> buttons[] = {
        {botonConectar, Text::Connect}, {botonFVer, Text::CurrentVersion},     {botonHexFile, Text::HexFile},
        {botonTodo, Text::Update},         {botonEnviar, Text::Send}, {botonRecibir, Text::Receive},
        {botonAbrir, Text::Open},       {botonGuardar, Text::Save},
    };
    for (const auto& [control, text] : buttons)
        control->setText(uiText(text, language));
    setMenuTitles(language);
    for (std::size_t i = 0; i < kLanguages.size(); ++i)
        languageItems_[i]->setText(uiText(kLanguages[i].menuCaption, language));
}

// What a screen reader calls the controls that show no text of their own.
void TMainForm::setAccessibleTexts(UiLanguage language)
{
    SG->setAccessibleName(uiText(Text::NameMatrix, language));
    SGN->setAccessibleName(uiText(Text::NameDevices, language));
    Memo1->setAccessibleName(uiText(Text::NameLog, language));
    LMDGroupBox1->setAccessibleName(FixedText::kFirmwareCaption.trimmed());
    LMDGroupBox2->setAccessibleName(FixedText::kRoutesCaption.trimmed());
    qtTexts_.use(language);
    // The key as Qt names it in this language, as in the Edición menu.
    for (const auto& [member, key] : buttonKeys()) {
        QPushButton* button = this->*member;
        button->setToolTip(button->text() + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
    }
}

void TMainForm::setMenuTitles(UiLanguage language)
{
    Idioma1->setTitle(withMnemonic(uiText(Text::MenuLanguage, language)));
    editMenu->setTitle(withMnemonic(uiText(Text::MenuEdit, language)));
}

void TMainForm::Espaol1Click() { chooseLanguage(UiLanguage::Spanish); }
void TMainForm::English1Click() { chooseLanguage(UiLanguage::English); }

void TMainForm::chooseLanguage(UiLanguage language)
{
    if (!session_->preferences().setLanguage(language))
        return;
    setCaptions(language);
    setAccessibleTexts(language);
    deviceModel_->setLanguage(language);
    matrixModel_->setLanguage(language);
    refreshEditMenu();
}

void TMainForm::RebuildGrids()
{
    rebuildDeviceTable();
    rebuildMatrix();
}

void TMainForm::rebuildDeviceTable()
{
    const auto rowKey = [this](int row) { return deviceModel_->rowKey(row); };
    const auto columnKey = [](int column) { return std::to_string(column); };
    const CellSpot spot = rememberCell(SGN, rowKey, columnKey);
    deviceModel_->setLanguage(session_->preferences().language());
    deviceModel_->rebuild();
    restoreCell(SGN, spot, rowKey, columnKey);
    for (int column = 0; column < DeviceTableModel::kColumns; ++column)
        SGN->setColumnWidth(column, DeviceTableModel::columnWidth(column) + 1);
    placeGrids();
}

void TMainForm::rebuildMatrix()
{
    const auto lineKey = [this](int line) { return matrixModel_->lineKey(line); };
    const CellSpot spot = rememberCell(SG, lineKey, lineKey);
    matrixModel_->rebuild();
    restoreCell(SG, spot, lineKey, lineKey);
    SG->setColumnWidth(MatrixLayout::kNameLine, 155);
    SG->setColumnWidth(MatrixLayout::kPortLine, 47);
    SG->setRowHeight(MatrixLayout::kNameLine, 154);
    SG->setRowHeight(MatrixLayout::kPortLine, 48);
    placeGrids();
    frozenHeaders_->refresh();
}

// Each grid has its designed size for its content, as far as the window has
// room for it; past that it scrolls, and a larger window shows more of it.
void TMainForm::placeGrids()
{
    // Never smaller than a header and a line, however small the window is made.
    constexpr int kLeast = 60;
    // The client area as the window's size gives it, laid out or not yet.
    const int menuHeight = menuBar()->isVisible() ? menuBar()->height() : menuBar()->sizeHint().height();
    const QSize room(width(), height() - menuHeight);
    const int margin = devicesDesigned_.left();
    const int deviceHeight = static_cast<int>(std::floor(deviceModel_->rowCount() * 26.5));
    const int deviceRoom = std::max(kLeast, room.height() - devicesDesigned_.top() - margin);
    // A scrolling device table is wider by its scroll bar, so that every column,
    // the wastebasket's too, stays in view.
    const int scrollBar = deviceHeight > deviceRoom ? SGN->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, SGN) : 0;
    SGN->resize(devicesDesigned_.width() + scrollBar, std::min(deviceHeight, deviceRoom));
    const int side = static_cast<int>(std::floor((matrixModel_->layout().size() - 2) * 31.5 + 204));
    SG->resize(std::min(side, std::max(kLeast, room.width() - matrixDesigned_.left() - margin)),
               std::min(side, std::max(kLeast, room.height() - matrixDesigned_.top() - margin)));
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (SG && SGN)
        placeGrids();
}

void TMainForm::SGClick(const QModelIndex& index)
{
    const std::optional<Route> route = matrixModel_->layout().routeAt(index.row(), index.column());
    if (!route)
        return;
    // Refused only when a new entry is needed and all route slots are taken.
    if (!session_->document().toggle(*route, {EditKind::Route, matrixModel_->sourceName(route->source),
                                               matrixModel_->destinationName(route->destination)}))
        logMessage(Msg::RouteTableFull);
}

void TMainForm::SGNClick(const QModelIndex& index)
{
    const int slot = deviceModel_->slotAt(index.row());
    if (slot < 0)
        return;
    if (index.column() == DeviceTableModel::kColorColumn) {
        const std::optional<QColor> picked = options_.dialogs->pickColor(this, ColorDialog1);
        if (!picked)
            return;
        ColorDialog1 = *picked;
        // Kept for this run even when the settings file cannot store it.
        session_->preferences().setColor(slot, colorToTable(*picked));
        deviceModel_->colorChanged(slot);
        matrixModel_->colorChanged(slot);
    } else if (index.column() == DeviceTableModel::kRemoveColumn) {
        const QString name = deviceModel_->cell(index.row(), DeviceTableModel::kNameColumn).text;
        const UiLanguage language = session_->preferences().language();
        if (!options_.dialogs->askYesNo(this, uiText(Text::RemoveTitle, language),
                                        uiText(Text::RemoveQuestion, language).arg(name), DefaultAnswer::Yes))
            return;
        session_->document().removeDevice(slot, {EditKind::RemoveDevice, name, {}});
    }
}

void TMainForm::buildShortcuts()
{
    // F10 opens the first menu, as in most desktops.
    connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(Idioma1->menuAction()); });
    for (const auto& [member, key] : buttonKeys()) {
        QPushButton* button = this->*member;
        connect(new QShortcut(key, this), &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    }
}

void TMainForm::buildEditMenu()
{
    editMenu = menuBar()->addMenu(withMnemonic(formText(Text::MenuEdit)));
    undoAction = editMenu->addAction(formText(Text::Undo));
    undoAction->setShortcut(QKeySequence::Undo);
    redoAction = editMenu->addAction(formText(Text::Redo));
    redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(undoAction, &QAction::triggered, this, [this] { session_->document().undo(); });
    connect(redoAction, &QAction::triggered, this, [this] { session_->document().redo(); });
    refreshEditMenu();
}

// "Deshacer: ruta Keys In 1 → Synth Out 2", in the language shown now.
void TMainForm::refreshEditMenu()
{
    const UiLanguage language = session_ ? session_->preferences().language() : UiLanguage::Spanish;
    const auto caption = [&](Text action, const EditDescription* edit) {
        const QString name = uiText(action, language);
        return edit ? name + QStringLiteral(": ") + editText(*edit, language) : name;
    };
    const ConfigDocument* document = session_ ? &session_->document() : nullptr;
    const bool canUndo = document && document->canUndo();
    const bool canRedo = document && document->canRedo();
    undoAction->setText(caption(Text::Undo, canUndo ? &document->undoDescription() : nullptr));
    redoAction->setText(caption(Text::Redo, canRedo ? &document->redoDescription() : nullptr));
    undoAction->setEnabled(canUndo);
    redoAction->setEnabled(canRedo);
}

// Only what changed is refilled: the same devices keep both grids' size and
// names, and one route switched repaints its one cell.
void TMainForm::imageChanged(const ImageChange& change)
{
    switch (change.kind) {
    case ImageChange::Kind::Devices:
        RebuildGrids();
        break;
    case ImageChange::Kind::Routes:
        matrixModel_->rebuild();  // the same size: the current cell stays
        break;
    case ImageChange::Kind::Route:
        matrixModel_->switchRoute(change.route);
        break;
    }
}

void TMainForm::historyChanged()
{
    setWindowModified(session_->document().modified());
    refreshEditMenu();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    const UiLanguage language = session_->preferences().language();
    if (isWindowModified()
        && !options_.dialogs->askYesNo(this, uiText(Text::QuitTitle, language), uiText(Text::QuitQuestion, language),
                                       DefaultAnswer::No)) {
        event->ignore();
        return;
    }
    event->accept();
}

// A grid entered from the keyboard has a current cell at once: the last one used,
// or its first body cell.
void TMainForm::ensureCurrentCell(QTableView* view)
{
    if (view->currentIndex().isValid())
        return;
    const QModelIndex first = view == SG ? matrixModel_->index(MatrixLayout::kRouterLine, MatrixLayout::kRouterLine)
                                         : deviceModel_->index(1, 0);
    if (first.isValid())
        view->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect);
}

// Space or Enter on the current cell acts as a click on it.
bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && (watched == SG || watched == SGN))
        ensureCurrentCell(static_cast<QTableView*>(watched));
    if (event->type() == QEvent::KeyPress && (watched == SG || watched == SGN)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == SG)
                SGClick(SG->currentIndex());
            else
                SGNClick(SGN->currentIndex());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
