#include "form_fixture.h"
#include "hex_helpers.h"
#include "ui/group_box.h"
#include "ui/pictures.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QMap>
#include <QMenuBar>
#include <QPushButton>
#include <QResource>
#include <QTest>

#include <array>


TEST_F(FormTest, WindowLayoutAtStart)
{
    startWith(ConfigImage::empty());
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Marbeno Soft  - QORV Config[*]")) << "the mark shows only while modified";
    EXPECT_FALSE(form->isWindowModified());
    EXPECT_EQ(form->clientArea()->size(), QSize(884, 529));
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(form->windowIcon().availableSizes().size(), 4);

    struct Control {
        QWidget* widget;
        QRect geometry;
        const char* caption;
        bool enabled;
    };
    const std::array<Control, 13> controls = {{
        {form->botonConectar, {8, 28, 75, 25}, "Conectar", true},
        {form->LMDGroupBox1, {104, 11, 289, 52}, nullptr, true},
        {form->botonFVer, {13, 17, 84, 25}, "Versión actual", true},
        {form->botonHexFile, {112, 17, 75, 25}, "Archivo HEX", false},
        {form->botonTodo, {203, 17, 75, 25}, "Actualizar", false},
        {form->LMDGroupBox2, {418, 11, 383, 52}, nullptr, true},
        {form->botonEnviar, {15, 17, 75, 25}, "Enviar", false},
        {form->botonRecibir, {97, 17, 75, 25}, "Recibir", false},
        {form->botonAbrir, {210, 17, 75, 25}, "Abrir", true},
        {form->botonGuardar, {292, 17, 75, 25}, "Guardar", true},
        {form->Memo1, {8, 75, 385, 123}, nullptr, true},
        {form->SGN, {8, 219, 385, 26}, nullptr, true},
        {form->SG, {418, 75, 235, 235}, nullptr, true},
    }};
    for (const Control& c : controls) {
        SCOPED_TRACE(c.widget->metaObject()->className());
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        EXPECT_EQ(c.widget->isEnabled(), c.enabled);
        if (c.caption) {
            EXPECT_EQ(static_cast<QPushButton*>(c.widget)->text(), QString::fromUtf8(c.caption));
        }
    }
    EXPECT_EQ(form->LMDGroupBox1->caption(), QStringLiteral("  Firmware  "));
    EXPECT_EQ(form->LMDGroupBox2->caption(), QString::fromUtf8("  Configuración de rutas  "));
    EXPECT_EQ(form->Idioma1->title(), QStringLiteral("&Idioma")) << "Idioma, with Alt+I";
    EXPECT_EQ(form->Espaol1->text(), QString::fromUtf8("Español"));
    EXPECT_EQ(form->English1->text(), QStringLiteral("English"));
    EXPECT_FALSE(form->Espaol1->icon().isNull());
    EXPECT_EQ(form->Image1.size(), QSize(30, 30));
    EXPECT_EQ(form->Image2.size(), QSize(152, 152));
    EXPECT_EQ(form->Image3.size(), QSize(26, 24));
    EXPECT_EQ(form->Memo1->palette().color(QPalette::Base), QColor(0x38, 0x38, 0x38));
    EXPECT_EQ(form->Memo1->palette().color(QPalette::Text), QColor(0x00, 0xFF, 0x00));
    EXPECT_TRUE(form->Memo1->font().bold());
    EXPECT_EQ(form->font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(form->font().pixelSize(), 11);
    // What it resolves to where the face is installed (here it is registered from
    // fonts-wine; Windows has it; wine's own copy is not offered to programs).
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        EXPECT_EQ(QFontInfo(form->font()).family(), QStringLiteral("Tahoma"));
        EXPECT_EQ(QFontInfo(form->font()).pixelSize(), 11);
    }
    EXPECT_TRUE(timerWasStarted);
    EXPECT_EQ(form->Timer1->interval(), 1);
}

