// Runs a test body once per vector width this build holds and this CPU
// runs, with that width's kernels in use, and restores the default after.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vector_width.h"
#include "text/kernels.h"

namespace vector_widths {

using ostrel::platform::VectorWidth;

inline std::vector<VectorWidth> runnable() {
    std::vector<VectorWidth> widths;
    for (const VectorWidth width :
         {VectorWidth::Plain, VectorWidth::Bytes16, VectorWidth::Bytes32, VectorWidth::Bytes64}) {
        if (ostrel::platform::width_runs_here(width)) widths.push_back(width);
    }
    return widths;
}

template <typename Body>
void at_each_width(Body body) {
    for (const VectorWidth width : runnable()) {
        SCOPED_TRACE("vector width " + std::string(ostrel::platform::width_name(width)));
        ostrel::text::use_width(width);
        body(ostrel::text::kernels_of(width));
    }
    ostrel::text::use_width(VectorWidth::Bytes16);
}

}  // namespace vector_widths
