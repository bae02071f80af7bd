#include "convert/PdfFileStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace talvore {
namespace {

// A fetch of one object reads little; a stream read in order soon reads
// large blocks.
constexpr int kFirstFill = 4096;
constexpr int kLargestFill = 65536;

} // namespace

PdfFileStream* PdfFileStream::Open(const std::string& path) {
    std::unique_ptr<GooFile> file = GooFile::open(path);
    if (!file)
        return nullptr;
    const Goffset size = file->size();
    if (size < 0)
        return nullptr;
    return new PdfFileStream(std::shared_ptr<const GooFile>(std::move(file)), 0, false, size,
                             Object(objNull));
}

PdfFileStream::PdfFileStream(std::shared_ptr<const GooFile> file, Goffset start, bool limited,
                             Goffset length, Object&& dict)
    : BaseStream(std::move(dict), length), m_file(std::move(file)), m_start(start),
      m_limited(limited), m_offset(start), m_bufferPos(start), m_fillSize(kFirstFill) {}

PdfFileStream::~PdfFileStream() {
    close();
}

BaseStream* PdfFileStream::copy() {
    return new PdfFileStream(m_file, m_start, m_limited, length, dict.copy());
}

Stream* PdfFileStream::makeSubStream(Goffset start, bool limited, Goffset lengthA, Object&& dictA) {
    return new PdfFileStream(m_file, start, limited, lengthA, std::move(dictA));
}

void PdfFileStream::Restart(Goffset pos) {
    m_offset = m_bufferPos = pos;
    m_next = m_end = m_buffer.get();
    m_fillSize = kFirstFill;
}

void PdfFileStream::reset() {
    const Goffset saved = m_offset;
    Restart(m_start);
    m_savedOffset = saved;
    m_saved = true;
}

void PdfFileStream::close() {
    if (m_saved) {
        m_offset = m_savedOffset;
        m_saved = false;
    }
}

void PdfFileStream::setPos(Goffset pos, int dir) {
    if (dir >= 0) {
        Restart(pos);
        return;
    }
    const Goffset size = m_file->size();
    Restart(size - std::min(pos, size));
}

void PdfFileStream::moveStart(Goffset delta) {
    m_start += delta;
    Restart(m_start);
}

bool PdfFileStream::Fill() {
    m_bufferPos += m_end - m_buffer.get();
    int want = m_fillSize;
    if (m_limited) {
        const Goffset left = m_start + length - m_bufferPos;
        if (left <= 0) {
            m_next = m_end = m_buffer.get();
            return false;
        }
        want = static_cast<int>(std::min<Goffset>(want, left));
    }
    if (want > m_capacity) {
        m_buffer = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(m_fillSize));
        m_capacity = m_fillSize;
    }
    m_next = m_end = m_buffer.get();
    const int got = m_file->read(m_buffer.get(), want, m_offset);
    if (got <= 0)
        return false;
    m_offset += got;
    m_end = m_buffer.get() + got;
    m_fillSize = std::min(kLargestFill, m_fillSize * 2);
    return true;
}

int PdfFileStream::getChars(int count, unsigned char* out) {
    int done = 0;
    while (done < count) {
        if (m_next >= m_end && !Fill())
            break;
        const int n = static_cast<int>(std::min<ptrdiff_t>(m_end - m_next, count - done));
        std::memcpy(out + done, m_next, static_cast<size_t>(n));
        m_next += n;
        done += n;
    }
    return done;
}

} // namespace talvore
