// What the user chose, kept between runs: colours and language stored in the
// work folder's settings file, read again by the next run, and a choice that
// cannot be stored reported once, kept for this run only where that is safe.
#include "core/preferences.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {
class UnwritableSettings : public Settings {
public:
    using Settings::Settings;

protected:
    bool write(const QString&, qint64) override { return false; }
};

class PreferencesTest : public ::testing::Test {
protected:
    Preferences::ErrorReport report()
    {
        return [this](const LogMessage& message) { errors.push_back(message); };
    }
    QTemporaryDir dir;
    std::vector<LogMessage> errors;
};
} // namespace

TEST_F(PreferencesTest, ChoicesAreReadAgainByTheNextRun)
{
    {
        Preferences first(report());
        first.useWorkFolder(dir.path());
        first.load();
        EXPECT_EQ(first.colors()[3], Settings::defaultColor(3)) << "nothing stored yet";
        EXPECT_EQ(first.storedLanguage(), UiLanguage::Spanish);
        EXPECT_TRUE(first.setColor(3, 0x0000FF));
        EXPECT_TRUE(first.setColor(31, 0x123456));
        EXPECT_TRUE(first.setLanguage(UiLanguage::English));
        EXPECT_EQ(first.language(), UiLanguage::English);
        EXPECT_EQ(first.settingsPath(), QDir(dir.path()).filePath(QStringLiteral("qorv.ini")));
        EXPECT_EQ(first.lastConfigPath(), QDir(dir.path()).filePath(QStringLiteral("last.qorv")));
    }
    Preferences next(report());
    next.useWorkFolder(dir.path());
    next.load();
    EXPECT_EQ(next.colors()[3], 0x0000FFu);
    EXPECT_EQ(next.colors()[31], 0x123456u);
    EXPECT_EQ(next.colors()[2], Settings::defaultColor(2));
    EXPECT_EQ(next.storedLanguage(), UiLanguage::English);
    EXPECT_TRUE(errors.empty());
}

// A slot outside the table changes nothing and reports nothing; a settings file
// that cannot be written reports each failed choice once, naming the file: the
// colour lasts for this run, the language stays as it was (the window would
// otherwise speak one language and start in the other next time).
TEST_F(PreferencesTest, AChoiceThatCannotBeStoredIsReported)
{
    Preferences preferences(report());
    const QString ini = QDir(dir.path()).filePath(QStringLiteral("qorv.ini"));
    preferences.useWorkFolder(dir.path(), std::make_unique<UnwritableSettings>(ini));
    preferences.load();
    const ColorTable before = preferences.colors();
    for (int slot : {-1, kColorCount}) {
        SCOPED_TRACE(slot);
        EXPECT_FALSE(preferences.setColor(slot, 0x0000FF));
        EXPECT_EQ(preferences.colors(), before);
        EXPECT_TRUE(errors.empty());
    }
    EXPECT_FALSE(preferences.setColor(0, 0x332211));
    EXPECT_EQ(preferences.colors()[0], 0x332211u);
    EXPECT_FALSE(preferences.setLanguage(UiLanguage::English));
    EXPECT_EQ(preferences.language(), UiLanguage::Spanish);
    ASSERT_EQ(errors.size(), 2u);
    for (const LogMessage& error : errors) {
        EXPECT_EQ(error.id, Msg::UnableToWrite);
        EXPECT_EQ(error.text, ini);
    }
}
