// DiscReader: each request goes to the track that holds its first sector, and stops at
// that track's end; the next request goes on in the next track.
#include "DiscReader.h"

#include <algorithm>
#include <cstring>

#include "ByteSource.h"
#include "TrackReader.h"

uint32_t RecordedTrackStart(ByteSource& source, const TrackPlace& place) {
    unsigned char header[16] = {};
    if (place.format != SectorFormat::RawMode1Or2 || source.ReadAt(place.offset, header, sizeof header) != sizeof header ||
        std::memcmp(header, kSync, sizeof kSync) != 0)
        return place.firstLba;
    const int64_t address = HeaderAddress(header);
    return address >= 0 ? static_cast<uint32_t>(address) : place.firstLba;
}

namespace {

// The sectors of an audio track that its source holds.
uint64_t StoredSectors(ByteSource& source, const TrackPlace& place) {
    const uint64_t size = source.Size();
    const uint64_t stored = size == UINT64_MAX ? 0 : size > place.offset ? (size - place.offset) / place.stride : 0;
    return std::min<uint64_t>(std::min(stored, place.sectors), kLongestDisc);
}

}  // namespace

DiscReader::DiscReader(std::vector<TrackOnDisc> tracks) {
    bool volumeFound = false;
    for (TrackOnDisc& track : tracks) {
        Span span;
        span.number = track.number;
        if (std::find(m_sources.begin(), m_sources.end(), track.source) == m_sources.end()) m_sources.push_back(track.source);
        if (track.data) {
            track.place.firstLba = RecordedTrackStart(*track.source, track.place);
            span.reader = std::make_unique<TrackReader>(track.source, track.place);
            span.end = (span.reader->Size() + kUserDataBytes - 1) / kUserDataBytes;
            if (!volumeFound) m_volumeStart = track.place.firstLba;
            volumeFound = true;
        } else {
            span.end = track.place.firstLba + StoredSectors(*track.source, track.place);
        }
        span.first = track.place.firstLba;
        span.claimedEnd = track.place.sectors == TrackPlace::kToTheEnd ? span.end
                                                                       : std::max(span.end, span.first + track.place.sectors);
        if (span.claimedEnd <= span.first) continue;  // an empty track
        m_size = std::max(m_size, span.reader ? span.reader->Size() : span.end * kUserDataBytes);
        m_spans.push_back(std::move(span));
    }
    std::stable_sort(m_spans.begin(), m_spans.end(), [](const Span& a, const Span& b) { return a.first < b.first; });
}

bool DiscReader::ReadsInOrder() {
    return std::any_of(m_sources.begin(), m_sources.end(), [](const auto& source) { return source->ReadsInOrder(); });
}

std::string DiscReader::CheckWhole() {
    for (const auto& source : m_sources) {
        const std::string why = source->CheckWhole();
        if (!why.empty()) return why;
    }
    return {};
}

DiscReader::Span* DiscReader::Find(uint64_t offset) {
    const uint64_t sector = offset / kUserDataBytes;
    for (Span& span : m_spans) {
        if (sector >= span.end && sector < span.claimedEnd) return nullptr;  // its file ends early: so does the image
        if (sector < span.first || sector >= span.end) continue;
        if (span.reader) return &span;
        m_unreadable = {static_cast<uint32_t>(sector), "in audio track " + std::to_string(span.number), true};
        return nullptr;
    }
    if (offset < m_size) m_unreadable = {static_cast<uint32_t>(sector), "between tracks (no sector is stored there)", true};
    return nullptr;
}

uint32_t DiscReader::Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>& scratch,
                          std::vector<DataPiece>& pieces) {
    m_unreadable = {};
    pieces.clear();
    Span* span = Find(offset);
    if (!span) return 0;
    const uint64_t end = std::min<uint64_t>(uint64_t{offset} + length, span->end * kUserDataBytes);
    const uint32_t lent = span->reader->Lend(offset, static_cast<uint32_t>(end - offset), scratch, pieces);
    m_unreadable = span->reader->LastUnreadable();
    return lent;
}

uint32_t DiscReader::Read(uint32_t offset, uint32_t length, void* buffer) {
    m_unreadable = {};
    auto* out = static_cast<unsigned char*>(buffer);
    uint32_t total = 0;
    while (total < length) {
        Span* span = Find(uint64_t{offset} + total);
        if (!span) break;
        const uint64_t at = uint64_t{offset} + total;
        const uint64_t end = std::min<uint64_t>(uint64_t{offset} + length, span->end * kUserDataBytes);
        const uint32_t want = static_cast<uint32_t>(end - at);
        const uint32_t got = span->reader->Read(static_cast<uint32_t>(at), want, out + total);
        total += got;
        m_unreadable = span->reader->LastUnreadable();
        if (got < want) break;
    }
    return total;
}

void DiscReader::CheckSectors(SectorCheck* check) {
    for (Span& span : m_spans) {
        if (span.reader) span.reader->CheckSectors(check);
    }
}
