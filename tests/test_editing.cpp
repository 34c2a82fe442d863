#include "config/config_files.h"
#include "form_fixture.h"
#include "text/texts.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <array>

namespace {
class EditTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        router.mode = SimRouter::Mode::Routes;
        router.image = keysAndSynth();
        router.image.toggleRoute(1, 2, 0, 1);
    }
    QString undoCaption() const { return form->undoAction->text(); }
    // The window shown and active, connected, with the focus where it opens.
    void startAtFirstControl(const ConfigImage& image)
    {
        startWith(image);
        tick(3);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->botonConectar->setFocus(Qt::ActiveWindowFocusReason);
    }
    // A key as the user presses it, to whatever has the keyboard: an open menu,
    // else the focus.
    static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::focusWidget();
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }
    // Every cell of both grids on screen shows `image`, as grids filled from it afresh do.
    void expectGridsShow(const ConfigImage& image)
    {
        RoutingMatrixModel matrix(image);
        matrix.rebuild();
        DeviceTableModel devices(image);
        devices.rebuild();
        const RoutingMatrixModel& shownMatrix = form->matrixModel();
        const DeviceTableModel& shownDevices = form->deviceModel();
        ASSERT_EQ(shownMatrix.rowCount(), matrix.rowCount());
        ASSERT_EQ(shownDevices.rowCount(), devices.rowCount());
        for (int r = 0; r < matrix.rowCount(); ++r)
            for (int c = 0; c < matrix.columnCount(); ++c) {
                ASSERT_EQ(shownMatrix.cell(r, c).on, matrix.cell(r, c).on) << r << "," << c;
                ASSERT_EQ(shownMatrix.cell(r, c).text, matrix.cell(r, c).text) << r << "," << c;
            }
        for (int r = 0; r < devices.rowCount(); ++r)
            for (int c = 0; c < DeviceTableModel::kColumns; ++c)
                ASSERT_EQ(shownDevices.cell(r, c).text, devices.cell(r, c).text) << r << "," << c;
    }
};
} // namespace

