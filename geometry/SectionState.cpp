// SPDX-License-Identifier: MIT
#include "SectionState.h"

namespace camber {

SectionState& state()
{
    static SectionState instance;
    return instance;
}

} // namespace camber
