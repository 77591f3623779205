#pragma once

#include "common/program.h"

namespace vel::app {

// The real handlers of every job the tick hands out.
Jobs RealJobs();

}  // namespace vel::app
