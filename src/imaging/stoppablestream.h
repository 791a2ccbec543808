// A picture file as a stream for the system's imaging component, read
// through the handle it is open as and given up at the first read after a
// stop request: the decoders read whole pictures before handing out any row.
#pragma once

#include <objidl.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>

#include "imaging/picture.h"

// The stream over handle (not owned; it must outlive the stream). Once stop
// says so, every read fails and *stopped is set.
Microsoft::WRL::ComPtr<IStream> MakeStoppableStream(HANDLE handle, const StopRequest& stop,
                                                    const std::shared_ptr<std::atomic<bool>>& stopped);

// The Win32 error of the last read that failed on a stream of the calling
// thread since the call before, which it clears; 0 when none did. The
// system's decoders only say that the picture did not decode.
DWORD TakeStreamReadFailure();
