#include "form_fixture.h"
#include "text/texts.h"

#include <QMenu>
#include <QPushButton>

#include <array>

TEST(Texts, MessagesAreFormattedInBothLanguages)
{
    struct Case {
        LogMessage message;
        const char* spanish;
        const char* english;
    };
    const std::array<Case, 8> cases = {{
        {LogMessage::updateMode(1, 5), "QORV en modo Actualización\r\nQORV Firmware Version: 1.05",
         "QORV in update mode\r\nQORV Firmware Version: 1.05"},
        {LogMessage::updateMode(2, 10), "QORV en modo Actualización\r\nQORV Firmware Version: 2.10",
         "QORV in update mode\r\nQORV Firmware Version: 2.10"},
        {LogMessage::updateMode(-128, -1), "QORV en modo Actualización\r\nQORV Firmware Version: -128.-1",
         "QORV in update mode\r\nQORV Firmware Version: -128.-1"},
        {LogMessage::crcLine(0xBEEF, 0xAB), "crc=BEEF crcT=AB", "crc=BEEF crcT=AB"},
        {LogMessage::aboutFile(Msg::HexFileRefused, QStringLiteral("C:\\fw.hex")), "C:\\fw.hex no es un firmware válido para el QORV.",
         "C:\\fw.hex is not a valid firmware for QORV."},
        {{Msg::Verifying}, "Verificando\r\n", "verifying\r\n"},
        {LogMessage::firmwareProblem(FirmwareProblem::Checksum, 7),
         "Línea 7: suma de comprobación incorrecta.", "Line 7: wrong checksum."},
        {LogMessage::updateStopped(UpdateStop::NoAnswer), "Actualización detenida: el QORV no responde",
         "Update stopped: the QORV does not answer"},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.english);
        EXPECT_EQ(messageText(c.message, UiLanguage::Spanish), QString::fromUtf8(c.spanish));
        EXPECT_EQ(messageText(c.message, UiLanguage::English), QString::fromUtf8(c.english));
    }
}

TEST_F(FormTest, EnglishAtStartChangesEveryCaption)
{
    storeSetting(QStringLiteral("Idioma/Idioma"), 1);
    start();
    const std::vector<QString> captions = {form->botonConectar->text(), form->botonFVer->text(),
                                           form->botonHexFile->text(),  form->botonTodo->text(),
                                           form->botonEnviar->text(),   form->botonRecibir->text(),
                                           form->botonAbrir->text(),    form->botonGuardar->text()};
    EXPECT_EQ(captions, (std::vector<QString>{"Connect", "Current version", "Hex File", "Update", "Send", "Receive",
                                              "Open", "Save"}));
    EXPECT_EQ(form->Idioma1->title(), QStringLiteral("&Language")) << "Language, with Alt+L";
    EXPECT_EQ(form->Espaol1->text(), QStringLiteral("Spanish"));
    EXPECT_EQ(form->English1->text(), QStringLiteral("English"));
    QStringList headers;
    for (int c = 0; c < 6; ++c)
        headers << text(form->deviceModel(), 0, c);
    EXPECT_EQ(headers, (QStringList{"VID & PID", "Device", "Serial num", "Ports", "Color", ""}));
}

TEST_F(FormTest, SwitchingLanguagesStoresTheChoiceAndKeepsOldLines)
{
    start();
    form->Espaol1Click();
    EXPECT_EQ(form->botonHexFile->text(), QStringLiteral("Archivo Hex"));
    EXPECT_EQ(form->English1->text(), QString::fromUtf8("Inglés"));
    EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value(QStringLiteral("Idioma/Idioma")).toInt(), 0);

    form->English1Click();
    EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value(QStringLiteral("Idioma/Idioma")).toInt(), 1);
    form->botonConectarClick();
    EXPECT_EQ(logLines().mid(2), (QStringList{"QORV desconectado", "QORV offline"}));
    EXPECT_EQ(text(form->deviceModel(), 0, 3), QStringLiteral("Ports"));
}

TEST_F(FormTest, FailedLanguageWriteChangesNothing)
{
    makeSettingsUnwritable();
    start();
    form->English1Click();
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(form->session().preferences().language(), UiLanguage::Spanish);
    EXPECT_EQ(form->botonConectar->text(), QStringLiteral("Conectar"));
}

// Settings files edited by hand: read and written with no false error, the
// language applied at start and a colour pick stored.
TEST_F(FormTest, HandEditedSettingsFileGivesNoFalseError)
{
    struct Case {
        const char* name;
        QByteArray text;
    };
    const std::array<Case, 5> cases = {{
        {"comment line", "# my settings\n[Idioma]\nIdioma=1\n"},
        {"byte-order mark", "\xEF\xBB\xBF[Idioma]\nIdioma=1\n"},
        {"line without =", "[Idioma]\nhello\nIdioma=1\n"},
        {"CR LF", "[Idioma]\r\nIdioma=1\r\n"},
        {"unknown section", "[Mine]\nx=2\n[Idioma]\nIdioma=1\n"},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        dialogs.errors.clear();
        QDir().mkpath(workFolder());
        QFile ini(iniPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(c.text);
        ini.close();
        start();
        EXPECT_EQ(form->botonConectar->text(), QStringLiteral("Connect"));
        dialogs.colorAnswers.push_back(QColor(0x11, 0x22, 0x33));
        form->SGNClick(cell(form->SGN, 1, 4));
        EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors.front().toStdString();
        EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value(QStringLiteral("Colores/color1")).toInt(), 0x332211);
    }
}

// The stored number names a row of the language table; any other number has
// always meant English.
TEST(Languages, StoredNumberNamesItsRow)
{
    const std::pair<long long, UiLanguage> cases[] = {
        {0, UiLanguage::Spanish}, {1, UiLanguage::English},       {2, UiLanguage::English},
        {-1, UiLanguage::English}, {1LL << 40, UiLanguage::English},
    };
    for (const auto& [stored, language] : cases)
        EXPECT_EQ(languageFromSetting(stored), language) << stored;
    for (const LanguageInfo& row : kLanguages)
        EXPECT_EQ(languageFromSetting(static_cast<long long>(row.language)), row.language);
}
