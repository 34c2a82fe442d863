// The main window's widgets with the texts it opens with, and nothing behind
// them: no router, no settings, no pictures, no models of our own. The second
// yardstick of start-footprint.sh: what Qt itself costs for a window of text,
// buttons and tables, so the program's own share can be told apart.
#include "app/quit_when_shown.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {
QFont tahoma(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void button(QWidget* parent, const char* text, int left, int top, int width, bool enabled = true)
{
    auto* control = new QPushButton(QString::fromUtf8(text), parent);
    control->setGeometry(left, top, width, 25);
    control->setEnabled(enabled);
}

QTableWidget* table(QWidget* parent, int rows, int columns, const QRect& geometry)
{
    auto* grid = new QTableWidget(rows, columns, parent);
    grid->setGeometry(geometry);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setFrameShape(QFrame::NoFrame);
    return grid;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
#ifndef Q_OS_WIN
    for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
#endif
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Marbeno Soft  - QORV Config"));
    window.setFont(tahoma(11));
    QMenu* language = window.menuBar()->addMenu(QStringLiteral("Idioma"));
    language->addAction(QString::fromUtf8("Español"));
    language->addAction(QStringLiteral("English"));
    QMenu* edit = window.menuBar()->addMenu(QString::fromUtf8("Edición"));
    edit->addAction(QStringLiteral("Deshacer"));
    edit->addAction(QStringLiteral("Rehacer"));

    auto* client = new QWidget(&window);
    window.setCentralWidget(client);
    button(client, "Conectar", 8, 28, 75);
    auto* firmware = new QGroupBox(QStringLiteral("  Firmware  "), client);
    firmware->setGeometry(104, 11, 289, 52);
    button(firmware, "Versión actual", 13, 17, 84);
    button(firmware, "Archivo HEX", 112, 17, 75, false);
    button(firmware, "Actualizar", 203, 17, 75, false);
    auto* routes = new QGroupBox(QString::fromUtf8("  Configuración de rutas  "), client);
    routes->setGeometry(418, 11, 383, 52);
    button(routes, "Enviar", 15, 17, 75);
    button(routes, "Recibir", 97, 17, 75);
    button(routes, "Abrir", 210, 17, 75);
    button(routes, "Guardar", 292, 17, 75);

    auto* log = new QPlainTextEdit(client);
    log->setGeometry(8, 75, 385, 123);
    log->setFont(tahoma(11, true));
    log->setPlainText(QStringLiteral("Marbeno Soft QORV config\n\nQORV CONECTADO\nQORV en modo rutas"));

    QTableWidget* devices = table(client, 1, 6, QRect(8, 219, 385, 129));
    const char* headings[] = {"VID & PID", "Dispositivo", "Nºserie", "Puertos", "Color", ""};
    for (int column = 0; column < 6; ++column)
        devices->setItem(0, column, new QTableWidgetItem(QString::fromUtf8(headings[column])));
    QTableWidget* matrix = table(client, 3, 3, QRect(418, 75, 320, 298));
    matrix->setItem(2, 0, new QTableWidgetItem(QStringLiteral("MIDI")));
    matrix->setItem(2, 1, new QTableWidgetItem(QStringLiteral("In")));
    matrix->setItem(0, 2, new QTableWidgetItem(QStringLiteral("MIDI")));
    matrix->setItem(1, 2, new QTableWidgetItem(QStringLiteral("Out")));

    window.resize(884, 529 + window.menuBar()->sizeHint().height());
    window.show();
    QuitWhenShown::watch(window);
    return app.exec();
}
