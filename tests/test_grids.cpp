#include "form_fixture.h"
#include "ui/grid_painting.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>

#include <QTest>

#include <array>
#include <cstring>

namespace {
ConfigImage twoAndThree()
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 0x0A1B, 0x00FF, 4294967295u, 2, "Keys");
    putDevice(image, 1, 0x1234, 0x5678, 42, 3, "Synth");
    return image;
}

QColor pixel(QTableView* view, const QImage& shot, int column, int row, QPoint offset = {5, 5})
{
    const QRect rect = view->visualRect(view->model()->index(row, column));
    return shot.pixelColor(rect.topLeft() + offset);
}
} // namespace

TEST_F(FormTest, MatrixTextsAndSizes)
{
    struct Case {
        const char* name;
        ConfigImage image;
        int cells;
        int side;
    };
    ConfigImage withEmpty = ConfigImage::empty();
    putDevice(withEmpty, 0, 1, 1, 1, 2, "A");
    putDevice(withEmpty, 1, 2, 2, 2, 0, "Hidden");
    putDevice(withEmpty, 2, 3, 3, 3, 1, "C");
    const std::array<Case, 3> cases = {{
        {"no devices", ConfigImage::empty(), 3, 235},
        {"2 and 3 ports", twoAndThree(), 8, 393},
        {"a device without ports in between", withEmpty, 6, 330},
    }};
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->session().document().load(c.image);
        auto& m = form->matrixModel();
        EXPECT_EQ(m.rowCount(), c.cells);
        EXPECT_EQ(m.columnCount(), c.cells);
        EXPECT_EQ(form->SG->size(), QSize(c.side, c.side));
        EXPECT_EQ(text(m, 2, 0), QStringLiteral("MIDI"));
        EXPECT_EQ(text(m, 0, 2), QStringLiteral("MIDI"));
        EXPECT_EQ(text(m, 2, 1), QStringLiteral("In"));
        EXPECT_EQ(text(m, 1, 2), QStringLiteral("Out"));
        EXPECT_EQ(text(m, 2, 2), QStringLiteral("X")) << "MIDI thru, on in an empty image";
        EXPECT_TRUE(routeOn(*form, 2, 2));
        for (int r = 0; r < 2; ++r) {
            for (int col = 0; col < 2; ++col) {
                EXPECT_TRUE(text(m, r, col).isEmpty());
            }
        }
    }
    // The last case: "C" starts where "Hidden" would have.
    auto& m = form->matrixModel();
    EXPECT_EQ(text(m, 0, 5), QStringLiteral("C"));
    for (int i = 0; i < m.rowCount(); ++i)
        EXPECT_NE(text(m, 0, i), QStringLiteral("Hidden"));

    form->session().document().load(twoAndThree());
    EXPECT_EQ(text(m, 0, 5), QStringLiteral("Synth"));
    EXPECT_EQ(text(m, 5, 0), QStringLiteral("Synth"));
    EXPECT_TRUE(text(m, 0, 6).isEmpty()) << "only the first port carries the name";
    EXPECT_EQ(text(m, 1, 7), QStringLiteral("Out 3"));
    EXPECT_EQ(text(m, 5, 1), QStringLiteral("In 1"));
}

TEST_F(FormTest, ClickingBodyCellsTogglesEachKindOfRoute)
{
    startWith(twoAndThree());
    const ConfigImage& image = form->session().image();
    const ConfigImage before = image;
    QTableView* sg = form->SG;

    // (6, 4): source port 1 of device 0 to destination port 1 of device 1.
    QTest::mouseClick(sg->viewport(), Qt::LeftButton, {}, sg->visualRect(cell(sg, 4, 6)).center());
    EXPECT_TRUE(routeOn(*form, 4, 6));
    EXPECT_EQ(image.routeSlot(0)[0], 0);
    EXPECT_EQ(image.routeSlot(0)[1], 1);
    EXPECT_EQ(image.routeSlot(0)[2 + 1], 0x02);
    EXPECT_EQ(sg->currentIndex(), cell(sg, 4, 6));

    form->SGClick(cell(sg, 4, 6));
    EXPECT_FALSE(routeOn(*form, 4, 6));
    EXPECT_EQ(image.routeEntryCount(), 1) << "the entry stays, all masks zero";
    for (std::size_t i = 0; i < kImageSize; ++i) {
        if (i < kRouteTableOffset || i >= kRouteTableOffset + 10) {
            ASSERT_EQ(image.rawBytes()[i], before.rawBytes()[i]) << i;
        }
    }

    form->SGClick(cell(sg, 2, 2));
    EXPECT_TRUE(image.midiThruOff());
    form->SGClick(cell(sg, 2, 7));   // MIDI In -> Synth Out 3
    EXPECT_EQ(image.device(1).midiInMask, 0x04);
    form->SGClick(cell(sg, 4, 2));   // Keys In 2 -> MIDI Out
    EXPECT_EQ(image.device(0).midiOutMask, 0x02);

    const ConfigImage unchanged = image;
    form->SGClick(cell(sg, 4, 1));   // header cells give no click
    form->SGClick(cell(sg, 0, 4));
    EXPECT_EQ(image, unchanged);
}

