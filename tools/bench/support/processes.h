// Helpers of the benchmarks that time whole programs: a process started and timed to its
// end, a staged tree deleted again, a folder awaited until another process has removed it,
// and the median of the runs.
#pragma once
#include <string>
#include <vector>

namespace tvx::bench {

// Seconds from the start of the process to its end; negative when it could not be started.
// folder: its current folder (empty: this process's).
double RunTimed(const std::wstring& commandLine, const std::wstring& folder = L"");
// Waits up to a minute for a path to disappear; false when it is still there.
bool WaitUntilGone(const std::wstring& path);
// Deletes a folder with everything in it, read-only files too.
void DeleteTree(const std::wstring& path);
double Median(std::vector<double> values);

}  // namespace tvx::bench
