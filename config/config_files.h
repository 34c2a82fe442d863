#pragma once
#include <QString>

class ConfigImage;

// A configuration file is exactly the image's 4096 bytes, nothing else.

// Reads up to 4096 bytes over the start of the image. A missing or short file
// leaves the bytes it does not supply as they were; nothing is reported.
void readImageFile(const QString& path, ConfigImage& image);
// Replaces the file atomically; false when it could not be written, the old file then intact.
bool writeImageFile(const QString& path, const ConfigImage& image);
