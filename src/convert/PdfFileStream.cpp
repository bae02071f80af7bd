#include "convert/PdfFileStream.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>

namespace talvore {

struct PdfFileBlock {
    Goffset Pos = -1; // of the first byte; -1 while it holds nothing
    int Size = 0;
    std::unique_ptr<char[]> Data =
        std::make_unique_for_overwrite<char[]>(PdfFileStream::BLOCK_SIZE);
};

class PdfFileBlocks {
public:
    explicit PdfFileBlocks(std::unique_ptr<GooFile> file) : m_file(std::move(file)) {}

    const GooFile& File() const { return *m_file; }

    // The block that holds the byte at pos, or null where the file has none
    // or cannot be read.
    std::shared_ptr<const PdfFileBlock> At(Goffset pos) {
        if (pos < 0)
            return nullptr;
        const Goffset first = pos - pos % PdfFileStream::BLOCK_SIZE;
        const std::lock_guard<std::mutex> lock(m_mutex);
        Slot* oldest = &m_slots[0];
        for (Slot& slot : m_slots) {
            if (slot.Block && slot.Block->Pos == first) {
                slot.LastUse = ++m_clock;
                if (pos - first >= slot.Block->Size)
                    return nullptr;
                return slot.Block;
            }
            if (slot.LastUse < oldest->LastUse)
                oldest = &slot;
        }
        // A block no stream holds any more is read into again: fresh memory
        // costs a page fault per page.
        if (!oldest->Block || oldest->Block.use_count() > 1)
            oldest->Block = std::make_shared<PdfFileBlock>();
        PdfFileBlock& block = *oldest->Block;
        block.Pos = first;
        block.Size = 0;
        while (block.Size < PdfFileStream::BLOCK_SIZE) {
            const int got =
                m_file->read(block.Data.get() + block.Size, PdfFileStream::BLOCK_SIZE - block.Size,
                             first + block.Size);
            if (got <= 0)
                break;
            block.Size += got;
        }
        // A failed read is tried again by the next caller.
        if (block.Size == 0)
            block.Pos = -1;
        oldest->LastUse = ++m_clock;
        if (pos - first >= block.Size)
            return nullptr;
        return oldest->Block;
    }

private:
    // A text document's pages come back to the same few blocks: its
    // resources, fonts and figures. Each block's first fill costs a page
    // fault per page: more would cost more than they save.
    static constexpr size_t kKeptBlocks = 8;
    struct Slot {
        std::shared_ptr<PdfFileBlock> Block;
        uint64_t LastUse = 0;
    };

    std::mutex m_mutex;
    const std::unique_ptr<GooFile> m_file;
    std::array<Slot, kKeptBlocks> m_slots;
    uint64_t m_clock = 0;
};

PdfFileStream* PdfFileStream::Open(const std::string& path) {
    std::unique_ptr<GooFile> file = GooFile::open(path);
    if (!file)
        return nullptr;
    const Goffset size = file->size();
    if (size < 0)
        return nullptr;
    return new PdfFileStream(std::make_shared<PdfFileBlocks>(std::move(file)), 0, false, size,
                             Object(objNull));
}

PdfFileStream::PdfFileStream(std::shared_ptr<PdfFileBlocks> blocks, Goffset start, bool limited,
                             Goffset length, Object&& dict)
    : BaseStream(std::move(dict), length), m_blocks(std::move(blocks)), m_start(start),
      m_limited(limited), m_offset(start), m_bufferPos(start) {}

PdfFileStream::~PdfFileStream() {
    close();
}

BaseStream* PdfFileStream::copy() {
    return new PdfFileStream(m_blocks, m_start, m_limited, length, dict.copy());
}

Stream* PdfFileStream::makeSubStream(Goffset start, bool limited, Goffset lengthA, Object&& dictA) {
    return new PdfFileStream(m_blocks, start, limited, lengthA, std::move(dictA));
}

void PdfFileStream::Restart(Goffset pos) {
    m_offset = m_bufferPos = pos;
    m_block.reset();
    m_base = m_next = m_end = nullptr;
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
    const Goffset size = m_blocks->File().size();
    Restart(size - std::min(pos, size));
}

void PdfFileStream::moveStart(Goffset delta) {
    m_start += delta;
    Restart(m_start);
}

bool PdfFileStream::Fill() {
    m_bufferPos += m_end - m_base;
    m_base = m_next = m_end = nullptr;
    Goffset want = BLOCK_SIZE;
    if (m_limited) {
        const Goffset left = m_start + length - m_bufferPos;
        if (left <= 0) {
            m_block.reset();
            return false;
        }
        want = std::min(want, left);
    }
    m_block = m_blocks->At(m_offset);
    if (!m_block)
        return false;
    const Goffset inBlock = m_offset - m_block->Pos;
    const Goffset got = std::min<Goffset>(m_block->Size - inBlock, want);
    m_base = m_next = m_block->Data.get() + inBlock;
    m_end = m_base + got;
    m_offset += got;
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
