#include "link/trace.h"

#include "link/clock.h"

#include <filesystem>

Trace::Trace(const std::string& path, MillisecondClock& clock) : clock_(clock)
{
    if (!path.empty())
        file_.open(std::filesystem::u8path(path), std::ios::app);
}

void Trace::report(Direction direction, const std::uint8_t* bytes, std::size_t count)
{
    if (!file_.is_open())
        return;
    static const char digits[] = "0123456789ABCDEF";
    std::string line = direction == Direction::Out ? "out " : "in  ";
    line += std::to_string(clock_.now());
    for (std::size_t i = 0; i < count; ++i) {
        line += ' ';
        line += digits[bytes[i] >> 4];
        line += digits[bytes[i] & 15];
    }
    file_ << line << '\n' << std::flush;
}