// Every kind of edit goes back and forth byte for byte.
TEST_F(EditTest, UndoAndRedoRestoreEachKindOfEdit)
{
    const QString file = QDir(home.path()).filePath(QStringLiteral("other.qorv"));
    writeImageFile(file, sampleConfiguration());
    startWith(keysAndSynth());
    tick(3);

    struct Case {
        const char* name;
        std::function<void()> edit;
        QString caption;
    };
    const std::vector<Case> cases = {
        {"route", [&] { form->SGClick(cell(form->SG, 4, 5)); }, QString::fromUtf8("Deshacer: ruta Keys In 2 → Synth Out 1")},
        {"router's MIDI thru", [&] { form->SGClick(cell(form->SG, 2, 2)); }, QString::fromUtf8("Deshacer: ruta MIDI In → MIDI Out")},
        {"device removed",
         [&] {
             dialogs.yesNo.push_back(true);
             form->SGNClick(cell(form->SGN, 1, 5));
         },
         QStringLiteral("Deshacer: eliminar Keys")},
        {"file opened",
         [&] {
             dialogs.openAnswers.push_back(file);
             form->botonAbrirClick();
         },
         QStringLiteral("Deshacer: abrir other.qorv")},
        {"configuration received", [&] { form->botonRecibirClick(); }, QString::fromUtf8("Deshacer: recibir la configuración")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ConfigImage before = form->session().image();
        c.edit();
        const ConfigImage after = form->session().image();
        ASSERT_NE(after, before);
        EXPECT_EQ(undoCaption(), c.caption);
        form->undoAction->trigger();
        EXPECT_EQ(form->session().image(), before);
        expectGridsShow(before);
        form->redoAction->trigger();
        EXPECT_EQ(form->session().image(), after);
        expectGridsShow(after);
    }
    // Back to the start through the whole history.
    while (form->undoAction->isEnabled())
        form->undoAction->trigger();
    EXPECT_EQ(form->session().image(), keysAndSynth());
}

// Each menu opens with Alt and its first letter, in either language, and F10
// opens the first; the keys are pressed from the window's first control.
TEST_F(EditTest, EditMenuInBothLanguagesWithItsShortcuts)
{
    ASSERT_NO_FATAL_FAILURE(startAtFirstControl(keysAndSynth()));
    const QList<QAction*> menus = form->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&Idioma"));
    EXPECT_EQ(menus[1]->text(), QString::fromUtf8("&Edición"));
    EXPECT_EQ(form->undoAction->text(), QStringLiteral("Deshacer"));
    EXPECT_FALSE(form->undoAction->isEnabled());
    EXPECT_EQ(form->undoAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(form->redoAction->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}));

    // Opens the menu a key names, checks it is the one shown, and closes it.
    const auto opens = [&](int key, Qt::KeyboardModifiers modifiers, QMenu* menu) {
        press(key, modifiers);
        const bool shown = QTest::qWaitFor([&] { return menu->isVisible(); }, 1000);
        const bool alone = !(menu == form->Idioma1 ? form->editMenu : form->Idioma1)->isVisible();
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        const bool closed = QTest::qWaitFor([&] { return !menu->isVisible(); }, 1000);
        return shown && alone && closed;
    };
    EXPECT_TRUE(opens(Qt::Key_I, Qt::AltModifier, form->Idioma1)) << "Alt+I";
    EXPECT_TRUE(opens(Qt::Key_E, Qt::AltModifier, form->editMenu)) << "Alt+E";
    EXPECT_TRUE(opens(Qt::Key_F10, Qt::NoModifier, form->Idioma1)) << "F10";

    // A route switched from the keyboard, for the Edit menu to name: Keys In 2 → Synth Out 1.
    ASSERT_EQ(QApplication::focusWidget(), form->botonConectar) << "Escape gives the focus back from the menus";
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->SG);
    for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Space})
        press(key);
    // English by the keyboard: Alt+I opens on Español; Down to English and Enter.
    press(Qt::Key_I, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Idioma1->isVisible(); }, 1000));
    press(Qt::Key_Down);
    press(Qt::Key_Return);
    ASSERT_EQ(form->botonGuardar->text(), QStringLiteral("Save"));
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&Language"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&Edit"));
    EXPECT_TRUE(opens(Qt::Key_L, Qt::AltModifier, form->Idioma1)) << "Alt+L";
    EXPECT_TRUE(opens(Qt::Key_E, Qt::AltModifier, form->editMenu)) << "Alt+E";
    EXPECT_EQ(form->undoAction->text(), QString::fromUtf8("Undo: route Keys In 2 → Synth Out 1"));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->redoAction->text(), QString::fromUtf8("Redo: route Keys In 2 → Synth Out 1"));
}

// The title's mark follows what has not reached the router or a file.
TEST_F(EditTest, ModifiedMarkAndTheCloseQuestion)
{
    startWith(keysAndSynth());
    tick(3);
    EXPECT_FALSE(form->isWindowModified()) << "the configuration loaded at start is the last received";

    form->SGClick(cell(form->SG, 4, 5));
    EXPECT_TRUE(form->isWindowModified());
    form->botonEnviarClick();
    EXPECT_FALSE(form->isWindowModified());
    EXPECT_EQ(router.image, form->session().image());

    form->SGClick(cell(form->SG, 4, 6));
    EXPECT_TRUE(form->isWindowModified());
    form->undoAction->trigger();
    EXPECT_FALSE(form->isWindowModified()) << "undone back to what was sent";

    form->SGClick(cell(form->SG, 4, 6));
    const QString saved = QDir(home.path()).filePath(QStringLiteral("saved.qorv"));
    dialogs.saveAnswers.push_back(saved);
    form->botonGuardarClick();
    EXPECT_FALSE(form->isWindowModified());

    form->SGClick(cell(form->SG, 4, 6));
    form->botonRecibirClick();
    EXPECT_FALSE(form->isWindowModified()) << "what was received";

    // Closing asks only while modified, and "No" keeps the window.
    QCloseEvent unmodified;
    QApplication::sendEvent(form.get(), &unmodified);
    EXPECT_TRUE(unmodified.isAccepted());
    EXPECT_TRUE(dialogs.questions.empty());
    form->SGClick(cell(form->SG, 4, 6));
    dialogs.yesNo.push_back(false);
    QCloseEvent kept;
    QApplication::sendEvent(form.get(), &kept);
    EXPECT_FALSE(kept.isAccepted());
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].first, QStringLiteral("Cambios sin enviar"));
    dialogs.yesNo.push_back(true);
    QCloseEvent closed;
    QApplication::sendEvent(form.get(), &closed);
    EXPECT_TRUE(closed.isAccepted());
}

