#pragma once
#include "link/hid_port.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

// An invariant a user relies on; a broken one stops the fuzzer with the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// No router at all: for targets that only build packets.
class FuzzNullBackend final : public HidBackend {
public:
    std::unique_ptr<HidPort> open(std::uint16_t, std::uint16_t) override { return nullptr; }
    bool isPresent(std::uint16_t, std::uint16_t) override { return false; }
};
