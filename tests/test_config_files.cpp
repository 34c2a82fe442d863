#include "config/config_files.h"
#include "config/config_image.h"
#include "config/settings.h"
#include "core/session.h"
#include "link/clock.h"
#include "recording_view.h"
#include "sim/sim_router.h"
#include "text/texts.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QString writeBytes(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

ConfigImage patterned()
{
    ConfigImage image = sampleConfiguration();
    for (std::size_t i = kReservedOffset; i < kImageSize; ++i)
        image.rawBytes()[i] = static_cast<std::uint8_t>(i);
    return image;
}
} // namespace

TEST(ConfigFiles, SaveThenOpenGivesBackEveryByte)
{
    QTemporaryDir dir;
    const ConfigImage original = patterned();
    const QString path = dir.filePath(QStringLiteral("no extension"));
    ASSERT_TRUE(writeImageFile(path, original));
    EXPECT_EQ(QFileInfo(path).size(), 4096);
    ConfigImage loaded;
    readImageFile(path, loaded);
    EXPECT_EQ(loaded, original);
}

TEST(ConfigFiles, ShortLongAndMissingFiles)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        int size;            // -1: no file
        std::size_t replaced;
    };
    const std::array<Case, 3> cases = {{{"ten bytes", 10, 10}, {"five thousand bytes", 5000, 4096}, {"missing", -1, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigImage image = patterned();
        const ConfigImage before = image;
        QString path = dir.filePath(QStringLiteral("absent.qorv"));
        if (c.size >= 0)
            path = writeBytes(dir, QString::fromLatin1(c.name), QByteArray(c.size, '\xAB'));
        readImageFile(path, image);
        for (std::size_t i = 0; i < kImageSize; ++i)
            ASSERT_EQ(image.rawBytes()[i], i < c.replaced ? 0xAB : before.rawBytes()[i]) << i;
    }
}

TEST(ConfigFiles, FailedSaveIsLoggedWithTheFileName)
{
    QTemporaryDir dir;
    SimRouter router;
    SimBackend backend(router);
    FakeClock clock;
    RecordingView view;
    Session session(backend, clock, view);
    session.document().load(ConfigImage::empty());
    QDir(dir.path()).mkdir(QStringLiteral("a folder.qorv"));
    const QString targets[] = {dir.filePath(QStringLiteral("missing folder/x.qorv")),
                               dir.filePath(QStringLiteral("a folder.qorv"))};
    for (const QString& target : targets) {
        SCOPED_TRACE(target.toStdString());
        view.log.clear();
        session.saveConfiguration(target);
        ASSERT_EQ(view.ids(), std::vector<Msg>{Msg::UnableToSave});
        EXPECT_EQ(view.log[0].text, QDir::toNativeSeparators(target));
        EXPECT_FALSE(view.log[0].detail.isEmpty()) << "the system's reason";
        EXPECT_EQ(messageText(view.log[0], UiLanguage::Spanish),
                  QStringLiteral("No se pudo guardar %1: %2").arg(QDir::toNativeSeparators(target), view.log[0].detail));
    }
    EXPECT_TRUE(QFileInfo(targets[1]).isDir());
#if !defined(Q_OS_WIN)
    EXPECT_EQ(view.log[0].detail, QStringLiteral("Is a directory"));
#endif
}

TEST(Settings, DefaultsAndStoredValues)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qorv.ini"));
    {
        QSettings raw(path, QSettings::IniFormat);
        raw.setValue(QStringLiteral("Colores/color1"), 255);
        raw.setValue(QStringLiteral("Colores/color2"), QStringLiteral("not a number"));
        raw.setValue(QStringLiteral("Idioma/Idioma"), 2);
    }
    Settings settings(path);
    ColorTable colors{};
    settings.readColorTable(colors);
    EXPECT_EQ(colors[0], 255u);
    EXPECT_EQ(colors[1], 65792u) << "not an integer: the default";
    EXPECT_EQ(colors[6], 394752u) << "no color7: the ramp";
    EXPECT_EQ(colors[31], 0x1F1F00u);
    EXPECT_EQ(settings.readLanguage(), 2);

    EXPECT_TRUE(settings.writeColor(2, 0x123456));
    EXPECT_TRUE(settings.writeLanguage(1));
    QSettings reread(path, QSettings::IniFormat);
    EXPECT_EQ(reread.value(QStringLiteral("Colores/color3")).toInt(), 0x123456);
    EXPECT_EQ(reread.value(QStringLiteral("Idioma/Idioma")).toInt(), 1);
    EXPECT_EQ(reread.value(QStringLiteral("Colores/color1")).toInt(), 255);
}

TEST(Settings, MissingFileGivesDefaults)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath(QStringLiteral("qorv.ini")));
    ColorTable colors{};
    settings.readColorTable(colors);
    for (int slot = 0; slot < kColorCount; ++slot)
        EXPECT_EQ(colors[slot], static_cast<std::uint32_t>(slot) * 0x010100u);
    EXPECT_EQ(settings.readLanguage(), 0);
}

TEST(Settings, WriteToAnUnwritablePlaceFailsAndALaterGoodWriteSucceeds)
{
    QTemporaryDir dir;
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    QDir().mkpath(blocked);  // a folder where the file should be: never writable
    Settings bad(blocked);
    EXPECT_FALSE(bad.writeLanguage(1));
    EXPECT_FALSE(bad.writeColor(0, 1));

    Settings good(dir.filePath(QStringLiteral("qorv.ini")));
    EXPECT_TRUE(good.writeColor(31, 7));
    EXPECT_FALSE(good.writeColor(32, 7)) << "there is no 33rd colour";
}

// The empty configuration shipped beside the program is what the program calls empty.
TEST(ConfigFiles, ShippedDefaultIsTheEmptyConfiguration)
{
    ConfigImage shipped;
    shipped.rawBytes()[0] = 0x5A;
    ASSERT_EQ(readImageFile(QStringLiteral(QORV_SOURCE_DIR "/data/last.qorv"), shipped), static_cast<qint64>(kImageSize));
    EXPECT_EQ(shipped, ConfigImage::empty());
    EXPECT_EQ(readImageFile(QStringLiteral(QORV_SOURCE_DIR "/data/absent.qorv"), shipped), -1);
}
