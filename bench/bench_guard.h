// The guard's rows of the benchmark (bench_guard.cpp).
#pragma once

#include <string>

namespace zendrel::bench {

// Installs ZendrelGuard.exe of `folder` as a service of this prefix, holds
// activity logging on, measures, prints its rows and removes the service.
void GuardRows(const std::wstring& folder, int changes, int idleSeconds);

}  // namespace zendrel::bench
