#pragma once
#include <chrono>
#include <cstdint>

// A 32-bit millisecond counter. It wraps; compare readings by unsigned difference.
class MillisecondClock {
public:
    virtual ~MillisecondClock() = default;
    virtual std::uint32_t now() = 0;
};

class SteadyClock final : public MillisecondClock {
public:
    std::uint32_t now() override
    {
        using namespace std::chrono;
        return static_cast<std::uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

class FakeClock final : public MillisecondClock {
public:
    explicit FakeClock(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t now() override { return now_; }
    void advance(std::uint32_t ms) { now_ += ms; }
    void set(std::uint32_t ms) { now_ = ms; }

private:
    std::uint32_t now_;
};
