// PdfFileStream: the core's base stream over a file, read through a buffer
// that grows while the reading goes on in order. The core's own file stream
// reads 256 bytes per system call, which dominates a run over a long text
// document; reading the whole file into fresh memory instead costs more
// still, in page faults.
#pragma once

#include <Object.h> // before Stream.h, which it completes
#include <Stream.h>
#include <goo/gfile.h>

#include <memory>
#include <string>

namespace talvore {

class PdfFileStream : public BaseStream {
public:
    // The stream for the whole file, or null when it cannot be opened.
    static PdfFileStream* Open(const std::string& path);

    PdfFileStream(std::shared_ptr<const GooFile> file, Goffset start, bool limited, Goffset length,
                  Object&& dict);
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
    Goffset getPos() override { return m_bufferPos + (m_next - m_buffer.get()); }
    void setPos(Goffset pos, int dir = 0) override;
    Goffset getStart() override { return m_start; }
    void moveStart(Goffset delta) override;
    int getUnfilteredChar() override { return getChar(); }
    void unfilteredReset() override { reset(); }

private:
    bool hasGetChars() override { return true; }
    int getChars(int count, unsigned char* out) override;
    bool Fill();
    void Restart(Goffset pos);

    std::shared_ptr<const GooFile> m_file;
    Goffset m_start;
    bool m_limited;
    Goffset m_offset;    // file position of the next read
    Goffset m_bufferPos; // file position of the buffer's first byte
    Goffset m_savedOffset = 0;
    bool m_saved = false;
    std::unique_ptr<char[]> m_buffer;
    int m_capacity = 0;
    int m_fillSize;         // bytes the next read asks for
    char* m_next = nullptr; // into the buffer
    char* m_end = nullptr;
};

} // namespace talvore
