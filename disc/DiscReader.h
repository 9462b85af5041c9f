// The user data of a whole disc, through its track list: the 2048 bytes of the sector at
// disc address N lie at offset N * 2048, in whichever track the sector lies.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FileReader.h"
#include "Track.h"

class ByteSource;

// One track as the disc reader takes it: where its sectors lie, and whether they are data.
struct TrackOnDisc {
    int number = 0;
    bool data = false;
    TrackPlace place;
    std::shared_ptr<ByteSource> source;
};

// Reads each data track (Mode 1, Mode 2 Form 1) through a TrackReader. A read stops short
// before a sector that holds no data, and LastUnreadable says why: in an audio track,
// between tracks (no sector stored there), or Mode 2 Form 2; past the last track the
// stream ends. The volume starts in the first data track.
class DiscReader : public FileReader {
public:
    // `tracks` holds at least one data track. A raw data track's address is taken from its
    // first sector's header where it has one: the sectors' word wins over the container's.
    explicit DiscReader(std::vector<TrackOnDisc> tracks);

    uint32_t Read(uint32_t offset, uint32_t length, void* buffer) override;
    uint32_t Lend(uint32_t offset, uint32_t length, std::vector<unsigned char>& scratch,
                  std::vector<DataPiece>& pieces) override;
    uint64_t Size() override { return m_size; }
    void CheckSectors(SectorCheck* check) override;
    uint32_t VolumeStart() override { return m_volumeStart; }
    Unreadable LastUnreadable() override { return m_unreadable; }
    bool ReadsInOrder() override;
    std::string CheckWhole() override;

private:
    struct Span {
        uint64_t first = 0, end = 0;  // disc addresses: [first, end) is stored
        uint64_t claimedEnd = 0;      // where the container says the track ends
        int number = 0;
        std::unique_ptr<FileReader> reader;  // null for audio
    };
    // The track that holds byte `offset`, or null (with m_unreadable set when it is no end).
    Span* Find(uint64_t offset);

    std::vector<Span> m_spans;  // by address
    std::vector<std::shared_ptr<ByteSource>> m_sources;
    uint64_t m_size = 0;
    uint32_t m_volumeStart = 0;
    Unreadable m_unreadable;
};

// Where a track of raw sectors starts on the disc, as its first sector's header records it;
// `place.firstLba`, what its container says, for other layouts or a header that is not there.
uint32_t RecordedTrackStart(ByteSource& source, const TrackPlace& place);
