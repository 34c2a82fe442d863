#include "config/config_files.h"

#include "config/config_image.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

qint64 readImageFile(const QString& path, ConfigImage& image)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.read(reinterpret_cast<char*>(image.rawBytes()), kImageSize);
}

qint64 imageFileSize(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.size() : -1;
}

ConfigurationRead readConfigurationFile(const QString& path, ConfigImage& image)
{
    ConfigurationRead read;
    read.size = imageFileSize(path);
    ConfigImage staging = image;
    if (read.size < 0 || readImageFile(path, staging) < 0) {
        read.size = -1;
        return read;
    }
    if (read.size != static_cast<qint64>(kImageSize)) {
        read.result = ConfigurationRead::Result::WrongSize;
        return read;
    }
    image = staging;
    read.result = ConfigurationRead::Result::Read;
    return read;
}

namespace {
// Qt reports a failed write of a file as an "Unknown error"; the C library
// still holds the system's reason then.
QString reasonOf(const QFileDevice& file, int error)
{
    const QString qt = file.errorString();
    if (error != 0 && (qt.isEmpty() || qt == QLatin1String("Unknown error")))
        return QString::fromLocal8Bit(std::strerror(error));
    return qt;
}

bool failed(const QFileDevice& file, QString* why, int error = 0)
{
    if (why)
        *why = reasonOf(file, error);
    return false;
}

// Writes the whole image and flushes it; false with errno's reason kept.
bool writeWhole(QFileDevice& file, const char* bytes, int& error)
{
    errno = 0;
    const bool whole = file.write(bytes, kImageSize) == static_cast<qint64>(kImageSize) && file.flush();
    error = whole ? 0 : errno;
    return whole;
}

const char* bytesOf(const ConfigImage& image)
{
    return reinterpret_cast<const char*>(image.rawBytes());
}

// A pipe or a device cannot be replaced by a new file: that would cut the
// reader off, or put a plain file where the device node was.
bool writeInto(const QString& path, const ConfigImage& image, QString* why)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(file, why);
    int error = 0;
    if (!writeWhole(file, bytesOf(image), error))
        return failed(file, why, error);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failed(file, why);
    return true;
}

// Reads the file just committed back, so a save is done only when the disk
// gives back every byte.
bool readsBackAs(const QString& path, const ConfigImage& image, QString* why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(file, why);
    const QByteArray stored = file.read(kImageSize + 1);
    if (stored.size() == static_cast<qsizetype>(kImageSize) && stored == QByteArray::fromRawData(bytesOf(image), kImageSize))
        return true;
    if (why)
        *why = QStringLiteral("the file reads back as %1 bytes that differ from those written").arg(stored.size());
    return false;
}
} // namespace

bool writeImageFile(const QString& path, const ConfigImage& image, QString* why)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return writeInto(path, image, why);
    if (target.isDir()) {
        // Opening it as a file fails, and gives the system's own words for why.
        QFile folder(path);
        folder.open(QIODevice::WriteOnly);
        return failed(folder, why);
    }
    // The new bytes go to a copy beside the file, which replaces it only once
    // every byte reached it: the buffered write is flushed and checked before the
    // commit, which alone would not report a full disk.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file, why);
    int error = 0;
    if (!writeWhole(file, bytesOf(image), error)) {
        const QString reason = reasonOf(file, error);
        file.cancelWriting();
        if (why)
            *why = reason;
        return false;
    }
    errno = 0;
    if (!file.commit())
        return failed(file, why, errno);
    return readsBackAs(path, image, why);
}
