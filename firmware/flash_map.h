#pragma once
#include <cstdint>

// The router's flash as the bootloader programs it: two windows of physical
// addresses, laid side by side in one picture of kFlashImageSize bytes.
constexpr std::uint32_t kFlashImageSize = 0x20C00;     // program flash + boot flash
constexpr std::uint32_t kProgramFlashBase = 0x1D000000;
constexpr std::uint32_t kProgramFlashSize = 0x20000;
constexpr std::uint32_t kBootFlashBase = 0x1FC00000;
constexpr std::uint32_t kBootFlashSize = 0xC00;
constexpr std::uint32_t kBootFlashImageOffset = 0x20000;
constexpr std::uint32_t kFirstImageOffset = 0x1000;    // the router's own first 4 KiB are never verified

enum class FlashWindow {
    None,      // no flash there: the router programs nothing
    Reserved,  // the first 4 KiB of program flash: programmed, never verified
    Program,
    Boot,
};

// Where one physical byte lands. Addresses past 32 bits (a base plus an offset
// that carried) have no flash.
constexpr FlashWindow flashWindowOf(std::uint64_t address)
{
    if (address >= kProgramFlashBase && address < kProgramFlashBase + kFirstImageOffset)
        return FlashWindow::Reserved;
    if (address >= kProgramFlashBase + kFirstImageOffset && address < kProgramFlashBase + kProgramFlashSize)
        return FlashWindow::Program;
    if (address >= kBootFlashBase && address < kBootFlashBase + kBootFlashSize)
        return FlashWindow::Boot;
    return FlashWindow::None;
}

// The picture's offset of a byte in a window other than None.
constexpr std::uint32_t flashOffsetOf(std::uint64_t address)
{
    return flashWindowOf(address) == FlashWindow::Boot
        ? static_cast<std::uint32_t>(address - kBootFlashBase + kBootFlashImageOffset)
        : static_cast<std::uint32_t>(address - kProgramFlashBase);
}
