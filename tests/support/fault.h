// Faults that Wine cannot produce on demand, for the fault tests of every suite: a file object
// whose disk fills up or whose medium fails at a chosen point, and memory that runs out after
// a chosen number of allocations.
#pragma once
#include <windows.h>
#include <cstdint>
#include "common/fileobject.h"

namespace tvx::test {

class FaultyFile : public FileObject {
public:
    // The write with this number (1 is the first) fails as on a full disk, and so does every
    // later one. 0: none fails.
    void FailWritesFrom(int number) { failingWrite_ = number; }
    // Reads deliver the file up to this byte offset; a read from there on fails as on a
    // damaged medium. -1: none fails.
    void FailReadsAt(int64_t offset) { failingOffset_ = offset; }
    int Writes() const { return writes_; }

protected:
    BOOL SystemRead(void* buffer, DWORD count, DWORD* read) override;
    BOOL SystemWrite(const void* data, DWORD count, DWORD* written) override;

private:
    int failingWrite_ = 0;
    int writes_ = 0;
    int64_t failingOffset_ = -1;
};

// While alive, the growable arrays' and the language table's allocations after the first
// `after` fail; the error reporter is cleared at the end.
class MemoryRunsOut {
public:
    explicit MemoryRunsOut(int after);
    ~MemoryRunsOut();
    MemoryRunsOut(const MemoryRunsOut&) = delete;
    MemoryRunsOut& operator=(const MemoryRunsOut&) = delete;
};

// Prints "<test>: <count> fault cases" for the test running, so that the reliability table
// (tools/faults) shows how many fault points a sweep went through.
void PrintFaultCases(int count);

}  // namespace tvx::test
