#pragma once
#include "config/config_image.h"

#include <QString>

#include <string>

// Device names are stored by the router in the Windows ANSI code page (1252),
// which differs from Latin-1 at 0x80-0x9F (the euro sign, curly quotes, ...).
QString decodeDeviceName(const std::string& bytes);

// A device's name as shown; one without a name is "Device N", N its slot from 1.
QString deviceName(const ConfigImage& image, int device);

// How a port is named wherever words describe it (the window's tooltips, screen
// reader texts and Edit menu; qorvctl): "Keys In 1", "Synth Out 2", and "MIDI In"
// / "MIDI Out" for the router's own (Route::kRouter, or a port beyond the devices).
QString portName(const ConfigImage& image, int globalPort, bool source);
