#pragma once
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

class MillisecondClock;

// Appends one line per HID report to a file named by QORV_TRACE, for diagnosing
// a router that misbehaves. Without that variable nothing is written.
class Trace {
public:
    enum class Direction { Out, In };

    // `path` in UTF-8; empty means no trace.
    Trace(const std::string& path, MillisecondClock& clock);

    bool isOpen() const { return file_.is_open(); }
    void report(Direction direction, const std::uint8_t* bytes, std::size_t count);

private:
    std::ofstream file_;
    MillisecondClock& clock_;
};
