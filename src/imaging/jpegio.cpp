#include "imaging/jpegio.h"

#include <fcntl.h>
#include <io.h>

#include "afxpath.h"

DWORD LastError()
{
    const DWORD error = ::GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

// A picture open for reading that other programs may still delete, rename
// or rewrite meanwhile, as they could if it were not open at all.
FilePtr OpenSharedForReading(const std::string& path)
{
    HANDLE handle = AfxCreateFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    const int descriptor = ::_open_osfhandle((intptr_t)handle, _O_RDONLY | _O_BINARY);
    if (descriptor == -1) {
        ::CloseHandle(handle);
        ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    FILE* file = ::_fdopen(descriptor, "rb");
    if (!file) {
        ::_close(descriptor);
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return FilePtr(file);
}

DWORD ReadFailure(FILE* file)
{
    if (!std::ferror(file))
        return 0;
    // The C library keeps the system's error of its last failed call.
    const DWORD error = (DWORD)_doserrno;
    return error ? error : ERROR_READ_FAULT;
}

void ThrowingErrorExit(jpeg_common_struct* info)
{
    (*info->err->output_message)(info);
    throw (int)info->err->msg_code;
}
