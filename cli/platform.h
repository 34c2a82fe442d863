#pragma once
#include <QString>
#include <QStringList>

#include <cstdio>

// The few things qorvctl asks of the operating system directly. Everything
// Linux-specific in the project lives in platform.cpp.
namespace Platform {

bool isTerminal(std::FILE* stream);
// Bytes through the stream unchanged (Windows would turn LF into CR LF).
void setBinary(std::FILE* stream);

// The rule the package installs, for a user who has to add it by hand: the
// router's HID device (bus 0003, USB), so it matches in either mode.
inline constexpr char kUdevRule[] = R"(KERNEL=="hidraw*", KERNELS=="0003:04D8:EFF6.*", TAG+="uaccess")";

struct HidNode {
    QString path;        // e.g. /dev/hidraw3
    bool exists = false;
    bool readable = false;
    bool writable = false;
};

// True when the hidraw device nodes can be listed on this system at all.
bool canListHidNodes();
// The hidraw nodes of every attached device with this vendor and product ID.
QList<HidNode> hidNodes(quint16 vendorId, quint16 productId, const QString& sysRoot = QStringLiteral("/sys"));
// True for a hidraw uevent text ("HID_ID=0003:000004D8:0000EFF6" …) of that device.
bool ueventNames(const QString& uevent, quint16 vendorId, quint16 productId);
// Rule files in the usual udev folders that give access to that device.
QStringList udevRulesFor(quint16 vendorId, quint16 productId, const QStringList& folders = {});

} // namespace Platform
