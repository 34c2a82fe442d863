#include "link/trace.h"

#include "link/clock.h"

#include <filesystem>

Trace::Trace(const std::string& path, MillisecondClock& clock) : clock_(clock)
{
    if (!path.empty())
        file_ = std::fopen(std::filesystem::u8path(path).string().c_str(), "a");
}

Trace::~Trace()
{
    if (file_)
        std::fclose(file_);
}

void Trace::report(Direction direction, const std::uint8_t* bytes, std::size_t count)
{
    if (!file_)
        return;
    std::fprintf(file_, "%s %u", direction == Direction::Out ? "out" : "in ", clock_.now());
    for (std::size_t i = 0; i < count; ++i)
        std::fprintf(file_, " %02X", bytes[i]);
    std::fputc('\n', file_);
    std::fflush(file_);
}
