#include "core/work_folder.h"

#include <QDir>
#include <QFile>

namespace {
const QString kFolderName = QStringLiteral("QORVConfig");
const QString kLastFile = QStringLiteral("last.qorv");
}

QString workFolderPath(const QString& homePath, const QString& fallbackHome)
{
    const QString base = homePath.isEmpty() ? fallbackHome : homePath;
    return QDir::cleanPath(QDir::fromNativeSeparators(base) + QLatin1Char('/') + kFolderName);
}

QString homePathVariable()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("HOMEPATH");
#else
    return QString();
#endif
}

void prepareWorkFolder(const QString& folder, const QString& programFolder)
{
    QDir dir(folder);
    if (dir.exists())
        return;
    QDir().mkpath(folder);
    const QString destination = dir.filePath(kLastFile);
    QFile::remove(destination);
    QFile::copy(QDir(programFolder).filePath(kLastFile), destination);
}
