#include "common/errors.h"
#include <cstdlib>

namespace tvx {

namespace {
// Message numbers a user interface for these failures would show.
constexpr uint32_t kMessageNoMemory = 7;
constexpr uint32_t kMessageCloseFailed = 10;
constexpr uint32_t kMessageSeekFailed = 11;
constexpr uint32_t kMessageFileTooLarge = 73;

int allocationsBeforeFailure = -1;  // -1: none fails
}  // namespace

void* ReallocateMemory(void* block, size_t bytes)
{
    if (allocationsBeforeFailure == 0) return nullptr;
    if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
    return std::realloc(block, bytes);
}

void FailAllocationAfterForTesting(int n) { allocationsBeforeFailure = n; }

void DiscardMessage(const MessageRecord&) {}

ErrorReporter& Errors()
{
    static ErrorReporter reporter;
    return reporter;
}

void ErrorReporter::NoteCode(TVX_EXIT code)
{
    ++errorCount_;
    // A close failure never hides an earlier read or memory failure.
    if (code != CloseFailed || recordedCode_ == Success) recordedCode_ = code;
}

void ErrorReporter::Quit(TVX_EXIT code)
{
    NoteCode(code);
    throw code;
}

void ErrorReporter::ReportNoMemory()
{
    Send(kMessageNoMemory, nullptr);
    NoteCode(OutOfMemory);
}

void ErrorReporter::FailNoMemory()
{
    Send(kMessageNoMemory, nullptr);
    Quit(OutOfMemory);
}

void ErrorReporter::ReportCloseFailure(const wchar_t* fileName)
{
    Send(kMessageCloseFailed, fileName);
    NoteCode(CloseFailed);
}

void ErrorReporter::ReportSeekFailure(const wchar_t* fileName)
{
    Send(kMessageSeekFailed, fileName);
}

bool ErrorReporter::ReportReadFailure(const wchar_t*)
{
    NoteCode(ReadFailed);
    return true;
}

void ErrorReporter::ReportFileTooLarge(const wchar_t* fileName)
{
    Send(kMessageFileTooLarge, fileName);
}

bool ErrorReporter::AskRetryWrite(const wchar_t*) { return false; }

void ErrorReporter::ReportWriteFailure(const wchar_t*) {}

void ErrorReporter::Reset()
{
    recordedCode_ = Success;
    errorCount_ = 0;
}

void ErrorReporter::Send(uint32_t number, const wchar_t* argument)
{
    MessageRecord message;
    message.number = number;
    if (argument != nullptr) {
        message.arguments[0] = argument;
        message.argumentCount = 1;
    }
    DiscardMessage(message);
}

}  // namespace tvx
