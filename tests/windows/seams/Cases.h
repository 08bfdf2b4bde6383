#pragma once

#include "Check.h"

#include <string>

namespace wintest {

// binDir holds the test program, full/config.dat, no618/config.dat and resources/ZOLVEN.exe.
void libraryCases(Runner& runner, const std::wstring& binDir);
void systemCases(Runner& runner);
void resourceCases(Runner& runner, const std::wstring& binDir);

} // namespace wintest
