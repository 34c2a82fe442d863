#pragma once
#include "config/config_image.h"

#include <QJsonObject>
#include <QStringList>

// The configuration image in words, for people and for other programs.
namespace ConfigText {

// "0582 / 0160  Keys  serial 1048577  2 ports"
QString deviceLine(const DeviceEntry& device);
// One line per switched-on route: "MIDI In -> Synth Out 2", "Keys In 1 -> MIDI Out", …
QStringList routeLines(const ConfigImage& image);
QString show(const ConfigImage& image);
// Devices, routes and MIDI thru in words, and under "bytes" every byte of the
// image, so that fromJson() gives the same 4096 bytes back.
QJsonObject toJson(const ConfigImage& image);
// Reads what toJson() writes. The bytes, when given, are the starting point;
// the devices, routes and MIDI thru then say what the image holds, and what
// differs is changed with the same edits as the window's and qorvctl's. False
// with the line or the entry, and what is wrong, in `error`.
bool fromJson(const QByteArray& text, ConfigImage& image, QString& error);

struct Difference {
    QStringList devicesAdded;
    QStringList devicesRemoved;
    QStringList routesAdded;
    QStringList routesRemoved;
    int reservedBytes = 0;    // how many reserved bytes differ
    bool flagBits = false;    // flag bits other than MIDI thru differ
    int otherBytes = 0;       // bytes that differ and show in none of the above
    bool identical = true;
};
Difference diff(const ConfigImage& before, const ConfigImage& after);
QString describe(const Difference& difference);

} // namespace ConfigText
