#include "link/crc16.h"
#include "reference_crc.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace {
std::uint16_t referenceCrc(const std::vector<std::uint8_t>& bytes)
{
    return ::referenceCrc(bytes.data(), bytes.size());
}
} // namespace

TEST(Crc16, KnownValues)
{
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::uint16_t crc;
    };
    const std::string check = "123456789";
    const std::array<Case, 4> cases = {{
        {{check.begin(), check.end()}, 0x31C3},
        {{}, 0x0000},
        {{0x01}, 0x1021},   // the Version packet
        {{0x02}, 0x2042},   // the Erase packet
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        EXPECT_EQ(Crc16(c.bytes.data(), c.bytes.size()), c.crc);
    }
}

TEST(Crc16, MatchesBitwiseReferenceOnRandomData)
{
    std::mt19937 random(1234);
    for (int length : {1, 2, 15, 64, 253, 4096}) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        SCOPED_TRACE(length);
        EXPECT_EQ(Crc16(bytes.data(), bytes.size()), referenceCrc(bytes));
    }
}
