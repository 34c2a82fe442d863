#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class MillisecondClock;

// Appends one line per HID report to a file named by QORV_TRACE, for diagnosing
// a router that misbehaves. Without that variable nothing is written.
class Trace {
public:
    enum class Direction { Out, In };

    Trace(const std::string& path, MillisecondClock& clock);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    void report(Direction direction, const std::uint8_t* bytes, std::size_t count);

private:
    std::FILE* file_ = nullptr;
    MillisecondClock& clock_;
};
