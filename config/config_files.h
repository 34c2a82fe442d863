#pragma once
#include <QString>

class ConfigImage;

// A configuration file is exactly the image's 4096 bytes, nothing else.

// Reads up to 4096 bytes over the start of the image and returns how many it
// read, -1 when the file cannot be opened. A missing or short file leaves the
// bytes it does not supply as they were. The window stays silent about it by
// choice; the command line is strict.
qint64 readImageFile(const QString& path, ConfigImage& image);
// The file's size when it can be read, -1 otherwise (a file longer than an image is read in part).
qint64 imageFileSize(const QString& path);
// A configuration file read strictly, as opening one must: `image` takes its
// bytes only when it holds exactly one image, and is left as it was otherwise.
struct ConfigurationRead {
    enum class Result { Read, Unreadable, WrongSize };
    Result result = Result::Unreadable;
    qint64 size = -1;  // the file's size when it could be read
};
ConfigurationRead readConfigurationFile(const QString& path, ConfigImage& image);
// Writes the image and checks the write to its end. A regular file (or a new
// one) is replaced whole or not at all; anything else the name leads to, a
// pipe or a device, is written into directly. False when it could not be
// written, with the system's reason in `why`; a file that was there is then
// left as it was.
bool writeImageFile(const QString& path, const ConfigImage& image, QString* why = nullptr);