// Keyboard only, from the window's first control, as a user without a mouse:
// Tab enters each grid with a current cell, the arrows move it, Space and Enter
// act on it, Tab leaves it again, and every control comes in the designed order.
TEST_F(EditTest, KeyboardOnlyFromTheFirstControl)
{
    ASSERT_NO_FATAL_FAILURE(startAtFirstControl(keysAndSynth()));

    // The device table: first body cell, then the colour of Synth.
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->SGN);
    EXPECT_EQ(form->SGN->currentIndex(), cell(form->SGN, 1, 0));
    press(Qt::Key_Down);
    press(Qt::Key_End);
    press(Qt::Key_Left);
    EXPECT_EQ(form->SGN->currentIndex(), cell(form->SGN, 2, DeviceTableModel::kColorColumn));
    dialogs.colorAnswers.push_back(QColor(1, 2, 3));
    press(Qt::Key_Enter);
    EXPECT_EQ(form->session().preferences().colors()[1], 0x030201u);

    // The matrix: MIDI In → MIDI Out first, then Keys In 2 → Synth Out 2.
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->SG);
    EXPECT_EQ(form->SG->currentIndex(), cell(form->SG, 2, 2));
    // The current cell is framed, also where it holds a route (MIDI thru is on).
    const QImage shot = form->SG->viewport()->grab().toImage();
    const QRect current = form->SG->visualRect(form->SG->currentIndex());
    EXPECT_EQ(shot.pixelColor(current.left() + 2, current.center().y()), QColor(0xFF, 0xD8, 0x00));
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Right);
    EXPECT_EQ(form->SG->currentIndex(), cell(form->SG, 4, 6));
    press(Qt::Key_Space);
    EXPECT_TRUE(form->matrixModel().cell(4, 6).on);
    press(Qt::Key_Return);
    EXPECT_FALSE(form->matrixModel().cell(4, 6).on);
    press(Qt::Key_Space);

    // Out of the matrix, through the log, to the buttons: Enviar sends the route.
    const std::vector<QWidget*> rest = {form->Memo1, form->botonFVer, form->botonAbrir, form->botonEnviar};
    for (QWidget* next : rest) {
        press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    press(Qt::Key_Space);
    EXPECT_EQ(logLines().back(), QString::fromUtf8("Configuración enviada"));
    ConfigImage expected = keysAndSynth();
    expected.toggleRoute(0, 1, 1, 1);  // Keys In 2 → Synth Out 2
    EXPECT_EQ(router.image, expected);
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->botonGuardar);
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->botonRecibir);
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->botonConectar) << "round to the first control";

    // Back into the device table, which keeps its cell: remove Keys with the wastebasket.
    press(Qt::Key_Tab);
    EXPECT_EQ(form->SGN->currentIndex(), cell(form->SGN, 2, DeviceTableModel::kColorColumn));
    press(Qt::Key_Up);
    press(Qt::Key_End);
    dialogs.yesNo.push_back(true);
    press(Qt::Key_Space);
    EXPECT_EQ(form->deviceModel().rowCount(), 2);
    EXPECT_EQ(form->deviceModel().cell(1, 1).text, QStringLiteral("Synth"));
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), form->botonConectar) << "Shift+Tab leaves the grid backwards";
}

