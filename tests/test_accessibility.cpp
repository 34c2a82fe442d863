// The window for every user: what a screen reader is told, Qt's own texts in the
// user's language, the safe answer to the close question, files that are not a
// configuration, and text that stays readable on any device colour.
#include "form_fixture.h"
#include "ui/grid_painting.h"
#include "text/texts.h"
#include "ui/group_box.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QCoreApplication>
#include <QPainter>
#include <QTest>

#include <array>
#include <cstdlib>

namespace {
QString accessibleText(QWidget* widget, QAccessible::Text kind = QAccessible::Name)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(kind) : QString();
}

QString cellText(QWidget* grid, int row, int column, QAccessible::Text kind = QAccessible::Name)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(grid);
    if (!face || !face->tableInterface())
        return QStringLiteral("<no table>");
    QAccessibleInterface* cell = face->tableInterface()->cellAt(row, column);
    return cell ? cell->text(kind) : QStringLiteral("<no cell>");
}

QAccessibleInterface* cellAt(QWidget* grid, int row, int column)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(grid);
    return face && face->tableInterface() ? face->tableInterface()->cellAt(row, column) : nullptr;
}

QString headerOf(QAccessibleInterface* cell, Qt::Orientation orientation)
{
    QAccessibleTableCellInterface* place = cell ? cell->tableCellInterface() : nullptr;
    if (!place)
        return QStringLiteral("<no cell>");
    const QList<QAccessibleInterface*> headers =
        orientation == Qt::Horizontal ? place->columnHeaderCells() : place->rowHeaderCells();
    if (headers.size() != 1)
        return QStringLiteral("<%1 headers>").arg(headers.size());
    const QAccessible::Role role = orientation == Qt::Horizontal ? QAccessible::ColumnHeader : QAccessible::RowHeader;
    return headers[0]->role() == role ? headers[0]->text(QAccessible::Name) : QStringLiteral("<wrong role>");
}
} // namespace

