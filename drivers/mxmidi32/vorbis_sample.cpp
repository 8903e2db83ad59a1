#include "vorbis_sample.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace mxmidi {
namespace {

// The stream in memory, as libsndfile's virtual file.
struct Memory {
    const std::uint8_t* data;
    sf_count_t size;
    sf_count_t at = 0;
};

sf_count_t length(void* user) {
    return static_cast<Memory*>(user)->size;
}

sf_count_t seek(sf_count_t offset, int whence, void* user) {
    auto* m = static_cast<Memory*>(user);
    const sf_count_t from = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->size : 0;
    // Within the stream, worked out so that no offset can overflow.
    if (offset < -from || offset > m->size - from) return -1;
    m->at = from + offset;
    return m->at;
}

sf_count_t read(void* into, sf_count_t count, void* user) {
    auto* m = static_cast<Memory*>(user);
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, m->size - m->at));
    if (n > 0) std::memcpy(into, m->data + m->at, static_cast<std::size_t>(n));
    m->at += n;
    return n;
}

sf_count_t write(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t tell(void* user) {
    return static_cast<Memory*>(user)->at;
}

}  // namespace

std::optional<std::vector<std::int16_t>> decodeVorbisSample(const std::uint8_t* data,
                                                            std::size_t size,
                                                            std::size_t maxFrames) {
    if (data == nullptr || size == 0) return std::nullopt;
    Memory memory{data, static_cast<sf_count_t>(size)};
    SF_VIRTUAL_IO io{length, seek, read, write, tell};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (file == nullptr) return std::nullopt;
    std::optional<std::vector<std::int16_t>> points;
    if (info.channels == 1 && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS) {
        // The length a stream declares may be wrong: the points are read until it ends, never
        // past maxFrames.
        std::vector<std::int16_t> out;
        std::int16_t block[4096];
        for (;;) {
            const sf_count_t n = sf_readf_short(file, block, 4096);
            if (n <= 0) break;
            if (out.size() + static_cast<std::size_t>(n) > maxFrames) {
                out.clear();
                break;
            }
            out.insert(out.end(), block, block + n);
        }
        if (!out.empty()) points = std::move(out);
    }
    sf_close(file);
    return points;
}

}  // namespace mxmidi
