#pragma once
#include "link/boot_commands.h"

#include <cstdint>

// Why a firmware file cannot be programmed and verified whole. The first problem
// found is reported, with the line it stands on.
enum class FirmwareProblem : int {
    None = 0,
    SignatureLineTooLong,  // the first line runs past 18 characters, so no record follows it
    NotHex,                // a character that is not a hexadecimal digit
    OddDigits,
    ByteCount,             // the count byte disagrees with the number of pairs on the line
    Checksum,
    LineTooLong,           // longer than a Program packet's line limit
    NotARecord,            // a blank, indented or text line with records after it
    NoEndRecord,           // no type 01 record: the sign of a cut download
    NoData,                // no data record reaches the image: nothing could be verified
    CrOnlyLineEnds,        // lines end in CR alone, so the signature line never ends
    RecordLength,          // an address, start or end record whose byte count is wrong for its type
    UnknownType,           // a record type the router does not know
    Overlap,               // writes other data over a byte an earlier record wrote
    Straddles,             // runs across an edge of a flash window (or of its first 4 KiB)
    OutsideFlash,          // data where the router has no flash, but that Verify would check as boot flash
};

// The range a Verify carries, and what the file holds outside it.
struct ImageRange : VerifyRange {
    // Data bytes of the file that lie outside the verified windows (below offset
    // 0x1000, or outside both flash windows); they are sent but not verified.
    std::uint32_t outsideBytes = 0;
};

struct FirmwareCheck {
    FirmwareProblem problem = FirmwareProblem::None;
    int line = 0;             // 1-based line of the problem; 0 when it belongs to no line
    std::uint32_t records = 0;
    ImageRange range;

    bool ok() const { return problem == FirmwareProblem::None; }
};
