#pragma once
#include "sim/sim_router.h"

// One way a configuration exchange goes wrong: the direction, and the router's
// manners from now on.
struct ExchangeFault {
    bool receive = true;
    int answers = -1;      // replies it still sends (-1: every one)
    int ackOffBy = 0;      // its write acknowledgements name the right offset plus this
    int dropWriteAt = -1;  // the block at this offset is acknowledged but never kept

    SimFaults faults() const
    {
        SimFaults f;
        f.answersLeft = answers;
        f.ackOffBy = ackOffBy;
        f.dropWriteAt = dropWriteAt;
        f.drops = -1;
        return f;
    }
};
