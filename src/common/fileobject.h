// One Windows file handle with its name, for reading or writing a whole file: the language
// loader and the text reader read through it, the INI backend writes through it. Opens and
// creates retry once in the extended-length form; a failed read becomes the end of the data;
// a file created here and never closed is deleted when the object goes away.
#pragma once
#include <windows.h>
#include <cstdint>
#include "common/handles.h"
#include "common/strings.h"

namespace tvx {

class FileObject {
public:
    FileObject() = default;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    virtual ~FileObject();
    // Open and Create let go of a file the object still holds (closed, kept). A failed Open
    // leaves that file as it was; a failed Create leaves no file open.
    virtual bool Open(const wchar_t* name, bool shareWrite);
    virtual bool Close();
    virtual uint32_t Read(void* buffer, uint32_t count);
    virtual void Seek(int64_t offset, DWORD method);
    virtual int64_t Tell();  // -1 after a failure
    virtual bool IsOpen() const;

    bool Create(const wchar_t* name, bool shareRead);
    bool Write(const void* data, uint32_t count);
    bool Delete();

    const wchar_t* FileName() const { return fileName_; }
    // A read failed since the last successful Open: what was read ends early.
    bool ReadFailed() const { return readFailed_; }

protected:
    // The one system read and write, apart so tests can make them fail (Wine cannot on
    // demand).
    virtual BOOL SystemRead(void* buffer, DWORD count, DWORD* read);
    virtual BOOL SystemWrite(const void* data, DWORD count, DWORD* written);

private:
    uint32_t RetryCount(uint32_t count) const;
    bool MovePointer(int64_t distance, DWORD method, int64_t* position);
    void CheckFileTooLarge(uint32_t count);

    FileHandle handle_;
    bool createdHere_ = false;
    bool readFailed_ = false;
    wchar_t fileName_[kPathCapacity] = L"";
};

}  // namespace tvx
