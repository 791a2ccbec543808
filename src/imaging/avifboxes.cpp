#include "imaging/avifboxes.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "imaging/decodelimits.h"

namespace {

// Bytes read in order from a span; past its end every read gives 0 and
// marks the reader failed, so that a parse checks once at its end.
class CByteReader {
public:
    CByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Ok() const { return m_ok; }
    size_t Left() const { return m_size - m_at; }
    const uint8_t* Here() const { return m_data + m_at; }

    void Skip(size_t count)
    {
        if (count > Left()) {
            m_ok = false;
            m_at = m_size;
        } else {
            m_at += count;
        }
    }
    uint64_t Read(int bytes)
    {
        if ((size_t)bytes > Left()) {
            m_ok = false;
            m_at = m_size;
            return 0;
        }
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | m_data[m_at++];
        return value;
    }
    uint32_t U32() { return (uint32_t)Read(4); }
    uint16_t U16() { return (uint16_t)Read(2); }
    uint8_t U8() { return (uint8_t)Read(1); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_ok = true;
};

struct Box {
    char type[4]{};
    const uint8_t* data = nullptr;  // the payload, after the header
    size_t size = 0;

    bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
    CByteReader Reader() const { return CByteReader(data, size); }
};

// The next box in reader, which moves past it; false at the end or on a
// length that leaves its parent.
bool NextBox(CByteReader& reader, Box& box)
{
    if (reader.Left() < 8)
        return false;
    const uint8_t* start = reader.Here();
    uint64_t size = reader.U32();
    std::memcpy(box.type, reader.Here(), 4);
    reader.Skip(4);
    size_t header = 8;
    if (size == 1) {
        size = reader.Read(8);
        header = 16;
    } else if (size == 0) {
        size = reader.Left() + 8;
    }
    if (!reader.Ok() || size < header || size - header > reader.Left())
        return false;
    box.data = start + header;
    box.size = (size_t)(size - header);
    reader.Skip(box.size);
    return true;
}

// The first child of type name among the boxes of parent.
bool FindBox(const uint8_t* data, size_t size, const char* name, Box& found)
{
    CByteReader reader(data, size);
    for (Box box; NextBox(reader, box);) {
        if (box.Is(name)) {
            found = box;
            return true;
        }
    }
    return false;
}
bool FindBox(const Box& parent, const char* name, Box& found)
{
    return FindBox(parent.data, parent.size, name, found);
}

// Version of a full box; its flags in flags.
int FullBoxVersion(CByteReader& reader, uint32_t* flags = nullptr)
{
    const uint32_t word = reader.U32();
    if (flags)
        *flags = word & 0xFFFFFF;
    return (int)(word >> 24);
}

bool HasBrand(const Box& ftyp, const char* brand)
{
    CByteReader reader = ftyp.Reader();
    const uint8_t* major = reader.Here();
    reader.Skip(8);
    if (!reader.Ok())
        return false;
    if (std::memcmp(major, brand, 4) == 0)
        return true;
    for (; reader.Left() >= 4; reader.Skip(4)) {
        if (std::memcmp(reader.Here(), brand, 4) == 0)
            return true;
    }
    return false;
}

bool ReadColour(const Box& entry, SequenceColour& colour)
{
    // A visual sample entry's fields come before its boxes.
    constexpr size_t kVisualEntryFields = 78;
    if (entry.size < kVisualEntryFields)
        return false;
    CByteReader boxes(entry.data + kVisualEntryFields, entry.size - kVisualEntryFields);
    for (Box box; NextBox(boxes, box);) {
        if (!box.Is("colr") || box.size < 4)
            continue;
        CByteReader reader = box.Reader();
        reader.Skip(4);
        if (std::memcmp(box.data, "nclx", 4) == 0 && !colour.coded) {
            colour.primaries = reader.U16();
            colour.transfer = reader.U16();
            colour.matrix = reader.U16();
            colour.fullRange = reader.U8() & 0x80;
            colour.coded = reader.Ok();
        } else if ((std::memcmp(box.data, "prof", 4) == 0 || std::memcmp(box.data, "rICC", 4) == 0)
                   && colour.profile.empty()) {
            colour.profile.assign(reader.Here(), reader.Here() + reader.Left());
        }
    }
    return true;
}

// A table's entry count, when that many entries of entryBytes fit in it.
bool TableCount(CByteReader& reader, size_t entryBytes, uint32_t& count)
{
    count = reader.U32();
    return reader.Ok() && count <= reader.Left() / entryBytes;
}

bool ReadSamples(const Box& stbl, size_t fileSize, SequenceTrack& track)
{
    Box stsz, stts, stsc, stco;
    bool wide = false;
    if (!FindBox(stbl, "stsz", stsz) || !FindBox(stbl, "stts", stts) || !FindBox(stbl, "stsc", stsc))
        return false;
    if (!FindBox(stbl, "stco", stco)) {
        if (!FindBox(stbl, "co64", stco))
            return false;
        wide = true;
    }

    CByteReader sizes = stsz.Reader();
    FullBoxVersion(sizes);
    const uint32_t commonSize = sizes.U32();
    uint32_t total = 0;
    if (commonSize == 0 ? !TableCount(sizes, 4, total) : (total = sizes.U32(), !sizes.Ok()))
        return false;
    const uint32_t count = std::min<uint32_t>(total, kMostAnimationFrames);
    track.samples.resize(count);
    for (SequenceSample& sample : track.samples)
        sample.size = commonSize ? commonSize : sizes.U32();

    CByteReader times = stts.Reader();
    FullBoxVersion(times);
    uint32_t runs = 0;
    if (!TableCount(times, 8, runs))
        return false;
    for (uint32_t run = 0, at = 0; run < runs && at < count; ++run) {
        const uint32_t samples = times.U32(), duration = times.U32();
        for (uint32_t i = 0; i < samples && at < count; ++i)
            track.samples[at++].duration = duration;
    }

    CByteReader chunks = stco.Reader();
    FullBoxVersion(chunks);
    uint32_t chunkCount = 0;
    if (!TableCount(chunks, wide ? 8 : 4, chunkCount))
        return false;
    CByteReader layout = stsc.Reader();
    FullBoxVersion(layout);
    uint32_t layoutRuns = 0;
    if (!TableCount(layout, 12, layoutRuns) || layoutRuns == 0)
        return false;
    // Runs of chunks alike: from each run's first chunk (counted from 1) on,
    // so many samples a chunk.
    std::vector<std::pair<uint32_t, uint32_t>> alike(layoutRuns);
    for (auto& [firstChunk, perChunk] : alike) {
        firstChunk = layout.U32();
        perChunk = layout.U32();
        layout.Skip(4);
    }
    if (!layout.Ok() || alike[0].first != 1)
        return false;
    size_t run = 0;
    uint32_t at = 0;
    for (uint32_t chunk = 1; chunk <= chunkCount && at < count; ++chunk) {
        uint64_t offset = chunks.Read(wide ? 8 : 4);
        while (run + 1 < alike.size() && chunk >= alike[run + 1].first)
            ++run;
        for (uint32_t i = 0; i < alike[run].second && at < count; ++i, ++at) {
            SequenceSample& sample = track.samples[at];
            if (offset > fileSize || sample.size > fileSize - offset)
                return false;
            sample.offset = (size_t)offset;
            offset += sample.size;
        }
    }
    return at == count && count > 0 && chunks.Ok() && layout.Ok() && times.Ok() && sizes.Ok();
}

// How often the sequence plays as its edit list says: an edit list marked
// to repeat plays it until the track's duration is filled, for ever when
// that is indefinite; without the mark, once; without an edit list, for
// ever.
int ReadLoops(const Box& trak, const Box& tkhd)
{
    Box edts, elst;
    if (!FindBox(trak, "edts", edts) || !FindBox(edts, "elst", elst))
        return 0;
    CByteReader list = elst.Reader();
    uint32_t flags = 0;
    const int version = FullBoxVersion(list, &flags);
    uint32_t entries = 0;
    if (!TableCount(list, version == 1 ? 20 : 12, entries) || entries == 0)
        return 0;
    const uint64_t segment = list.Read(version == 1 ? 8 : 4);
    if (!(flags & 1))
        return 1;
    CByteReader header = tkhd.Reader();
    const int tkhdVersion = FullBoxVersion(header);
    header.Skip(tkhdVersion == 1 ? 8 + 8 + 4 + 4 : 4 + 4 + 4 + 4);
    const uint64_t duration = header.Read(tkhdVersion == 1 ? 8 : 4);
    const uint64_t indefinite = tkhdVersion == 1 ? UINT64_MAX : UINT32_MAX;
    if (!header.Ok() || !list.Ok() || segment == 0 || duration == indefinite)
        return 0;
    return (int)std::min<uint64_t>(duration / segment + (duration % segment != 0), INT_MAX);
}

// The track's id, and the id its auxiliary reference names (0 for none).
void ReadTrackIds(const Box& trak, const Box& tkhd, uint32_t& id, uint32_t& auxiliaryOf)
{
    CByteReader header = tkhd.Reader();
    header.Skip(FullBoxVersion(header) == 1 ? 16 : 8);
    id = header.U32();
    auxiliaryOf = 0;
    Box tref, auxl;
    if (FindBox(trak, "tref", tref) && FindBox(tref, "auxl", auxl) && auxl.size >= 4)
        auxiliaryOf = auxl.Reader().U32();
}

// A track of AV1 samples whose handler is handler ("pict" for the
// pictures, "auxv" for alpha and depth).
bool ReadTrack(const Box& trak, const char* handler, size_t fileSize, SequenceTrack& track, Box& entry)
{
    Box tkhd, mdia, hdlr, mdhd, minf, stbl, stsd;
    if (!FindBox(trak, "tkhd", tkhd) || !FindBox(trak, "mdia", mdia) || !FindBox(mdia, "hdlr", hdlr)
        || !FindBox(mdia, "mdhd", mdhd) || !FindBox(mdia, "minf", minf) || !FindBox(minf, "stbl", stbl)
        || !FindBox(stbl, "stsd", stsd))
        return false;
    if (hdlr.size < 12 || std::memcmp(hdlr.data + 8, handler, 4) != 0)
        return false;

    CByteReader media = mdhd.Reader();
    media.Skip(FullBoxVersion(media) == 1 ? 16 : 8);
    track.timescale = media.U32();
    if (!media.Ok() || track.timescale == 0)
        return false;

    CByteReader descriptions = stsd.Reader();
    FullBoxVersion(descriptions);
    descriptions.Skip(4);
    if (!NextBox(descriptions, entry) || !entry.Is("av01"))
        return false;
    CByteReader fields = entry.Reader();
    fields.Skip(24);
    track.width = fields.U16();
    track.height = fields.U16();
    if (!fields.Ok() || !ReadColour(entry, track.colour))
        return false;
    track.loops = ReadLoops(trak, tkhd);
    return ReadSamples(stbl, fileSize, track);
}

// Whether the auxiliary track's sample entry says it holds alpha.
bool HoldsAlpha(const Box& entry)
{
    static const char kAlpha[] = "auxiliary:alpha";
    const uint8_t* end = entry.data + entry.size;
    return std::search(entry.data, end, kAlpha, kAlpha + sizeof kAlpha - 1) != end;
}

}  // namespace

bool IsSequenceStart(const uint8_t* head, size_t size)
{
    CByteReader reader(head, size);
    Box ftyp;
    return NextBox(reader, ftyp) && ftyp.Is("ftyp") && HasBrand(ftyp, "avis");
}

bool ReadSequenceTrack(const std::vector<uint8_t>& file, SequenceTrack& track)
{
    Box ftyp, moov;
    if (!FindBox(file.data(), file.size(), "ftyp", ftyp) || !HasBrand(ftyp, "avis")
        || !FindBox(file.data(), file.size(), "moov", moov))
        return false;
    // The first picture track, then the alpha track that refers to it.
    uint32_t picturesId = 0;
    bool found = false;
    CByteReader boxes = moov.Reader();
    for (Box trak, tkhd, entry; !found && NextBox(boxes, trak);) {
        track = {};
        uint32_t auxiliaryOf = 0;
        found = trak.Is("trak") && FindBox(trak, "tkhd", tkhd) && ReadTrack(trak, "pict", file.size(), track, entry);
        if (found)
            ReadTrackIds(trak, tkhd, picturesId, auxiliaryOf);
    }
    if (!found)
        return false;
    boxes = moov.Reader();
    for (Box trak, tkhd, entry; NextBox(boxes, trak);) {
        SequenceTrack alpha;
        uint32_t id = 0, auxiliaryOf = 0;
        if (!trak.Is("trak") || !FindBox(trak, "tkhd", tkhd))
            continue;
        ReadTrackIds(trak, tkhd, id, auxiliaryOf);
        if (auxiliaryOf == picturesId && ReadTrack(trak, "auxv", file.size(), alpha, entry) && HoldsAlpha(entry)
            && alpha.samples.size() == track.samples.size()) {
            track.alpha = std::move(alpha.samples);
            break;
        }
    }
    return true;
}
