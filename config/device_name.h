#pragma once
#include <QString>

#include <string>

// Device names are stored by the router in the Windows ANSI code page (1252),
// which differs from Latin-1 at 0x80-0x9F (the euro sign, curly quotes, ...).
QString decodeDeviceName(const std::string& bytes);
