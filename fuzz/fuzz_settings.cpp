// A settings file edited by anyone: the colours and the language read as what
// the file says or as their defaults, and a later write succeeds and reads back.
#include "config/settings.h"
#include "text/texts.h"
#include "fuzz_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // In memory where the system offers it: the settings library goes through a file.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/qorv-fuzz-XXXXXX")
                                                                      : QDir::tempPath() + QStringLiteral("/qorv-fuzz-XXXXXX"));
    static const QString path = dir.filePath(QStringLiteral("qorv.ini"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    Settings settings(path);
    ColorTable colors{};
    settings.readColorTable(colors);
    // Whatever is stored names one of the languages, and the other one stored reads back.
    const UiLanguage language = languageFromSetting(settings.readLanguage());
    const UiLanguage other = language == UiLanguage::Spanish ? UiLanguage::English : UiLanguage::Spanish;

    const std::uint32_t color = size > 0 ? data[0] * 0x010203u : 0x123456u;
    FUZZ_CHECK(settings.writeColor(7, color));
    FUZZ_CHECK(settings.writeLanguage(static_cast<int>(other)));
    Settings reread(path);
    ColorTable after{};
    reread.readColorTable(after);
    FUZZ_CHECK(after[7] == color);
    FUZZ_CHECK(languageFromSetting(reread.readLanguage()) == other);
    return 0;
}
