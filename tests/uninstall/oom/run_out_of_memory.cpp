// Linked only into uninstall_oom, the test variant of the program that runs out of memory
// on purpose: the allocation after the number in TVX_FAIL_ALLOCATION_AFTER fails, and every
// later one. All of the variant's allocations, the arrays' and operator new's, are counted.
// The shipped uninstall.exe has no such hook.
#include <windows.h>
#include <cstdlib>
#include <cwchar>
#include <new>
#include "common/errors.h"

namespace {

struct FailureFromEnvironment {
    FailureFromEnvironment()
    {
        wchar_t text[16];
        DWORD length = GetEnvironmentVariableW(L"TVX_FAIL_ALLOCATION_AFTER", text, 16);
        if (length > 0 && length < 16) tvx::FailAllocationAfterForTesting(_wtoi(text));
    }
};
const FailureFromEnvironment failureFromEnvironment;

}  // namespace

void* operator new(std::size_t size)
{
    void* memory = tvx::ReallocateMemory(nullptr, size == 0 ? 1 : size);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
