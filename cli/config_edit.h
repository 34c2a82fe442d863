#pragma once
#include "config/config_image.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class ConfigDocument;

// Edits of a configuration by the names people read: ports as `show` prints
// them ("Keys In 1", "Synth Out 2", "MIDI In", "MIDI Out") and devices by name
// or by the slot `show` prints ("#0"). Every edit goes through the same
// document edits as the window's clicks. A failed edit changes nothing and says
// why in `error`, naming what the configuration has.
namespace ConfigEdit {

enum class Result { Done, UnknownName, TableFull };

// Every name a port can be given, sources or destinations.
QStringList portNames(const ConfigImage& image, bool sources);
QStringList deviceNames(const ConfigImage& image);

// Finds the port a name gives: Route::kRouter for "MIDI In" / "MIDI Out", else
// its global port. False with `error` when no port or more than one has the name.
bool findPort(const ConfigImage& image, const QString& name, bool source, int& port, QString& error);

// Switches each route on or off, as asked, in one go.
Result setRoutes(ConfigDocument& document, bool on, const std::vector<std::pair<QString, QString>>& routes, QString& error);
// Removes a device with all its routes.
Result removeDevice(ConfigDocument& document, const QString& device, QString& error);
// Makes the routes that are on exactly `wanted`, switching only what differs.
Result makeRoutes(ConfigDocument& document, const std::vector<Route>& wanted, QString& error);

} // namespace ConfigEdit