TEST_F(FormTest, RouteBitsBeyondThePortsAreNeverMarked)
{
    ConfigImage image = twoAndThree();
    image.deviceSlot(0)[8] = 0xFC;   // Keys has two ports
    image.toggleRoute(0, 0, 1, 0);
    image.routeSlot(0)[2] = 0xF8;    // Synth has three ports
    startWith(image);
    int marks = 0;
    auto& m = form->matrixModel();
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < m.columnCount(); ++c)
            marks += routeOn(*form, r, c);
    EXPECT_EQ(marks, 1) << "only MIDI In -> MIDI Out";
}

TEST_F(FormTest, MatrixPaintsMarksColoursAndHeaderCells)
{
    ConfigImage image = twoAndThree();
    image.toggleRoute(0, 0, 1, 0);
    startWith(image);
    form->session().preferences().setColor(0, 0x0000FF);  // red, as 0x00BBGGRR
    form->session().preferences().setColor(1, 0xFF0000);  // blue
    form->show();
    const QImage shot = form->SG->grab().toImage();
    QTableView* sg = form->SG;
    EXPECT_EQ(pixel(sg, shot, 5, 3, {15, 15}), QColor(0xB5, 0xE6, 0x1D)) << "route mark in the middle of its cell";
    EXPECT_EQ(pixel(sg, shot, 5, 3, {1, 1}), QColor(0x2A, 0x2A, 0x2A));
    EXPECT_EQ(pixel(sg, shot, 4, 3), QColor(0x28, 0x28, 0x28)) << "empty body cell";
    EXPECT_EQ(pixel(sg, shot, 1, 3, {25, 20}), QColor(Qt::red)) << "Keys In 1";
    EXPECT_EQ(pixel(sg, shot, 5, 1, {20, 5}), QColor(Qt::blue)) << "Synth Out 1";
    EXPECT_EQ(pixel(sg, shot, 6, 0, {15, 5}), QColor(0x3B, 0x3B, 0x3B)) << "second port's empty name cell";
    EXPECT_EQ(pixel(sg, shot, 0, 2, {150, 25}), QColor(Qt::black)) << "the router's own MIDI In";
    EXPECT_EQ(pixel(sg, shot, 0, 0, {0, 0}), QColor(Qt::black)) << "the logo's ground";
    EXPECT_EQ(pixel(sg, shot, 1, 1), QColor(0x3B, 0x3B, 0x3B));
    // On that ground, the logo's white lettering and red waves (a picture the
    // program carries: were it missing, the corner would be all black).
    int white = 0, red = 0;
    for (int y = 0; y < 154; ++y) {
        for (int x = 0; x < 155; ++x) {
            const QColor c = shot.pixelColor(x, y);
            white += c.red() > 240 && c.green() > 240 && c.blue() > 240;
            red += c.red() > 180 && c.green() < 80 && c.blue() < 80;
        }
    }
    EXPECT_GT(white, 600);
    EXPECT_GT(red, 1000);
}

