// Starting another program the way the Windows shell would be asked to.
#pragma once

#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {

// Splits a Windows parameter string into arguments as CommandLineToArgvW does:
// spaces and tabs separate, double quotes group (a doubled quote inside quotes is
// a literal one), and backslashes are literal except before a quote, where 2n of
// them give n and a grouping quote, and 2n + 1 give n and a literal quote.
std::vector<Text> SplitCommandLine(const Text &parameters);

} // namespace dravik
