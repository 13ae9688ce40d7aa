// A block as kept: the length of its unpacked bytes in four bytes, then those bytes deflated. They
// hold, for each passage, its document, offset and text's length as varints, then its text.
#include "frameworks/folioreader/textindex/PassageBlocks.h"

#include <algorithm>
#include <cstdint>
#include <zlib.h>

namespace folioreader {

namespace {

// Level 4 packs book text to 0.452 of its size at 36 MB/s of one core, level 5 to 0.442 at
// 28 MB/s: deflating was a quarter of the indexing's work, and most of the reading thread's.
constexpr int packingLevel = 4;
// No block of passages comes near this; a larger length is damage.
constexpr std::uint32_t largestBlock = 16 * 1024 * 1024;

void appendVarint(std::string& bytes, std::uint64_t value)
{
    while (value >= 0x80) {
        bytes.push_back(char(0x80 | (value & 0x7F)));
        value >>= 7;
    }
    bytes.push_back(char(value));
}

std::optional<std::uint64_t> readVarint(std::string_view bytes, std::size_t& at)
{
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64 && at < bytes.size(); shift += 7) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        value |= std::uint64_t(byte & 0x7F) << shift;
        if (byte < 0x80)
            return value;
    }
    return std::nullopt;
}

}

PassagePacker::PassagePacker()
    : m_stream(new z_stream {})
{
    if (deflateInit(m_stream, packingLevel) != Z_OK) {
        delete m_stream;
        m_stream = nullptr;
    }
}

PassagePacker::~PassagePacker()
{
    if (m_stream)
        deflateEnd(m_stream);
    delete m_stream;
}

std::string PassagePacker::pack(
    const std::vector<Passage>& passages, std::size_t from, std::size_t to)
{
    std::string bytes;
    for (std::size_t index = from; index < to; ++index) {
        appendVarint(bytes, passages[index].document);
        appendVarint(bytes, passages[index].offset);
        appendVarint(bytes, passages[index].text.size());
        bytes += passages[index].text;
    }
    if (!m_stream || bytes.size() > largestBlock || deflateReset(m_stream) != Z_OK)
        return {};
    std::string packed(4 + deflateBound(m_stream, uLong(bytes.size())), '\0');
    const auto length = std::uint32_t(bytes.size());
    for (int index = 0; index < 4; ++index)
        packed[std::size_t(index)] = char((length >> (8 * index)) & 0xFF);
    m_stream->next_in = reinterpret_cast<Bytef*>(bytes.data());
    m_stream->avail_in = uInt(bytes.size());
    m_stream->next_out = reinterpret_cast<Bytef*>(packed.data() + 4);
    m_stream->avail_out = uInt(packed.size() - 4);
    if (deflate(m_stream, Z_FINISH) != Z_STREAM_END)
        return {};
    // Kept until the book is written, with the next book's beside it: no room past the bytes.
    packed.resize(4 + m_stream->total_out);
    packed.shrink_to_fit();
    return packed;
}

std::optional<std::vector<Passage>> unpackPassages(std::string_view packed, std::size_t count)
{
    // Inflated this much at a time, the passages it completes read before more is inflated.
    constexpr std::size_t piece = 8 * 1024;
    if (packed.size() < 4)
        return std::nullopt;
    std::uint32_t length = 0;
    for (int index = 0; index < 4; ++index)
        length |= std::uint32_t(static_cast<unsigned char>(packed[std::size_t(index)]))
            << (8 * index);
    if (length > largestBlock)
        return std::nullopt;
    std::string bytes(length, '\0');
    z_stream stream {};
    if (inflateInit(&stream) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data() + 4));
    stream.avail_in = uInt(packed.size() - 4);
    stream.next_out = reinterpret_cast<Bytef*>(bytes.data());
    std::vector<Passage> passages;
    std::size_t at = 0; // where the first passage not read yet starts
    int state = Z_OK;
    while (passages.size() < count && state == Z_OK) {
        stream.avail_out = uInt(std::min<std::size_t>(piece, length - stream.total_out));
        state = inflate(&stream, Z_NO_FLUSH);
        const std::string_view view(bytes.data(), stream.total_out);
        while (passages.size() < count && at < view.size()) {
            std::size_t next = at;
            auto document = readVarint(view, next);
            auto offset = readVarint(view, next);
            auto textLength = readVarint(view, next);
            if (!document || !offset || !textLength || *textLength > view.size() - next)
                break; // the rest is not inflated yet
            passages.push_back({ std::uint32_t(*document), *offset,
                std::string(view.substr(next, std::size_t(*textLength))) });
            at = next + std::size_t(*textLength);
        }
    }
    inflateEnd(&stream);
    // Either every passage asked for was read, or the whole block was, its check passed and
    // nothing left over.
    if (passages.size() < count
        && (state != Z_STREAM_END || stream.total_out != length || at != length))
        return std::nullopt;
    return passages;
}

}