TEST_F(FormTest, ScreenReaderNamesEveryPartInTheCurrentLanguage)
{
    startWith(keysAndSynth());
    struct Expected {
        QString matrix, devices, log, route, routeState, keysColor, synthColor, remove;
    };
    const std::array<Expected, 2> languages = {{
        {QStringLiteral("Matriz de rutas"), QStringLiteral("Dispositivos"), QStringLiteral("Registro"),
         QString::fromUtf8("Keys In 1 → Synth Out 1"), QString::fromUtf8("Keys In 1 → Synth Out 1: activa"),
         QStringLiteral("Color de Keys: negro"), QStringLiteral("Color de Synth: #000101"), QStringLiteral("Eliminar Synth")},
        {QStringLiteral("Routing matrix"), QStringLiteral("Devices"), QStringLiteral("Log"),
         QString::fromUtf8("Keys In 1 → Synth Out 1"), QString::fromUtf8("Keys In 1 → Synth Out 1: on"),
         QStringLiteral("Color of Keys: black"), QStringLiteral("Color of Synth: #000101"), QStringLiteral("Remove Synth")},
    }};
    for (const Expected& e : languages) {
        SCOPED_TRACE(e.matrix.toStdString());
        EXPECT_EQ(accessibleText(form->SG), e.matrix);
        EXPECT_EQ(accessibleText(form->SGN), e.devices);
        EXPECT_EQ(accessibleText(form->Memo1), e.log);
        EXPECT_EQ(accessibleText(form->LMDGroupBox1), QStringLiteral("Firmware"));
        EXPECT_EQ(accessibleText(form->LMDGroupBox2), QString::fromUtf8("Configuración de rutas"));
        EXPECT_EQ(accessibleText(form->botonRecibir).isEmpty(), false);

        // The tables are their bodies: the header lines are header objects, and
        // rows and columns count from the first body cell, MIDI In → MIDI Out.
        QAccessibleInterface* matrix = QAccessible::queryAccessibleInterface(form->SG);
        ASSERT_NE(matrix->tableInterface(), nullptr);
        EXPECT_EQ(matrix->tableInterface()->rowCount(), 6);
        EXPECT_EQ(matrix->tableInterface()->columnCount(), 6);
        EXPECT_EQ(cellText(form->SG, 0, 0), QString::fromUtf8("MIDI In → MIDI Out"));
        // Row 1 is Keys In 1, column 3 Synth Out 1, a route that is on.
        QAccessibleInterface* route = cellAt(form->SG, 1, 3);
        ASSERT_NE(route, nullptr);
        EXPECT_EQ(route->text(QAccessible::Name), e.route);
        EXPECT_EQ(route->text(QAccessible::Description), e.routeState);
        EXPECT_EQ(route->tableCellInterface()->rowIndex(), 1);
        EXPECT_EQ(route->tableCellInterface()->columnIndex(), 3);
        EXPECT_EQ(headerOf(route, Qt::Horizontal), QStringLiteral("Synth Out 1"));
        EXPECT_EQ(headerOf(route, Qt::Vertical), QStringLiteral("Keys In 1"));
        EXPECT_TRUE(route->state().checkable);
        EXPECT_TRUE(route->state().checked);
        EXPECT_FALSE(cellAt(form->SG, 1, 1)->state().checked) << "Keys In 1 → Keys Out 2 is off";
        EXPECT_EQ(matrix->tableInterface()->rowDescription(1), QStringLiteral("Keys In 1"));
        EXPECT_EQ(matrix->tableInterface()->columnDescription(0), QStringLiteral("MIDI Out"));

        // The device table's body starts at Keys; a value is heard with its column's name.
        QAccessibleInterface* devices = QAccessible::queryAccessibleInterface(form->SGN);
        EXPECT_EQ(devices->tableInterface()->rowCount(), 2);
        EXPECT_EQ(cellText(form->SGN, 0, DeviceTableModel::kColorColumn), e.keysColor);
        EXPECT_EQ(cellText(form->SGN, 1, DeviceTableModel::kColorColumn), e.synthColor);
        EXPECT_EQ(cellText(form->SGN, 1, DeviceTableModel::kRemoveColumn), e.remove);
        EXPECT_EQ(cellText(form->SGN, 1, DeviceTableModel::kNameColumn), QStringLiteral("Synth"));
        EXPECT_EQ(headerOf(cellAt(form->SGN, 1, 3), Qt::Horizontal),
                  form->deviceModel().cell(0, 3).text) << "Puertos / Ports";
        EXPECT_EQ(headerOf(cellAt(form->SGN, 1, 3), Qt::Vertical), QStringLiteral("<0 headers>"));
        EXPECT_FALSE(cellAt(form->SGN, 1, DeviceTableModel::kColorColumn)->state().checkable);
        // The headers the grids draw as cells are also the models' headers.
        EXPECT_EQ(form->matrixModel().headerData(3, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("Keys In 1"));
        EXPECT_EQ(form->matrixModel().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("MIDI Out"));
        EXPECT_EQ(form->deviceModel().headerData(2, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("Synth"));
        form->English1Click();
    }
}

// What a screen reader says for a device's colour: the plain name where one is
// exactly it, in the window's language, else its hex value.
TEST(ColorNames, PlainNameWhereOneFitsElseHex)
{
    struct Case {
        int red, green, blue;
        const char* spanish;
        const char* english;
    };
    const std::array<Case, 6> cases = {{
        {255, 0, 0, "rojo", "red"},
        {0, 0, 0, "negro", "black"},
        {255, 165, 0, "naranja", "orange"},
        {0, 0, 128, "azul marino", "navy blue"},
        {0x1E, 0x90, 0xFF, "#1E90FF", "#1E90FF"},
        {254, 0, 0, "#FE0000", "#FE0000"},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.english);
        EXPECT_EQ(colorName(c.red, c.green, c.blue, UiLanguage::Spanish), QString::fromUtf8(c.spanish));
        EXPECT_EQ(colorName(c.red, c.green, c.blue, UiLanguage::English), QString::fromUtf8(c.english));
    }
}

// Qt's own buttons and dialogs speak the window's language, and switch with it.
TEST_F(FormTest, QtsOwnTextsFollowTheLanguage)
{
    start();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString::fromUtf8("&Sí"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancelar"));
    form->English1Click();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Yes"));
    form->Espaol1Click();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString::fromUtf8("&Sí"));
}

// Closing with changes not sent or saved asks, and Enter keeps the window.
TEST_F(FormTest, CloseQuestionDefaultsToKeepingTheWindow)
{
    startWith(keysAndSynth());
    form->SGClick(cell(form->SG, 4, 5));
    QCloseEvent close;
    QApplication::sendEvent(form.get(), &close);
    ASSERT_EQ(dialogs.defaults.size(), 1u);
    EXPECT_EQ(dialogs.defaults[0], DefaultAnswer::No);
    EXPECT_FALSE(close.isAccepted());
}

// A file that is not a configuration says so in one line and changes nothing.
TEST_F(FormTest, OpeningWhatIsNotAConfigurationChangesNothing)
{
    startWith(keysAndSynth());
    const ConfigImage before = form->session().image();
    struct Case {
        const char* name;
        int size;  // -1: no such file
        QString line;
    };
    const QString file = QDir(home.path()).filePath(QStringLiteral("bad.qorv"));
    const QString shown = QDir::toNativeSeparators(file);
    const std::array<Case, 4> cases = {{
        {"empty", 0, shown + QStringLiteral(" tiene 0 bytes; una configuración tiene exactamente 4096: no se ha abierto")},
        {"short", 100, shown + QStringLiteral(" tiene 100 bytes; una configuración tiene exactamente 4096: no se ha abierto")},
        {"long", 4097, shown + QStringLiteral(" tiene 4097 bytes; una configuración tiene exactamente 4096: no se ha abierto")},
        {"unreadable", -1, QStringLiteral("No se pudo abrir ") + shown},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(file);
        if (c.size >= 0) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(QByteArray(c.size, '\x11'));
        }
        const int lines = static_cast<int>(logLines().size());
        dialogs.openAnswers.push_back(file);
        form->botonAbrirClick();
        EXPECT_EQ(form->session().image(), before);
        EXPECT_EQ(logLines().size(), lines + 1);
        EXPECT_EQ(logLines().back(), QString::fromUtf8(c.line.toUtf8()));
        EXPECT_FALSE(form->undoAction->isEnabled());
        EXPECT_FALSE(form->configurationModified());
    }
}

// Names on a light device colour are drawn dark; on a dark one, light. A long
// name that its cell clips is whole in its tooltip.
TEST(GridPainting, TextStaysReadableOnAnyDeviceColour)
{
    struct Case {
        std::uint32_t color;  // 0x00BBGGRR
        QColor text;
    };
    const std::array<Case, 4> cases = {{
        {0xF0F0F0, Qt::black}, {0x80FFFF, Qt::black}, {0x000000, Qt::white}, {0x2A4AE0, Qt::white},
    }};
    ColorTable colors{};
    MatrixPaintStyle style;
    style.colors = &colors;
    QFont font;
    font.setPixelSize(11);
    style.font = font;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.color);
        colors[0] = c.color;
        MatrixCell name;
        name.kind = MatrixCell::Kind::DeviceName;
        name.placement = MatrixCell::Text::Name;
        name.text = QStringLiteral("MMMM");
        name.deviceSlot = 0;
        QImage image(80, 31, QImage::Format_RGB32);
        QPainter painter(&image);
        paintMatrixCell(painter, image.rect(), name, false, style);
        painter.end();
        // Pixels near the expected text colour and far from the fill.
        const int fill = colorFromTable(c.color).lightness();
        const int text = c.text.lightness();
        int textPixels = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int l = image.pixelColor(x, y).lightness();
                textPixels += std::abs(l - text) < 60 && std::abs(l - fill) > 60;
            }
        }
        EXPECT_GT(textPixels, 20);
    }

    // A name wider than its cell ends in an ellipsis instead of being cut off
    // at the cell's edge: text reaches no further than the ellipsis, which
    // ends short of the edge, and the cell is not simply the name clipped.
    const QString wide = QStringLiteral("WWWWWWWWWWWWWWWWWWW");
    DevicePaintStyle deviceStyle;
    deviceStyle.font = font;
    const auto lastTextColumn = [](const QImage& cell) {
        int last = -1;
        for (int x = 0; x < cell.width(); ++x)
            for (int y = 0; y < cell.height(); ++y)
                if (cell.pixelColor(x, y).lightness() > 200)
                    last = x;
        return last;
    };
    const auto paintName = [&](const QString& name) {
        QImage cell(126, 25, QImage::Format_RGB32);
        QPainter painter(&cell);
        paintDeviceCell(painter, cell.rect(), DeviceCell{DeviceCell::Kind::Text, name, 0}, false, deviceStyle);
        return cell;
    };
    const QImage elided = paintName(wide);
    // The same name only clipped by its cell, as it would be without the ellipsis.
    QImage cut = paintName(QString());
    {
        QPainter painter(&cut);
        painter.setClipRect(cut.rect());
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(cut.rect().adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, wide);
    }
    ASSERT_GE(lastTextColumn(cut), 124) << "the name is wider than its cell";
    EXPECT_LT(lastTextColumn(elided), 124) << "ends before the edge";
    EXPECT_GT(lastTextColumn(elided), 100) << "uses the room it has";
    EXPECT_NE(elided, cut);

    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 1, 1, 1, 1, "Drum Machine Deluxe");  // the longest name a slot holds
    RoutingMatrixModel matrix(image);
    matrix.rebuild();
    EXPECT_EQ(matrix.index(3, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("Drum Machine Deluxe"));
    EXPECT_EQ(matrix.index(3, 2).data(Qt::ToolTipRole).toString(), QString::fromUtf8("Drum Machine Deluxe In 1 → MIDI Out"));
    DeviceTableModel devices(image);
    devices.rebuild();
    EXPECT_EQ(devices.index(1, DeviceTableModel::kNameColumn).data(Qt::ToolTipRole).toString(),
              QStringLiteral("Drum Machine Deluxe"));
}

