// The process-wide failure recorder. The file object, the INI backend and the growable
// arrays report file and memory failures here; it records an exit code, answers the file
// object's questions, and raises TVX_EXIT for failures that must end the current work.
// Its message sink shows nothing: the process exit code comes from the run options.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

namespace tvx {

enum TVX_EXIT : uint32_t {
    Success = 0,
    CloseFailed = 2,
    OutOfMemory = 8,
    ReadFailed = 12,
};

// What a user interface for these failures would be handed; this program discards it.
struct MessageRecord {
    static constexpr int kMaxArguments = 8;
    uint32_t number = 0;
    const wchar_t* arguments[kMaxArguments] = {L"", L"", L"", L"", L"", L"", L"", L""};
    int argumentCount = 0;
};

void DiscardMessage(const MessageRecord& message);

class ErrorReporter {
public:
    void NoteCode(TVX_EXIT code);
    [[noreturn]] void Quit(TVX_EXIT code);
    void ReportNoMemory();
    [[noreturn]] void FailNoMemory();
    void ReportCloseFailure(const wchar_t* fileName);
    void ReportSeekFailure(const wchar_t* fileName);
    bool ReportReadFailure(const wchar_t* fileName);  // true: ignore the error
    void ReportFileTooLarge(const wchar_t* fileName);
    bool AskRetryWrite(const wchar_t* fileName);       // never retries
    void ReportWriteFailure(const wchar_t* fileName);

    TVX_EXIT RecordedCode() const { return recordedCode_; }
    uint32_t ErrorCount() const { return errorCount_; }
    void Reset();  // tests start from a clean record

private:
    void Send(uint32_t number, const wchar_t* argument);

    TVX_EXIT recordedCode_ = Success;
    uint32_t errorCount_ = 0;
};

ErrorReporter& Errors();

// realloc, through which the growable arrays and the language table take their memory, so
// that tests can run out of it at a chosen point: nullptr when the memory cannot be had.
void* ReallocateMemory(void* block, size_t bytes);
// The next n allocations succeed and every later one fails; -1 lets all succeed again.
void FailAllocationAfterForTesting(int n);

}  // namespace tvx
