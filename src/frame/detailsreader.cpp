#include "frame/detailsreader.h"

#include <shellapi.h>

#include <mutex>
#include <utility>

#include "afxpath.h"
#include "imaging/wicdecode.h"
#include "thread.h"

struct CDetailsReader::Shared {
    Shared(HWND window, UINT message)
        : window(window), message(message), wake(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
    }
    ~Shared()
    {
        if (wake)
            ::CloseHandle(wake);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    const HWND window;
    const UINT message;
    const HANDLE wake;  // auto-reset: a request, or the end
    CCriticalSection lock;
    // Under lock:
    std::string wanted;
    unsigned requests = 0;
    bool quit = false;
    std::optional<FileDetails> result;  // for the latest request only
};

FileDetails ReadFileDetails(const std::string& path, const StopRequest& stop)
{
    FileDetails details;
    details.path = path;
    const std::wstring wide = AfxPathW(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
        return details;
    details.exists = true;
    details.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // By the name alone: the file is not opened for its type.
    SHFILEINFOW info{};
    if (::SHGetFileInfoW(AfxWide(path).c_str(), details.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL,
                         &info, sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES))
        details.kind = AfxUtf8(info.szTypeName);
    if (details.folder)
        return details;
    details.facts.fileSize = ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    try {
        details.facts = ReadPictureFacts(path, stop);
    } catch (...) {
        // Gone or locked since: the length listed stays.
    }
    return details;
}

CDetailsReader::CDetailsReader(HWND window, UINT message) : m_shared(std::make_shared<Shared>(window, message)) {}

CDetailsReader::~CDetailsReader()
{
    {
        std::lock_guard<CCriticalSection> hold(m_shared->lock);
        m_shared->quit = true;
    }
    ::SetEvent(m_shared->wake);
    m_thread.reset();
}

void CDetailsReader::Request(const std::string& path)
{
    {
        std::lock_guard<CCriticalSection> hold(m_shared->lock);
        m_shared->wanted = path;
        ++m_shared->requests;
        m_shared->result.reset();
    }
    ::SetEvent(m_shared->wake);
    if (m_thread || !m_shared->wake)
        return;
    m_thread = std::make_unique<CBackgroundThread>([shared = m_shared] {
        const CComOnThread com;
        for (;;) {
            ::WaitForSingleObject(shared->wake, INFINITE);
            std::string path;
            unsigned request;
            {
                std::lock_guard<CCriticalSection> hold(shared->lock);
                if (shared->quit)
                    return;
                path = shared->wanted;
                request = shared->requests;
            }
            const auto superseded = [&] {
                std::lock_guard<CCriticalSection> hold(shared->lock);
                return shared->quit || shared->requests != request;
            };
            FileDetails details = ReadFileDetails(path, superseded);
            std::lock_guard<CCriticalSection> hold(shared->lock);
            if (shared->quit)
                return;
            if (shared->requests == request) {
                shared->result = std::move(details);
                ::PostMessageW(shared->window, shared->message, 0, 0);
            }
        }
    });
    if (!m_thread->Started())
        m_thread.reset();
}

std::optional<FileDetails> CDetailsReader::Take()
{
    std::lock_guard<CCriticalSection> hold(m_shared->lock);
    return std::exchange(m_shared->result, std::nullopt);
}