// From the first control, Tab walks the window in its designed order, passes
// over what is disabled, and comes round again; Shift+Tab walks it backwards.
TEST_F(FormTest, KeyboardFocusOrder)
{
    struct Case {
        const char* name;
        SimRouter::Mode mode;
        std::vector<const char*> walk;  // by the controls' object names
    };
    const std::vector<Case> cases = {
        {"routes mode", SimRouter::Mode::Routes,
         {"botonConectar", "SGN", "SG", "Memo1", "botonFVer", "botonAbrir", "botonEnviar", "botonGuardar",
          "botonRecibir", "botonConectar"}},
        {"update mode", SimRouter::Mode::Update,
         {"botonConectar", "SGN", "SG", "Memo1", "botonFVer", "botonHexFile", "botonAbrir", "botonGuardar",
          "botonConectar"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.mode = c.mode;
        start();
        tick(3);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_EQ(QApplication::focusWidget(), form->botonConectar) << "the window opens on its first control";
        std::vector<QString> walked = {QApplication::focusWidget()->objectName()};
        for (std::size_t i = 1; i < c.walk.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked.push_back(QApplication::focusWidget()->objectName());
        }
        std::vector<QString> expected(c.walk.begin(), c.walk.end());
        EXPECT_EQ(walked, expected);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(c.walk[c.walk.size() - 2]));
        form.reset();
    }
}

TEST_F(FormTest, OfflineStartLogsAndLeavesOnlyTheAlwaysEnabledControls)
{
    start();
    EXPECT_EQ(log(), QStringLiteral("Marbeno Soft QORV config\n\nQORV desconectado"));
    EXPECT_FALSE(form->botonRecibir->isEnabled());
    EXPECT_FALSE(form->botonEnviar->isEnabled());
    EXPECT_FALSE(form->botonHexFile->isEnabled());
    EXPECT_FALSE(form->botonTodo->isEnabled());
}

TEST_F(FormTest, RoutesModeStart)
{
    router.mode = SimRouter::Mode::Routes;
    start();
    tick(3);
    EXPECT_EQ(logLines().mid(2), (QStringList{QStringLiteral("QORV CONECTADO"), QStringLiteral("QORV en modo rutas")}));
    EXPECT_TRUE(form->botonRecibir->isEnabled());
    EXPECT_TRUE(form->botonEnviar->isEnabled());
}

// Nothing to send or wait for: the tick slows down, and is back at 1 ms the
// moment a command is queued.
TEST_F(FormTest, IdleTickSlowsDownUntilACommandIsQueued)
{
    router.mode = SimRouter::Mode::Routes;
    start();
    EXPECT_EQ(form->Timer1->interval(), 1) << "the Version command is queued at start";
    tick(3);
    EXPECT_EQ(form->Timer1->interval(), TMainForm::kIdleTickMilliseconds);
    form->botonFVerClick();
    EXPECT_EQ(form->Timer1->interval(), 1);
    tick(3);
    EXPECT_EQ(logLines().back(), QStringLiteral("QORV en modo rutas"));
    EXPECT_EQ(form->Timer1->interval(), TMainForm::kIdleTickMilliseconds);
}

TEST_F(FormTest, FirstRunCopiesAndLoadsTheDefaultConfiguration)
{
    startWith(sampleConfiguration());
    EXPECT_TRUE(QFile::exists(QDir(workFolder()).filePath(QStringLiteral("last.qorv"))));
    EXPECT_EQ(form->session().image(), sampleConfiguration());
    EXPECT_EQ(form->deviceModel().rowCount(), 4);
    EXPECT_EQ(QDir::currentPath(), workFolder());
    EXPECT_EQ(form->OpenDialog1.initialDir, workFolder());
    EXPECT_EQ(form->SaveDialog1.initialDir, workFolder());

    // The folder exists but "last.qorv" is gone: nothing is copied, the image stays zero.
    form.reset();
    QFile::remove(QDir(workFolder()).filePath(QStringLiteral("last.qorv")));
    start();
    EXPECT_EQ(form->session().image(), ConfigImage{});
    EXPECT_FALSE(QFile::exists(QDir(workFolder()).filePath(QStringLiteral("last.qorv"))));
}

TEST_F(FormTest, StoredLanguageAppliesBeforeTheFirstLogLine)
{
    for (int stored : {1, 7}) {
        SCOPED_TRACE(stored);
        storeSetting(QStringLiteral("Idioma/Idioma"), stored);
        start();
        EXPECT_EQ(logLines().back(), QStringLiteral("QORV offline"));
        EXPECT_EQ(form->botonConectar->text(), QStringLiteral("Connect"));
        EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value(QStringLiteral("Idioma/Idioma")).toInt(), 1);
        form.reset();
    }
}

