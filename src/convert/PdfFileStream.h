// PdfFileStream: the core's base stream over a file, read through blocks
// that every stream of the document shares. The core's own file stream
// reads 256 bytes per system call, which dominates a run over a long text
// document; a buffer per stream still reads a block around every object it
// fetches, and a text document fetches its shared resources once per page.
// Reading the whole file into fresh memory instead costs more still, in
// page faults. A few recent blocks are kept, and their memory is reused.
//
// The file is read with pread, never mapped: a file cut short while it is
// read ends early, as a short read tells, instead of faulting.
#pragma once

#include <Object.h> // before Stream.h, which it completes
#include <Stream.h>
#include <goo/gfile.h>

#include <memory>
#include <string>

namespace talvore {

// The recent blocks of one open file, aligned to their size; safe to use
// from several threads.
class PdfFileBlocks;
struct PdfFileBlock;

class PdfFileStream : public BaseStream {
public:
    // The stream for the whole file, or null when it cannot be opened.
    static PdfFileStream* Open(const std::string& path);

    PdfFileStream(std::shared_ptr<PdfFileBlocks> blocks, Goffset start, bool limited,
                  Goffset length, Object&& dict);
    ~PdfFileStream() override;

    BaseStream* copy() override;
    Stream* makeSubStream(Goffset start, bool limited, Goffset length, Object&& dict) override;
    StreamKind getKind() const override { return strWeird; }
    void reset() override;
    void close() override;
    int getChar() override {
        return (m_next >= m_end && !Fill()) ? EOF : static_cast<unsigned char>(*m_next++);
    }
    int lookChar() override {
        return (m_next >= m_end && !Fill()) ? EOF : static_cast<unsigned char>(*m_next);
    }
    Goffset getPos() override { return m_bufferPos + (m_next - m_base); }
    void setPos(Goffset pos, int dir = 0) override;
    Goffset getStart() override { return m_start; }
    void moveStart(Goffset delta) override;
    int getUnfilteredChar() override { return getChar(); }
    void unfilteredReset() override { reset(); }

    // The bytes of a block: the size the reads are aligned to.
    static constexpr int BLOCK_SIZE = 64 * 1024;

private:
    bool hasGetChars() override { return true; }
    int getChars(int count, unsigned char* out) override;
    bool Fill();
    void Restart(Goffset pos);

    std::shared_ptr<PdfFileBlocks> m_blocks;
    Goffset m_start;
    bool m_limited;
    Goffset m_offset;    // file position of the next read
    Goffset m_bufferPos; // file position of m_base
    Goffset m_savedOffset = 0;
    bool m_saved = false;
    // The block the bytes come from, held while they are read.
    std::shared_ptr<const PdfFileBlock> m_block;
    const char* m_base = nullptr; // into the block, or null
    const char* m_next = nullptr;
    const char* m_end = nullptr;
};

} // namespace talvore
