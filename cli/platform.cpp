#include "cli/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace Platform {

bool isTerminal(std::FILE* stream)
{
#if defined(_WIN32)
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void setBinary(std::FILE* stream)
{
#if defined(_WIN32)
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

bool canListHidNodes()
{
#if defined(__linux__)
    return QDir(QStringLiteral("/sys/class/hidraw")).exists();
#else
    return false;
#endif
}

bool ueventNames(const QString& uevent, quint16 vendorId, quint16 productId)
{
    // HID_ID=bus:vendor:product, each in hexadecimal and zero-padded to 4 or 8 digits.
    static const QRegularExpression hidId(QStringLiteral("^HID_ID=([0-9A-Fa-f]+):([0-9A-Fa-f]+):([0-9A-Fa-f]+)\\s*$"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = hidId.match(uevent);
    if (!match.hasMatch())
        return false;
    bool ok1 = false, ok2 = false;
    return match.captured(2).toUInt(&ok1, 16) == vendorId && match.captured(3).toUInt(&ok2, 16) == productId && ok1
        && ok2;
}

QList<HidNode> hidNodes(quint16 vendorId, quint16 productId, const QString& sysRoot)
{
    QList<HidNode> nodes;
    const QDir classDir(sysRoot + QStringLiteral("/class/hidraw"));
    for (const QString& name : classDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        QFile uevent(classDir.filePath(name + QStringLiteral("/device/uevent")));
        if (!uevent.open(QIODevice::ReadOnly) || !ueventNames(QString::fromLatin1(uevent.readAll()), vendorId, productId))
            continue;
        HidNode node;
        node.path = QStringLiteral("/dev/") + name;
        const QFileInfo info(node.path);
        node.exists = info.exists();
        node.readable = info.isReadable();
        node.writable = info.isWritable();
        nodes.append(node);
    }
    return nodes;
}

QStringList udevRulesFor(quint16 vendorId, quint16 productId, const QStringList& folders)
{
    const QStringList searched = folders.isEmpty()
        ? QStringList{QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
                      QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")}
        : folders;
    const QString vendor = QStringLiteral("%1").arg(vendorId, 4, 16, QLatin1Char('0'));
    const QString product = QStringLiteral("%1").arg(productId, 4, 16, QLatin1Char('0'));
    QStringList found;
    for (const QString& folder : searched) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList({QStringLiteral("*.rules")}, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll()).toLower();
            const QString canonical = QFileInfo(dir.filePath(name)).canonicalFilePath();
            if (text.contains(vendor) && text.contains(product) && !found.contains(canonical))
                found << canonical;
        }
    }
    return found;
}

} // namespace Platform
