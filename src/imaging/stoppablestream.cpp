#include "imaging/stoppablestream.h"

#include <cstring>
#include <utility>

#include "imaging/jpegio.h"

namespace {

// The system's decoders read on the thread that asked them to decode.
thread_local DWORD t_readFailure = 0;

class StoppableStream final : public IStream {
public:
    StoppableStream(HANDLE handle, StopRequest stop, std::shared_ptr<std::atomic<bool>> stopped)
        : m_handle(handle), m_stop(std::move(stop)), m_stopped(std::move(stopped))
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* into, ULONG length, ULONG* read) override
    {
        if (read)
            *read = 0;
        // Asked once: a stop, once said, stands.
        if (*m_stopped || (m_stop && m_stop())) {
            *m_stopped = true;
            return E_ABORT;
        }
        DWORD done = 0;
        if (!::ReadFile(m_handle, into, length, &done, nullptr)) {
            t_readFailure = LastError();
            return HRESULT_FROM_WIN32(t_readFailure);
        }
        if (read)
            *read = done;
        return done == length ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override
    {
        LARGE_INTEGER now{};
        if (!::SetFilePointerEx(m_handle, move, &now, origin))
            return HRESULT_FROM_WIN32(::GetLastError());
        if (position)
            position->QuadPart = (ULONGLONG)now.QuadPart;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override
    {
        if (!stat)
            return STG_E_INVALIDPOINTER;
        std::memset(stat, 0, sizeof *stat);
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(m_handle, &size))
            return HRESULT_FROM_WIN32(::GetLastError());
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = (ULONGLONG)size.QuadPart;
        stat->grfMode = STGM_READ;
        return S_OK;
    }

    // A picture is only read.
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    ~StoppableStream() = default;

    std::atomic<ULONG> m_references{1};
    HANDLE m_handle;
    StopRequest m_stop;
    std::shared_ptr<std::atomic<bool>> m_stopped;
};

} // namespace

Microsoft::WRL::ComPtr<IStream> MakeStoppableStream(HANDLE handle, const StopRequest& stop,
                                                    const std::shared_ptr<std::atomic<bool>>& stopped)
{
    Microsoft::WRL::ComPtr<IStream> stream;
    stream.Attach(new StoppableStream(handle, stop, stopped));
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

DWORD TakeStreamReadFailure()
{
    return std::exchange(t_readFailure, 0);
}