// The start-up's language switch cannot store its value: the error box, then the
// rest of start-up all the same.
TEST_F(FormTest, UnwritableSettingsAtStartStillLoadsDrawsAndConnects)
{
    storeSetting(QStringLiteral("Idioma/Idioma"), 1);
    makeSettingsUnwritable();
    router.mode = SimRouter::Mode::Routes;
    writeImageFile(QDir(workFolder()).filePath(QStringLiteral("last.qorv")), sampleConfiguration());
    start();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], QStringLiteral("Unable to write to ") + iniPath());
    EXPECT_EQ(form->session().preferences().language(), UiLanguage::Spanish);
    EXPECT_EQ(form->botonConectar->text(), QStringLiteral("Conectar"));
    EXPECT_EQ(form->session().image(), sampleConfiguration());
    EXPECT_EQ(logLines().back(), QStringLiteral("QORV CONECTADO"));
    EXPECT_TRUE(timerWasStarted);
}

TEST_F(FormTest, LogLinesAndProgressStars)
{
    start();
    form->AppendLogLine(QStringLiteral("Erasing flash\r\n"));
    for (int i = 0; i < 3; ++i)
        form->InsertLogText(QStringLiteral("*"));
    form->AppendLogLine(QStringLiteral("Flash erased"));
    form->AppendLogLine(QStringLiteral("QORV in update mode\r\nQORV Firmware Version: 1.05"));
    EXPECT_EQ(logLines().mid(3), (QStringList{QStringLiteral("Erasing flash"), QStringLiteral("***"),
                                              QStringLiteral("Flash erased"), QStringLiteral("QORV in update mode"),
                                              QStringLiteral("QORV Firmware Version: 1.05")}));
    EXPECT_TRUE(form->Memo1->textCursor().atEnd());
}

TEST_F(FormTest, OpenAndSaveConfigurations)
{
    start();
    const QString saved = QDir(home.path()).filePath(QStringLiteral("mine"));
    form->session().document().load(sampleConfiguration());
    dialogs.saveAnswers.push_back(saved);
    form->botonGuardarClick();
    EXPECT_EQ(QFileInfo(saved).size(), 4096);
    EXPECT_EQ(dialogs.folders.back(), workFolder());

    form->session().document().load(ConfigImage::empty());
    dialogs.openAnswers.push_back(std::nullopt);
    form->botonAbrirClick();
    EXPECT_EQ(dialogs.filters.back(), QStringLiteral("QORV config|*.qorv"));
    EXPECT_EQ(form->deviceModel().rowCount(), 1);

    dialogs.openAnswers.push_back(saved);
    form->botonAbrirClick();
    EXPECT_EQ(form->session().image(), sampleConfiguration());
    EXPECT_EQ(form->deviceModel().rowCount(), 4);
    EXPECT_FALSE(QFile::exists(QDir(workFolder()).filePath(QStringLiteral("last.qorv"))))
        << "opening a file does not touch last.qorv";
}

TEST_F(FormTest, ReceiveButtonFillsTheGridsAndLastFile)
{
    router.mode = SimRouter::Mode::Routes;
    start();
    tick(3);
    QTest::mouseClick(form->botonRecibir, Qt::LeftButton);
    EXPECT_EQ(logLines().back(), QString::fromUtf8("Configuración recibida"));
    EXPECT_EQ(form->deviceModel().rowCount(), 4);
    ConfigImage last;
    readImageFile(QDir(workFolder()).filePath(QStringLiteral("last.qorv")), last);
    EXPECT_EQ(last, router.image);

    router.faults.noReply = true;
    QTest::mouseClick(form->botonEnviar, Qt::LeftButton);
    const QStringList lines = logLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("QORV desconectado"));
    EXPECT_EQ(lines.back(), QString::fromUtf8("La configuración del QORV puede haber quedado escrita a medias"));
    EXPECT_FALSE(form->botonRecibir->isEnabled());
}

