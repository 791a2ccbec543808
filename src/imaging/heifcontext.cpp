#include "imaging/heifcontext.h"

#include "imaging/decodelimits.h"

CHeifFile::CHeifFile(FILE* file, const StopRequest& stop, int tileThreads) : m_file(file), m_stop(stop)
{
    if (_fseeki64(file, 0, SEEK_END) != 0 || (m_size = _ftelli64(file)) < 0 || _fseeki64(file, 0, SEEK_SET) != 0)
        return;
    m_reader.reader_api_version = 1;
    m_reader.get_position = &CHeifFile::Position;
    m_reader.read = &CHeifFile::Read;
    m_reader.seek = &CHeifFile::Seek;
    m_reader.wait_for_file_size = &CHeifFile::WaitForSize;
    m_context = heif_context_alloc();
    if (!m_context)
        return;
    // Either side; the pixels of both together are checked by the callers.
    heif_context_set_maximum_image_size_limit(m_context, kMostDecodedSide);
    heif_context_set_max_decoding_threads(m_context, tileThreads);
    if (heif_context_read_from_reader(m_context, &m_reader, this, nullptr).code != heif_error_Ok)
        return;
    if (heif_context_get_primary_image_handle(m_context, &m_primary).code != heif_error_Ok)
        m_primary = nullptr;
}

CHeifFile::~CHeifFile()
{
    if (m_primary)
        heif_image_handle_release(m_primary);
    if (m_context)
        heif_context_free(m_context);
}

int64_t CHeifFile::Position(void* self)
{
    return _ftelli64(static_cast<CHeifFile*>(self)->m_file);
}

int CHeifFile::Read(void* data, size_t size, void* self)
{
    auto& heif = *static_cast<CHeifFile*>(self);
    if (heif.m_stop && heif.m_stop()) {
        heif.m_stopped = true;
        return -1;
    }
    return size == 0 || std::fread(data, 1, size, heif.m_file) == size ? 0 : -1;
}

int CHeifFile::Seek(int64_t position, void* self)
{
    auto& heif = *static_cast<CHeifFile*>(self);
    if (position < 0 || position > heif.m_size)
        return -1;
    return _fseeki64(heif.m_file, position, SEEK_SET) == 0 ? 0 : -1;
}

heif_reader_grow_status CHeifFile::WaitForSize(int64_t size, void* self)
{
    return size <= static_cast<CHeifFile*>(self)->m_size ? heif_reader_grow_status_size_reached
                                                           : heif_reader_grow_status_size_beyond_eof;
}