// A device removed or brought back refills both grids; the keyboard keeps its
// place in each: the same device, port or route where it still exists, else the
// nearest, and the arrows and Space work at once.
TEST_F(EditTest, KeyboardKeepsItsCellThroughDeviceChanges)
{
    ASSERT_NO_FATAL_FAILURE(startAtFirstControl(keysAndSynth()));

    // In the matrix, Synth In 1 → Synth Out 2 (row 5, column 6).
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->SG);
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Down);
    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Right);
    ASSERT_EQ(form->SG->currentIndex(), cell(form->SG, 5, 6));

    // Back in the device table, Keys goes in the wastebasket.
    press(Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), form->SGN);
    press(Qt::Key_End);
    ASSERT_EQ(form->SGN->currentIndex(), cell(form->SGN, 1, DeviceTableModel::kRemoveColumn));
    dialogs.yesNo.push_back(true);
    press(Qt::Key_Space);
    ASSERT_EQ(form->deviceModel().rowCount(), 2);
    EXPECT_EQ(form->SGN->currentIndex(), cell(form->SGN, 1, DeviceTableModel::kRemoveColumn))
        << "the row Keys left, now Synth's";
    press(Qt::Key_Left);
    EXPECT_EQ(form->SGN->currentIndex(), cell(form->SGN, 1, DeviceTableModel::kColorColumn));

    // The matrix kept the same route, two lines up now that Keys' ports are gone.
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->SG);
    EXPECT_EQ(form->SG->currentIndex(), cell(form->SG, 3, 4));
    press(Qt::Key_Space);
    EXPECT_TRUE(form->matrixModel().cell(3, 4).on);

    // Undo twice from the keyboard: the route, then Keys. Both grids follow.
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(form->matrixModel().cell(3, 4).on);
    press(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(form->deviceModel().rowCount(), 3);
    EXPECT_EQ(form->SG->currentIndex(), cell(form->SG, 5, 6)) << "Synth In 1 → Synth Out 2 again";
    EXPECT_EQ(form->SGN->currentIndex(), cell(form->SGN, 2, DeviceTableModel::kColorColumn)) << "still Synth";

    // Redo takes Keys away again: the route moves up with the cell on it, and
    // the arrows and Enter go on from there.
    press(Qt::Key_Y, Qt::ControlModifier);
    ASSERT_EQ(form->deviceModel().rowCount(), 2);
    EXPECT_EQ(form->SG->currentIndex(), cell(form->SG, 3, 4));
    press(Qt::Key_Up);
    EXPECT_EQ(form->SG->currentIndex(), cell(form->SG, 2, 4));
    press(Qt::Key_Return);
    EXPECT_TRUE(form->matrixModel().cell(2, 4).on) << "MIDI In → Synth Out 2";
}

// The routes' buttons answer their keys wherever the focus is, say so in their
// tooltips in either language, and a key whose button is not available does nothing.
TEST_F(EditTest, RouteButtonsByKey)
{
    ASSERT_NO_FATAL_FAILURE(startAtFirstControl(ConfigImage::empty()));
    // Spanish names the keys as Qt's Spanish texts do ("Control+O" where they are installed).
    const auto spanish = [](const char* caption, const QKeySequence& key) {
        return QString::fromUtf8(caption) + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
    };
    EXPECT_EQ(form->botonAbrir->toolTip(), spanish("Abrir", QKeySequence(Qt::CTRL | Qt::Key_O)));
    EXPECT_EQ(form->botonGuardar->toolTip(), spanish("Guardar", QKeySequence(Qt::CTRL | Qt::Key_S)));
    EXPECT_EQ(form->botonRecibir->toolTip(), spanish("Recibir", QKeySequence(Qt::CTRL | Qt::Key_R)));
    EXPECT_EQ(form->botonEnviar->toolTip(), spanish("Enviar", QKeySequence(Qt::CTRL | Qt::Key_E)));

    // From the first control: receive, then save what was received.
    press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(logLines().back(), QString::fromUtf8("Configuración recibida"));
    EXPECT_EQ(form->session().image(), router.image);
    const QString saved = QDir(homeFolder()).filePath(QStringLiteral("by-key.qorv"));
    dialogs.saveAnswers.push_back(saved);
    press(Qt::Key_S, Qt::ControlModifier);
    ConfigImage file;
    ASSERT_EQ(readImageFile(saved, file), static_cast<qint64>(kImageSize));
    EXPECT_EQ(file, router.image);

    // From inside the matrix: a route switched with Space goes out with Ctrl+E.
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->SG);
    press(Qt::Key_Space);  // MIDI In → MIDI Out
    const ConfigImage edited = form->session().image();
    ASSERT_NE(edited, router.image);
    press(Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(logLines().back(), QString::fromUtf8("Configuración enviada"));
    EXPECT_EQ(router.image, edited);

    // Ctrl+O opens the saved file again, and the focus stays in the matrix.
    dialogs.openAnswers.push_back(saved);
    press(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(form->session().image(), file);
    EXPECT_EQ(QApplication::focusWidget(), form->SG);

    // Unplugged: Recibir is not available, and its key asks nothing of the router.
    router.unplug();
    tick(2000);
    ASSERT_FALSE(form->botonRecibir->isEnabled());
    const std::size_t written = router.written.size();
    press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(router.written.size(), written);

    // English from the Idioma menu, with clicks.
    QMenuBar* bar = form->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(form->Idioma1->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Idioma1->isVisible(); }));
    QTest::mouseClick(form->Idioma1, Qt::LeftButton, {}, form->Idioma1->actionGeometry(form->English1).center());
    ASSERT_EQ(form->botonGuardar->text(), QStringLiteral("Save"));
    EXPECT_EQ(form->botonGuardar->toolTip(), QStringLiteral("Save (Ctrl+S)"));
    EXPECT_EQ(form->botonEnviar->toolTip(), QStringLiteral("Send (Ctrl+E)"));
}

