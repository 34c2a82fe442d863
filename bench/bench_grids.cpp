// The largest configuration (32 devices x 8 ports, a full route table): one click
// with the repaint it causes, and repaints of the matrix.
#include "link/clock.h"
#include "sim/sim_router.h"
#include "ui/dialogs.h"
#include "ui/grid_models.h"
#include "ui/main_form.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {
struct Program {
    Program()
    {
        options.backend = &backend;
        options.clock = &clock;
        options.dialogs = &dialogs;
        options.fallbackHome = home.path();
        options.programFolder = home.path();
        form = std::make_unique<TMainForm>(options);
        form->Timer1->stop();
        form->session().document().load(largestConfiguration());
        form->show();
        QApplication::processEvents();
    }
    QTemporaryDir home;
    SimRouter router{SimRouter::Mode::Absent};
    SimBackend backend{router};
    SteadyClock clock;
    SilentDialogs dialogs;
    MainFormOptions options;
    std::unique_ptr<TMainForm> form;
};

// Made after and destroyed before the application object.
std::unique_ptr<Program> gProgram;

Program& program()
{
    return *gProgram;
}

// What the user sees of the matrix: the part inside the window.
// A route whose pair of devices has an entry: the route table of the largest
// configuration is full, and a pair without one would only be refused.
constexpr int kRow = 5;      // Device 1 In 3
constexpr int kColumn = 45;  // Device 6 Out 3

QRect visiblePart(TMainForm& form)
{
    return QRect(QPoint(0, 0), form.clientArea()->size() - QSize(form.SG->x(), form.SG->y()));
}

// Cells the matrix says changed, over all the dataChanged ranges it emits.
struct ChangedCells {
    explicit ChangedCells(QAbstractItemModel& model)
    {
        connection = QObject::connect(&model, &QAbstractItemModel::dataChanged, [this](const QModelIndex& a, const QModelIndex& b) {
            cells += static_cast<long>(b.row() - a.row() + 1) * (b.column() - a.column() + 1);
        });
    }
    ~ChangedCells() { QObject::disconnect(connection); }
    QMetaObject::Connection connection;
    long cells = 0;
};

// A click on a route and the repaint it causes in the shown window.
void BM_ClickAndRepaint(benchmark::State& state)
{
    TMainForm& form = *program().form;
    const QModelIndex cell = form.matrixModel().index(kRow, kColumn);
    ChangedCells changed(form.matrixModel());
    long clicks = 0;
    for (auto _ : state) {
        form.SGClick(cell);
        QApplication::processEvents();
        ++clicks;
    }
    state.counters["cells_changed_per_click"] = static_cast<double>(changed.cells) / static_cast<double>(clicks);
}
BENCHMARK(BM_ClickAndRepaint)->Unit(benchmark::kMillisecond);

// Undo then redo of one route at the largest configuration, each with its rebuild:
// the pair should cost about two clicks.
void BM_UndoAndRedoRoute(benchmark::State& state)
{
    TMainForm& form = *program().form;
    form.SGClick(form.matrixModel().index(kRow, kColumn));
    for (auto _ : state) {
        form.undoAction->trigger();
        form.redoAction->trigger();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_UndoAndRedoRoute)->Unit(benchmark::kMillisecond);

void BM_RepaintVisibleMatrix(benchmark::State& state)
{
    TMainForm& form = *program().form;
    const QRect part = visiblePart(form);
    QImage image(part.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        form.SG->render(&painter, QPoint(), QRegion(part));
    }
}
BENCHMARK(BM_RepaintVisibleMatrix)->Unit(benchmark::kMillisecond);

void BM_ClickAndRenderVisible(benchmark::State& state)
{
    TMainForm& form = *program().form;
    const QModelIndex cell = form.matrixModel().index(kRow, kColumn);
    const QRect part = visiblePart(form);
    QImage image(part.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        form.SGClick(cell);
        QPainter painter(&image);
        form.SG->render(&painter, QPoint(), QRegion(part));
    }
}
BENCHMARK(BM_ClickAndRenderVisible)->Unit(benchmark::kMillisecond);

// Every one of the 259 x 259 cells, far more than a window can show.
void BM_RepaintWholeMatrix(benchmark::State& state)
{
    TMainForm& form = *program().form;
    QImage image(form.SG->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        form.SG->render(&painter);
    }
}
BENCHMARK(BM_RepaintWholeMatrix)->Unit(benchmark::kMillisecond)->Iterations(3);

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    registerTahoma();
    gProgram = std::make_unique<Program>();
    std::printf("resident memory with the largest configuration loaded: %ld KiB\n", residentKilobytes());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("resident memory after the benchmarks: %ld KiB\n", residentKilobytes());
    gProgram.reset();
    return 0;
}
