#include "config/config_files.h"

#include "config/config_image.h"

#include <QFile>
#include <QSaveFile>

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

bool writeImageFile(const QString& path, const ConfigImage& image)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(reinterpret_cast<const char*>(image.rawBytes()), kImageSize) != static_cast<qint64>(kImageSize))
        return false;  // QSaveFile discards the temporary copy
    return file.commit();
}