TEST_F(FormTest, DeviceTableRows)
{
    ConfigImage three = twoAndThree();
    // Names are in code page 1252: 0x80 is the euro sign, 0x93/0x94 curly quotes, 0xE9 é.
    putDevice(three, 2, 0xBEEF, 0x0001, 7, 1, "Drums \x80\x93\xE9\x94");
    struct Case {
        ConfigImage image;
        int rows;
        int height;
    };
    const std::array<Case, 2> cases = {{{ConfigImage::empty(), 1, 26}, {three, 4, 106}}};
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        form->session().document().load(c.image);
        EXPECT_EQ(form->deviceModel().rowCount(), c.rows);
        EXPECT_EQ(form->SGN->height(), c.height);
        EXPECT_EQ(form->SGN->width(), 385);
        EXPECT_EQ(text(form->deviceModel(), 0, 1), QStringLiteral("Dispositivo"));
        EXPECT_EQ(text(form->deviceModel(), 0, 2), QString::fromUtf8("Nºserie"));
        EXPECT_FALSE(form->deviceModel().flags(cell(form->SGN, 0, 0)) & Qt::ItemIsSelectable);
    }
    auto& m = form->deviceModel();
    EXPECT_EQ(text(m, 1, 0), QStringLiteral("0A1B / 00FF"));
    EXPECT_EQ(text(m, 1, 1), QStringLiteral("Keys"));
    EXPECT_EQ(text(m, 1, 2), QStringLiteral("4294967295"));
    EXPECT_EQ(text(m, 2, 3), QStringLiteral("3"));
    EXPECT_EQ(text(m, 3, 0), QStringLiteral("BEEF / 0001"));
    EXPECT_EQ(text(m, 3, 1), QString::fromUtf8("Drums €“é”"));
    EXPECT_TRUE(text(m, 1, 4).isEmpty());
    EXPECT_TRUE(text(m, 1, 5).isEmpty());
}

TEST_F(FormTest, PickingAColourStoresOnlyThatSlot)
{
    ConfigImage three = twoAndThree();
    // Names are in code page 1252: 0x80 is the euro sign, 0x93/0x94 curly quotes, 0xE9 é.
    putDevice(three, 2, 0xBEEF, 0x0001, 7, 1, "Drums \x80\x93\xE9\x94");
    startWith(three);
    form->show();

    dialogs.colorAnswers.push_back(std::nullopt);
    form->SGNClick(cell(form->SGN, 3, 4));
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_EQ(form->session().preferences().colors()[2], 2u * 65792u);

    // The new colour repaints what shows it, Drums' colour cell and the names
    // beside and above its one port's lines (8), and nothing else.
    QSignalSpy devicesChanged(&form->deviceModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy matrixChanged(&form->matrixModel(), &QAbstractItemModel::dataChanged);
    dialogs.colorAnswers.push_back(QColor(0x11, 0x22, 0x33));
    form->SGNClick(cell(form->SGN, 3, 4));
    EXPECT_EQ(form->session().preferences().colors()[2], 0x332211u);
    const auto ranges = [](const QSignalSpy& spy) {
        std::vector<std::pair<QModelIndex, QModelIndex>> result;
        for (const QList<QVariant>& signal : spy)
            result.emplace_back(signal[0].toModelIndex(), signal[1].toModelIndex());
        return result;
    };
    const QAbstractItemModel& m = form->matrixModel();
    EXPECT_EQ(ranges(devicesChanged), (std::vector<std::pair<QModelIndex, QModelIndex>>{
                                          {cell(form->SGN, 3, 4), cell(form->SGN, 3, 4)}}));
    EXPECT_EQ(ranges(matrixChanged), (std::vector<std::pair<QModelIndex, QModelIndex>>{
                                         {m.index(8, 0), m.index(8, 1)}, {m.index(0, 8), m.index(1, 8)}}));
    const QImage matrixShot = form->SG->grab().toImage();
    EXPECT_EQ(pixel(form->SG, matrixShot, 8, 0, {1, 1}), QColor(0x11, 0x22, 0x33)) << "Drums above its column";
    EXPECT_EQ(pixel(form->SG, matrixShot, 0, 8, {1, 1}), QColor(0x11, 0x22, 0x33)) << "Drums beside its row";
    QSettings ini(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.allKeys(), QStringList{QStringLiteral("Colores/color3")});
    EXPECT_EQ(ini.value(QStringLiteral("Colores/color3")).toInt(), 0x332211);
    const QImage shot = form->SGN->grab().toImage();
    EXPECT_EQ(pixel(form->SGN, shot, 4, 3, {10, 10}), QColor(0x11, 0x22, 0x33));

    dialogs.colorAnswers.push_back(std::nullopt);
    form->SGNClick(cell(form->SGN, 1, 4));
    ASSERT_EQ(dialogs.colorInitials.size(), 3u);
    EXPECT_EQ(dialogs.colorInitials[0], QColor(Qt::black)) << "not preset with the device's colour";
    EXPECT_EQ(dialogs.colorInitials[2], QColor(0x11, 0x22, 0x33)) << "opens with the last pick";
}

TEST_F(FormTest, RemovingADeviceAsksFirst)
{
    ConfigImage three = twoAndThree();
    putDevice(three, 2, 0xBEEF, 0x0001, 7, 1, "Drums");
    three.toggleRoute(0, 0, 2, 0);
    startWith(three);

    dialogs.yesNo.push_back(false);
    form->SGNClick(cell(form->SGN, 2, 5));
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].first, QStringLiteral("Eliminar dispositivo"));
    EXPECT_EQ(dialogs.questions[0].second, QString::fromUtf8("¿Quiere eliminar Synth?"));
    EXPECT_EQ(form->session().image(), three);

    dialogs.yesNo.push_back(true);
    form->SGNClick(cell(form->SGN, 1, 5));
    EXPECT_EQ(dialogs.questions[1].second, QString::fromUtf8("¿Quiere eliminar Keys?"));
    auto& m = form->deviceModel();
    EXPECT_EQ(m.rowCount(), 3);
    EXPECT_EQ(text(m, 1, 1), QStringLiteral("Synth"));
    EXPECT_EQ(text(m, 2, 1), QStringLiteral("Drums"));
    EXPECT_EQ(form->matrixModel().rowCount(), 3 + 4);
    EXPECT_EQ(form->session().image().routeEntryCount(), 0);
}