namespace {
// The first object under `root` in the accessibility tree with `role`.
QAccessibleInterface* findRole(QAccessibleInterface* root, QAccessible::Role role)
{
    if (!root)
        return nullptr;
    if (root->role() == role)
        return root;
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* found = findRole(root->child(i), role))
            return found;
    return nullptr;
}
} // namespace

// From the keyboard, what a screen reader is told: a result line by a
// notification that takes no focus, the current cell of a grid as a switch
// whose state follows Space (on the very object the reader holds), a switch it
// can work itself, and a new colour by its name.
TEST_F(EditTest, ScreenReaderIsToldOfEachChange)
{
    ASSERT_NO_FATAL_FAILURE(startAtFirstControl(ConfigImage::empty()));
    press(Qt::Key_R, Qt::ControlModifier);
    QAccessibleInterface* notice = findRole(QAccessible::queryAccessibleInterface(form.get()), QAccessible::Notification);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(QAccessible::Name), QString::fromUtf8("Configuración recibida"));
    EXPECT_FALSE(notice->state().invisible);
    EXPECT_TRUE(notice->rect().isEmpty()) << "it takes no room in the window";
    EXPECT_EQ(QApplication::focusWidget(), form->botonConectar) << "the focus stays where it was";

    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->SG);
    QAccessibleInterface* matrix = QAccessible::queryAccessibleInterface(form->SG);
    QAccessibleInterface* current = matrix->focusChild();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->text(QAccessible::Name), QString::fromUtf8("MIDI In → MIDI Out"));
    EXPECT_TRUE(current->state().focused);
    EXPECT_TRUE(current->state().checkable);

    // Keys In 2 → Synth Out 1 (off in what was received): Space switches it on.
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Right);
    current = matrix->focusChild();
    ASSERT_EQ(current->text(QAccessible::Name), QString::fromUtf8("Keys In 2 → Synth Out 1"));
    const bool wasOn = current->state().checked;
    press(Qt::Key_Space);
    EXPECT_NE(current->state().checked, wasOn) << "the object a reader holds tells the new state";
    EXPECT_NE(routeOn(*form, 4, 5), wasOn);
    EXPECT_EQ(matrix->focusChild(), current);
    // A screen reader can switch it back itself, by Qt's name for the action or AT-SPI's.
    QAccessibleActionInterface* action = current->actionInterface();
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->actionNames(), QStringList{QStringLiteral("toggle")});
    action->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(routeOn(*form, 4, 5), wasOn);
    EXPECT_EQ(current->state().checked, wasOn);

    // Back in the device table: Keys' colour, made red, is heard by its name.
    press(Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), form->SGN);
    press(Qt::Key_End);
    press(Qt::Key_Left);
    QAccessibleInterface* colour = QAccessible::queryAccessibleInterface(form->SGN)->focusChild();
    ASSERT_NE(colour, nullptr);
    dialogs.colorAnswers.push_back(QColor(255, 0, 0));
    press(Qt::Key_Return);
    EXPECT_EQ(colour->text(QAccessible::Name), QStringLiteral("Color de Keys: rojo"));
    EXPECT_EQ(colour->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("Color"));
}

