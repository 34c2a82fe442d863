// Writes the empty configuration that the build places beside the program: no
// devices, an empty route table, MIDI thru on.
#include "config/config_files.h"
#include "config/config_image.h"

#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    return writeImageFile(QString::fromLocal8Bit(argv[1]), ConfigImage::empty()) ? 0 : 1;
}