TEST_F(FormTest, LargestConfigurationBuildsTheWholeMatrix)
{
    startWith(largestConfiguration());
    EXPECT_EQ(form->matrixModel().rowCount(), 259);
    EXPECT_EQ(form->deviceModel().rowCount(), 33);
    // Far larger than the window: both grids stay inside it, 8 pixels from its
    // edges, and scroll over their whole content.
    form->show();
    const QRect client = form->clientArea()->rect();
    EXPECT_EQ(form->SG->geometry().right() + 1, client.width() - 8);
    EXPECT_EQ(form->SG->geometry().bottom() + 1, client.height() - 8);
    EXPECT_EQ(form->SGN->geometry().bottom() + 1, client.height() - 8);
    EXPECT_EQ(form->SG->horizontalHeader()->length(), 155 + 47 + 257 * 31);
    EXPECT_EQ(form->SGN->verticalHeader()->length(), 33 * 25);
    EXPECT_TRUE(form->SG->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(form->SGN->verticalScrollBar()->isVisible());
    EXPECT_FALSE(form->SGN->horizontalScrollBar()->isVisible()) << "every column of the device table in view";
    EXPECT_LE(form->SGN->geometry().right(), form->SG->geometry().left());
    // Scrolled to its far corner from the keyboard, the matrix still shows the
    // names beside and above the cells in view: the pixels there are the header
    // cells' fills, not what the grid itself has scrolled under them.
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->SG->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->SG, Qt::Key_End, Qt::ControlModifier);
    ASSERT_GT(form->SG->verticalScrollBar()->value(), 0);
    ASSERT_GT(form->SG->horizontalScrollBar()->value(), 0);
    const QImage shot = form->SG->grab().toImage();  // the grid and what is drawn over it (its viewport at 0, 0)
    const auto headerFill = [&](const MatrixCell& cell) {
        return cell.kind == MatrixCell::Kind::DeviceName ? colorFromTable(form->session().preferences().colors()[static_cast<std::size_t>(cell.deviceSlot)])
                                                         : GridColors::kHeader;
    };
    const int lastRow = form->SG->rowAt(form->SG->viewport()->height() - 1);
    const int lastColumn = form->SG->columnAt(form->SG->viewport()->width() - 1);
    ASSERT_GT(lastRow, 200);
    ASSERT_GT(lastColumn, 200);
    const QRect rowCell = form->SG->visualRect(form->matrixModel().index(lastRow, lastColumn));
    EXPECT_EQ(shot.pixelColor(150, rowCell.center().y()), headerFill(form->matrixModel().cell(lastRow, 0)))
        << "the source's name on the left";
    EXPECT_EQ(shot.pixelColor(rowCell.left() + 25, 20), headerFill(form->matrixModel().cell(0, lastColumn)))
        << "the destination's name on top";

    // The device table, scrolled to its last device, keeps its caption row on
    // top: the wastebasket column's caption is the header's plain fill there.
    QTest::mouseClick(form->SGN->viewport(), Qt::LeftButton, {},
                      form->SGN->visualRect(form->deviceModel().index(1, 0)).center());
    ASSERT_EQ(QApplication::focusWidget(), form->SGN);
    QTest::keyClick(form->SGN, Qt::Key_End, Qt::ControlModifier);
    ASSERT_GT(form->SGN->verticalScrollBar()->value(), 0);
    const QImage devices = form->SGN->grab().toImage();
    const QRect caption = form->SGN->visualRect(form->deviceModel().index(0, DeviceTableModel::kRemoveColumn));
    EXPECT_EQ(devices.pixelColor(caption.center().x(), 12), GridColors::kHeader) << "the caption row stays in view";

    // A larger window shows more of them.
    const int narrower = form->SG->width();
    form->resize(form->width() + 200, form->height() + 100);
    QApplication::processEvents();
    EXPECT_EQ(form->SG->width(), narrower + 200);
    form->SGClick(cell(form->SG, 3, 4));
    EXPECT_TRUE(routeOn(*form, 3, 4));
    // The route table is full: a pair without an entry cannot be added, and the log says so.
    const ConfigImage before = form->session().image();
    form->SGClick(cell(form->SG, 258, 258));
    EXPECT_FALSE(routeOn(*form, 258, 258));
    EXPECT_EQ(form->session().image(), before);
    EXPECT_EQ(logLines().back(), QStringLiteral("Tabla de rutas llena: no cabe otra ruta"));
}

