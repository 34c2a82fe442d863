#pragma once
#include "link/boot_commands.h"

// What the update says of itself to those who only report it (the texts, the
// published status): its words, without its machinery.

// Why a running update ended before its Verify.
enum class UpdateStop : int {
    NoAnswer = 0,   // a command ran out of attempts
    NoRecord = 1,   // no Program packet could be built after the Erase
    RouterGone = 2, // a read or write of the link failed
};