// The largest matrix answers at once: its children are the cells in view, any
// other cell is built when asked for by row and column, and moving the current
// cell announces that very cell.
TEST_F(FormTest, LargestMatrixAnswersAScreenReaderAtOnce)
{
    startWith(largestConfiguration());
    form->show();
    QAccessibleInterface* matrix = QAccessible::queryAccessibleInterface(form->SG);
    ASSERT_NE(matrix, nullptr);
    ASSERT_NE(matrix->tableInterface(), nullptr);
    EXPECT_EQ(matrix->tableInterface()->rowCount(), 257);
    EXPECT_EQ(matrix->tableInterface()->columnCount(), 257);
    const int children = matrix->childCount();
    EXPECT_GT(children, 0);
    EXPECT_LT(children, 400) << "only what is in view, not 67,081 cells";
    for (int i = 0; i < children; ++i) {
        QAccessibleInterface* cell = matrix->child(i);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(matrix->indexOfChild(cell), i);
        EXPECT_EQ(cell->role(), QAccessible::Cell);
    }
    QAccessibleInterface* far = matrix->tableInterface()->cellAt(256, 256);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->text(QAccessible::Name), QString::fromUtf8("Device 32 In 8 → Device 32 Out 8"));
    EXPECT_EQ(matrix->indexOfChild(far), -1) << "out of view";
    EXPECT_EQ(matrix->tableInterface()->rowDescription(1), QStringLiteral("Device 1 In 1"));

    // The cell a focus announcement names is the current one, and in view, also
    // after the grid scrolled to it.
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->SG->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->SG, Qt::Key_Right);
    QTest::keyClick(form->SG, Qt::Key_End, Qt::ControlModifier);
    QAccessibleInterface* focused = matrix->focusChild();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->text(QAccessible::Name), QString::fromUtf8("Device 32 In 8 → Device 32 Out 8"));
    EXPECT_TRUE(focused->state().focused);
    const int announced = matrix->indexOfChild(focused);
    ASSERT_GE(announced, 0) << "scrolled into view";
    EXPECT_EQ(matrix->child(announced), focused);
}