TEST_F(FormTest, ColourThatCannotBeStoredStillLastsForThisRun)
{
    makeSettingsUnwritable();
    startWith(twoAndThree());
    dialogs.colorAnswers.push_back(QColor(0x11, 0x22, 0x33));
    form->SGNClick(cell(form->SGN, 1, 4));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors[0].startsWith(QStringLiteral("Unable to write to ")));
    EXPECT_EQ(form->session().preferences().colors()[0], 0x332211u);
}

// A click on a route, its undo and its redo change that one cell: the matrix
// says so of that cell alone, and the device table hears nothing.
TEST_F(FormTest, ARouteSwitchedRepaintsItsOneCell)
{
    startWith(largestConfiguration());
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const QModelIndex target = cell(form->SG, 4, 7);  // Device 1 In 2 → Device 1 Out 5
    const bool wasOn = routeOn(*form, 4, 7);
    QSignalSpy matrixChanged(&form->matrixModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy matrixReset(&form->matrixModel(), &QAbstractItemModel::modelReset);
    QSignalSpy devicesChanged(&form->deviceModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy devicesReset(&form->deviceModel(), &QAbstractItemModel::modelReset);
    const QRect place = form->SG->visualRect(target);
    ASSERT_TRUE(form->SG->viewport()->rect().contains(place)) << "in view as the window opens";

    QTest::mouseClick(form->SG->viewport(), Qt::LeftButton, {}, place.center());
    ASSERT_NE(routeOn(*form, 4, 7), wasOn);
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(routeOn(*form, 4, 7), wasOn);
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_NE(routeOn(*form, 4, 7), wasOn);

    ASSERT_EQ(matrixChanged.size(), 3);
    for (const QList<QVariant>& signal : matrixChanged) {
        EXPECT_EQ(signal[0].toModelIndex(), target);
        EXPECT_EQ(signal[1].toModelIndex(), target);
    }
    EXPECT_EQ(matrixReset.size(), 0);
    EXPECT_EQ(devicesChanged.size(), 0);
    EXPECT_EQ(devicesReset.size(), 0);
}

// A configuration from elsewhere names the same pair of devices twice, the
// route on in both: a click switches it off as the matrix shows it and as the
// image holds it, and a second click on again.
TEST_F(FormTest, ARouteNamedTwiceInTheTableGoesOffWithOneClick)
{
    ConfigImage image = keysAndSynth();  // Keys In 1 -> Synth Out 1, in one entry
    std::memcpy(image.routeSlot(1), image.routeSlot(0), kRouteEntrySize);
    startWith(image);
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const int row = MatrixLayout::lineOf(0), column = MatrixLayout::lineOf(2);  // Keys In 1, Synth Out 1
    ASSERT_TRUE(routeOn(*form, row, column));
    const QRect place = form->SG->visualRect(cell(form->SG, row, column));

    QTest::mouseClick(form->SG->viewport(), Qt::LeftButton, {}, place.center());
    EXPECT_FALSE(routeOn(*form, row, column));
    EXPECT_FALSE(form->session().image().routeOn({0, 2}));
    bool listed = false;
    form->session().image().forEachRoute([&](const Route& r) { listed = listed || (r.source == 0 && r.destination == 2); });
    EXPECT_FALSE(listed) << "the route is off in the image, not only on screen";

    QTest::mouseClick(form->SG->viewport(), Qt::LeftButton, {}, place.center());
    EXPECT_TRUE(routeOn(*form, row, column));
    EXPECT_TRUE(form->session().image().routeOn({0, 2}));
}