// A button the router's state takes away hands the focus to the log, where the
// outcome is written, not to the next button; it takes the focus back when it
// returns, unless the user has moved on. A button the keyboard moved the focus
// to wears a frame that shows on its face.
TEST_F(EditTest, FocusWaitsInTheLogForAButtonTakenAway)
{
    ASSERT_NO_FATAL_FAILURE(startAtFirstControl(keysAndSynth()));
    // As the window opens, before any key, the first button has the focus but
    // no frame: the window looks as designed.
    const QImage opened = form->botonConectar->grab().toImage();
    EXPECT_NE(opened.pixelColor(2, opened.height() / 2), QColor(0xFF, 0xD8, 0x00));
    press(Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), form->botonRecibir);
    const QImage framed = form->botonRecibir->grab().toImage();
    EXPECT_EQ(framed.pixelColor(2, framed.height() / 2), QColor(0xFF, 0xD8, 0x00));
    EXPECT_EQ(framed.pixelColor(0, framed.height() / 2), QColor(Qt::black));

    router.unplug();
    tick(1500);
    ASSERT_FALSE(form->botonRecibir->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), form->Memo1);
    router.plugIn();
    tick(1500);
    ASSERT_TRUE(form->botonRecibir->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), form->botonRecibir);
    press(Qt::Key_Space);
    EXPECT_EQ(logLines().back(), QString::fromUtf8("Configuración recibida"));

    router.unplug();
    tick(1500);
    ASSERT_EQ(QApplication::focusWidget(), form->Memo1);
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->botonFVer);
    router.plugIn();
    tick(1500);
    EXPECT_EQ(QApplication::focusWidget(), form->botonFVer) << "the user moved on";
}

// Offline, the window connects by itself when the router is plugged in; a router
// pulled out while nothing runs is reported and waited for.
TEST_F(EditTest, PlugAndUnplug)
{
    router.mode = SimRouter::Mode::Absent;
    startWith(keysAndSynth());
    EXPECT_EQ(logLines().back(), QStringLiteral("QORV desconectado"));
    tick(2000);
    EXPECT_EQ(logLines().back(), QStringLiteral("QORV desconectado")) << "no line per failed look";

    router.mode = SimRouter::Mode::Routes;
    tick(1000);
    EXPECT_EQ(logLines().mid(logLines().size() - 2),
              (QStringList{QStringLiteral("QORV CONECTADO"), QStringLiteral("QORV en modo rutas")}));
    EXPECT_TRUE(form->botonRecibir->isEnabled());

    router.unplug();
    tick(2);
    EXPECT_EQ(logLines().back(), QStringLiteral("QORV desconectado"));
    EXPECT_FALSE(form->botonRecibir->isEnabled());
    EXPECT_FALSE(form->session().isOpen());

    router.plugIn();
    tick(1100);
    EXPECT_EQ(logLines().back(), QStringLiteral("QORV en modo rutas"));
    EXPECT_TRUE(form->botonEnviar->isEnabled());
}

// An idle window wakes at most twice a second, connected in routes mode,
// connected to the bootloader with nothing queued, and offline; it still
// notices a router pulled out or plugged in within a second and a half. The
// tick is run as its timer would run it, at the interval the window sets.
TEST_F(EditTest, IdleWindowSleepsYetNoticesThePlug)
{
    // Runs the tick for `ms` of the clock; returns how many times it woke.
    auto run = [&](std::uint32_t ms, const std::function<bool()>& until = {}) {
        int wakeUps = 0;
        const std::uint32_t start = clock.now();
        while (clock.now() - start < ms && !(until && until())) {
            form->Timer1Timer();
            ++wakeUps;
            clock.advance(static_cast<std::uint32_t>(form->Timer1->interval()));
        }
        return wakeUps;
    };
    auto lastLine = [&](const char* line) { return [&, line] { return logLines().back() == QString::fromUtf8(line); }; };

    router.mode = SimRouter::Mode::Routes;
    startWith(keysAndSynth());
    run(500);
    ASSERT_EQ(logLines().back(), QStringLiteral("QORV en modo rutas"));
    EXPECT_LE(run(10000), 20) << "connected in routes mode";

    router.unplug();
    std::uint32_t at = clock.now();
    run(5000, lastLine("QORV desconectado"));
    EXPECT_LE(clock.now() - at, 1500u) << "pulled out";
    EXPECT_LE(run(10000), 20) << "offline";

    router.plugIn();
    at = clock.now();
    run(5000, lastLine("QORV en modo rutas"));
    EXPECT_LE(clock.now() - at, 1500u) << "plugged in";
    EXPECT_EQ(logLines().back(), QStringLiteral("QORV en modo rutas"));

    // The bootloader, with nothing queued once its version is known.
    router.mode = SimRouter::Mode::Update;
    QTest::mouseClick(form->botonConectar, Qt::LeftButton);
    EXPECT_EQ(form->Timer1->interval(), 1) << "the Version command is queued: the tick is fast at once";
    run(500);
    ASSERT_TRUE(logLines().join(QLatin1Char('\n')).contains(QStringLiteral("QORV en modo Actualización")));
    EXPECT_LE(run(10000), 20) << "connected in update mode";
}