TEST_F(FormTest, HexFileButtonLogsTheFileAndSwitchesUpdate)
{
    router.mode = SimRouter::Mode::Update;
    start();
    tick(3);
    EXPECT_TRUE(form->botonHexFile->isEnabled());
    EXPECT_EQ(logLines().mid(3), (QStringList{QString::fromUtf8("QORV en modo Actualización"),
                                              QStringLiteral("QORV Firmware Version: 1.05")}));
    const QString path = QDir(home.path()).filePath(QStringLiteral("fw.hex"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("QORV-Marbeno Soft\r\n:020000041D00DD\r\n:0310000031323357\r\n:00000001FF\r\n");
    file.close();
    dialogs.openAnswers.push_back(path);
    form->botonHexFileClick();
    EXPECT_EQ(dialogs.filters.back(), QStringLiteral("Archivos Hex|*.hex"));
    EXPECT_EQ(logLines().back(), QStringLiteral("Archivo hex: ") + QDir::toNativeSeparators(path));
    EXPECT_TRUE(form->botonTodo->isEnabled());

    dialogs.openAnswers.push_back(std::nullopt);
    form->botonHexFileClick();
    EXPECT_EQ(logLines().back(), QDir::toNativeSeparators(path) + QString::fromUtf8(" no es un firmware válido para el QORV."));
    EXPECT_FALSE(form->botonTodo->isEnabled());
}

TEST_F(FormTest, FullFirmwareUpdateInTheWindow)
{
    router.mode = SimRouter::Mode::Update;
    start();
    tick(3);
    std::vector<std::string> records = {linearRecord(0x1D00)};
    for (int i = 0; i < 30; ++i)
        records.push_back(hexRecord(0, static_cast<std::uint16_t>(0x1000 + 16 * i), ramp(16, static_cast<std::uint8_t>(i))));
    records.push_back(hexRecord(1, 0, {}));
    const QString path = writeFirmware(home, QStringLiteral("fw.hex"), records);
    dialogs.openAnswers.push_back(path);
    form->botonHexFileClick();
    const int before = logLines().size();
    QTest::mouseClick(form->botonTodo, Qt::LeftButton);
    for (int i = 0; i < 2000 && !log().contains(QStringLiteral("QORV actualizado")); ++i)
        tick();
    tick(5);
    QStringList lines = logLines().mid(before);
    // Progress rows hold nothing but stars; how many appear during programming depends
    // on timing, the 15 of the copy do not.
    EXPECT_TRUE(lines.contains(QString(15, QLatin1Char('*'))));
    lines.removeIf([](const QString& line) { return !line.isEmpty() && line.count(QLatin1Char('*')) == line.size(); });
    ASSERT_EQ(lines.size(), 10) << log().toStdString();
    const QString crc = lines[5];
    EXPECT_TRUE(crc.startsWith(QStringLiteral("crc=")));
    EXPECT_EQ(crc.section(QLatin1Char(' '), 0, 0).mid(4), crc.section(QLatin1Char(' '), 1, 1).mid(5));
    lines[5] = QStringLiteral("crc");
    EXPECT_EQ(lines, (QStringList{"Borrando flash", "Flash borrada", "Enviando nuevo firmware", "Firmware enviado",
                                  "Verificando", "crc", QString::fromUtf8("Verificación completa"), "Copiando flash",
                                  "QORV actualizado", "QORV CONECTADO"}));
    EXPECT_TRUE(form->botonRecibir->isEnabled());
    EXPECT_FALSE(form->botonTodo->isEnabled());
    EXPECT_EQ(router.mode, SimRouter::Mode::Routes);
}

// The icon files the packages ship are the picture the program draws.
TEST(Pictures, ShippedIconIsTheDrawnOne)
{
    const QImage shipped(QStringLiteral(QORV_SOURCE_DIR "/data/qorv-config.png"));
    ASSERT_FALSE(shipped.isNull());
    EXPECT_EQ(shipped.convertToFormat(QImage::Format_ARGB32), Pictures::Drawn::midiSocket(256).convertToFormat(QImage::Format_ARGB32));
}

// The pictures the program carries are its drawings, byte for byte (the logo
// lettered in the Tahoma face the tests use), and the window's icon holds them.
TEST(Pictures, CarriedPicturesAreTheDrawnOnes)
{
    // Each drawn once: a second drawing of the logo's lettering in one run can
    // differ in its edges from the first, which is what a start used to show.
    QMap<QString, QImage> drawn;
    for (const Pictures::CarriedPicture& picture : Pictures::carriedPictures()) {
        SCOPED_TRACE(picture.name.toStdString());
#ifdef Q_OS_WIN
        // The logo was lettered with FreeType from the Tahoma file the Linux
        // tests register; Windows letters through its own engine, and the
        // test prefix under wine has no Tahoma at all.
        if (picture.name == QLatin1String("logo.ppm"))
            continue;
#endif
        const QByteArray carried = QResource(QStringLiteral(":/pictures/") + picture.name).uncompressedData();
        ASSERT_FALSE(carried.isEmpty());
        EXPECT_TRUE(carried == Pictures::netpbm(picture.drawn))
            << "made anew with: qorv-render-window ui/pictures pictures";
        drawn.insert(picture.name, picture.drawn);
    }
    EXPECT_TRUE(Pictures::routeMark() == drawn[QStringLiteral("route-mark.ppm")]);
#ifndef Q_OS_WIN
    EXPECT_TRUE(Pictures::logo() == drawn[QStringLiteral("logo.ppm")]);
#endif
    EXPECT_TRUE(Pictures::wastebasket() == drawn[QStringLiteral("wastebasket.ppm")]);
    EXPECT_TRUE(Pictures::flag(Flag::Spain) == drawn[QStringLiteral("flag-spain.ppm")]);
    EXPECT_TRUE(Pictures::flag(Flag::UnitedKingdom) == drawn[QStringLiteral("flag-united-kingdom.ppm")]);
    const QIcon icon = Pictures::appIcon();
    for (int size : Pictures::kIconSizes) {
        SCOPED_TRACE(size);
        const QImage shown = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage expected = QPixmap::fromImage(drawn[QStringLiteral("icon-%1.pam").arg(size)]).toImage();
        EXPECT_TRUE(shown == expected.convertToFormat(QImage::Format_ARGB32));
    }
}

// A user or folder name beyond ASCII works for the work folder, "last.qorv",
// "qorv.ini", configuration files and firmware files alike.
TEST_F(FormTest, FoldersAndFilesWithNonAsciiNames)
{
    homeName = QString::fromUtf8("José Müller");
    ASSERT_TRUE(QDir().mkpath(homeFolder()));
    router.mode = SimRouter::Mode::Update;
    const ConfigImage sample = sampleConfiguration();
    startWith(sample);
    EXPECT_EQ(form->session().image(), sample) << "the default configuration was copied and loaded";
    EXPECT_TRUE(QFile::exists(QDir(workFolder()).filePath(QStringLiteral("last.qorv"))));

    dialogs.colorAnswers.push_back(QColor(0x10, 0x20, 0x30));
    form->SGNClick(cell(form->SGN, 1, 4));
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value(QStringLiteral("Colores/color1")).toInt(), 0x302010);

    const QString saved = QDir(workFolder()).filePath(QString::fromUtf8("Configuración ñ.qorv"));
    dialogs.saveAnswers.push_back(saved);
    form->botonGuardarClick();
    EXPECT_EQ(QFileInfo(saved).size(), static_cast<qint64>(kImageSize));
    form->session().document().load(ConfigImage::empty());
    dialogs.openAnswers.push_back(saved);
    form->botonAbrirClick();
    EXPECT_EQ(form->session().image(), sample);

    tick(3);
    const QString firmware = QDir(workFolder()).filePath(QString::fromUtf8("fírmware ü.hex"));
    QFile file(firmware);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("QORV-Marbeno Soft\r\n:020000041D00DD\r\n:0310000031323357\r\n:00000001FF\r\n");
    file.close();
    dialogs.openAnswers.push_back(firmware);
    form->botonHexFileClick();
    EXPECT_EQ(logLines().back(), QStringLiteral("Archivo hex: ") + QDir::toNativeSeparators(firmware));
    EXPECT_TRUE(form->botonTodo->isEnabled());
}
