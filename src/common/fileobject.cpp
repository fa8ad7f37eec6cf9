#include "common/fileobject.h"
#include "common/errors.h"
#include "common/fileops.h"

namespace tvx {

namespace {

// Reads from consoles and pipes fail above some size on older systems; a read that runs into
// a locked range (a file on a network share, say) may still succeed for a smaller piece.
constexpr uint32_t kDeviceReadLimit = 20000;
constexpr uint32_t kLockedReadLimit = 32768;
constexpr int64_t kFourGiB = int64_t{1} << 32;

HANDLE CreateFileWithRetry(const wchar_t* name, DWORD access, DWORD share, DWORD disposition,
                           DWORD flags)
{
    return WithLongPathRetry(name, INVALID_HANDLE_VALUE, [=](const wchar_t* form) {
        return CreateFileW(form, access, share, nullptr, disposition, flags, nullptr);
    });
}

}  // namespace

FileObject::~FileObject()
{
    if (!IsOpen()) return;
    // A file made here and never closed is incomplete: it goes rather than stays half written.
    if (createdHere_) Delete();
    else Close();
}

bool FileObject::Open(const wchar_t* name, bool shareWrite)
{
    DWORD share = FILE_SHARE_READ | (shareWrite ? FILE_SHARE_WRITE : 0);
    HANDLE opened = CreateFileWithRetry(name, GENERIC_READ, share, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN);
    if (opened == INVALID_HANDLE_VALUE) return false;
    Close();  // an object reused for another file lets go of the one it held
    handle_.reset(opened);
    createdHere_ = false;
    readFailed_ = false;
    CopyText(fileName_, name, kPathCapacity);
    return true;
}

bool FileObject::Create(const wchar_t* name, bool shareRead)
{
    Close();
    handle_.reset(CreateFileWithRetry(name, GENERIC_READ | GENERIC_WRITE,
                                      shareRead ? FILE_SHARE_READ : 0, CREATE_ALWAYS, 0));
    createdHere_ = true;
    CopyText(fileName_, name, kPathCapacity);
    return IsOpen();
}

bool FileObject::Close()
{
    if (!IsOpen()) return true;
    if (CloseHandle(handle_.release())) return true;
    Errors().ReportCloseFailure(fileName_);
    return false;
}

bool FileObject::IsOpen() const { return handle_.valid(); }

bool FileObject::Delete()
{
    Close();
    return DeleteFileLong(fileName_);
}

// A failed read is reported once and then looks like the end of the data, now and until the
// next successful Open, so a reader stops cleanly with what it has.
uint32_t FileObject::Read(void* buffer, uint32_t count)
{
    if (readFailed_) return 0;
    DWORD read = 0;
    if (SystemRead(buffer, count, &read)) return read;
    uint32_t retry = RetryCount(count);
    if (retry != 0 && SystemRead(buffer, retry, &read)) return read;
    Errors().ReportReadFailure(fileName_);
    readFailed_ = true;
    return 0;
}

// The smaller piece to try again with after a failed read of count bytes, or 0. A retried
// piece is never above either limit, so there is at most one retry.
uint32_t FileObject::RetryCount(uint32_t count) const
{
    DWORD error = GetLastError();
    DWORD type = GetFileType(handle_.get());
    if ((type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) && count > kDeviceReadLimit)
        return kDeviceReadLimit;
    if (count > kLockedReadLimit && error == ERROR_LOCK_VIOLATION) return kLockedReadLimit;
    return 0;
}

bool FileObject::Write(const void* data, uint32_t count)
{
    if (count == 0) return true;
    do {
        DWORD written = 0;
        if (SystemWrite(data, count, &written) && written == count) return true;
        CheckFileTooLarge(count);
    } while (Errors().AskRetryWrite(fileName_));
    Errors().ReportWriteFailure(fileName_);
    return false;
}

// A write that crossed 4 GiB on a volume with room for it failed for the file system's size
// limit, not for want of space: that gets its own report.
void FileObject::CheckFileTooLarge(uint32_t count)
{
    DWORD error = GetLastError();
    int64_t position = Tell();
    uint64_t freeSpace = GetFreeSpace(fileName_);
    SetLastError(error);
    if (freeSpace > count && position - count < kFourGiB && position + count >= kFourGiB)
        Errors().ReportFileTooLarge(fileName_);
}

void FileObject::Seek(int64_t offset, DWORD method)
{
    if (!IsOpen()) return;
    int64_t position = 0;
    MovePointer(offset, method, &position);
}

int64_t FileObject::Tell()
{
    if (!IsOpen()) {
        Errors().ReportSeekFailure(fileName_);
        return -1;
    }
    int64_t position = -1;
    return MovePointer(0, FILE_CURRENT, &position) ? position : -1;
}

// SetFilePointer returns 0xFFFFFFFF also for a valid position whose low half is all ones;
// only the last error tells a failure.
bool FileObject::MovePointer(int64_t distance, DWORD method, int64_t* position)
{
    LONG high = static_cast<LONG>(distance >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(handle_.get(), static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        Errors().ReportSeekFailure(fileName_);
        return false;
    }
    *position = static_cast<int64_t>((static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low);
    return true;
}

BOOL FileObject::SystemRead(void* buffer, DWORD count, DWORD* read)
{
    return ReadFile(handle_.get(), buffer, count, read, nullptr);
}

BOOL FileObject::SystemWrite(const void* data, DWORD count, DWORD* written)
{
    return WriteFile(handle_.get(), data, count, written, nullptr);
}

}  // namespace tvx
