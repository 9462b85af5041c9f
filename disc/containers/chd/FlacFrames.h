// FLAC frames without their stream's header, as a cdfl hunk holds its sectors: decoded by
// libFLAC after a made-up header, one decoder restarted for each hunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <FLAC/stream_decoder.h>

// 16-bit stereo at 44.1 kHz.
class FlacHunk {
public:
    // Decodes `samples` stereo samples of `source` into `out`, big-endian, left then right;
    // `used` is how many bytes of `source` the frames took.
    bool Decode(const unsigned char* source, size_t size, unsigned char* out, uint32_t samples, uint32_t blockSize, size_t& used) {
        m_input.assign(42, '\0');
        std::memcpy(&m_input[0], "fLaC\x80\x00\x00\x22", 8);
        m_input[8] = static_cast<char>(blockSize >> 8), m_input[9] = static_cast<char>(blockSize);
        m_input[10] = static_cast<char>(blockSize >> 8), m_input[11] = static_cast<char>(blockSize);
        const uint64_t format = uint64_t{44100} << 44 | uint64_t{1} << 41 | uint64_t{15} << 36;
        for (int i = 0; i < 8; ++i) m_input[18 + i] = static_cast<char>(format >> (56 - 8 * i));
        m_input.append(reinterpret_cast<const char*>(source), size);
        m_at = 0, m_out = out, m_wanted = samples, m_written = 0, m_failed = false;
        if (!m_decoder) m_decoder = FLAC__stream_decoder_new();  // made once: hunk after hunk only restarts it
        FLAC__StreamDecoder* decoder = m_decoder;
        if (!decoder) return false;
        FLAC__stream_decoder_finish(decoder);
        bool ok = FLAC__stream_decoder_init_stream(decoder, Read, nullptr, Tell, nullptr, nullptr, Write, nullptr, Error, this) ==
                  FLAC__STREAM_DECODER_INIT_STATUS_OK;
        while (ok && m_written < m_wanted && !m_failed) {
            ok = FLAC__stream_decoder_process_single(decoder) &&
                 FLAC__stream_decoder_get_state(decoder) != FLAC__STREAM_DECODER_END_OF_STREAM;
        }
        FLAC__uint64 position = 0;
        ok = ok && !m_failed && m_written == m_wanted && FLAC__stream_decoder_get_decode_position(decoder, &position) &&
             position >= 42 && position - 42 <= size;
        used = ok ? static_cast<size_t>(position - 42) : 0;
        return ok;
    }

    FlacHunk() = default;
    FlacHunk(const FlacHunk&) = delete;
    FlacHunk& operator=(const FlacHunk&) = delete;
    ~FlacHunk() {
        if (m_decoder) FLAC__stream_decoder_delete(m_decoder);
    }

private:
    static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* self) {
        auto* hunk = static_cast<FlacHunk*>(self);
        const size_t count = std::min(*bytes, hunk->m_input.size() - hunk->m_at);
        std::memcpy(buffer, hunk->m_input.data() + hunk->m_at, count);
        hunk->m_at += count;
        *bytes = count;
        return count ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }
    static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* self) {
        *offset = static_cast<FlacHunk*>(self)->m_at;
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }
    static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame, const FLAC__int32* const channels[],
                                                void* self) {
        auto* hunk = static_cast<FlacHunk*>(self);
        if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
            hunk->m_failed = true;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        for (uint32_t i = 0; i < frame->header.blocksize && hunk->m_written < hunk->m_wanted; ++i, ++hunk->m_written) {
            unsigned char* at = hunk->m_out + size_t{hunk->m_written} * 4;
            for (int channel = 0; channel < 2; ++channel) {
                const auto sample = static_cast<uint16_t>(channels[channel][i]);
                at[2 * channel] = static_cast<unsigned char>(sample >> 8);
                at[2 * channel + 1] = static_cast<unsigned char>(sample);
            }
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self) { static_cast<FlacHunk*>(self)->m_failed = true; }

    FLAC__StreamDecoder* m_decoder = nullptr;
    std::string m_input;
    size_t m_at = 0;
    unsigned char* m_out = nullptr;
    uint32_t m_wanted = 0, m_written = 0;
    bool m_failed = false;
};

