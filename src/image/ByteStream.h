// Byte streams through which every codec reads and writes, so that the same
// code runs over a stdio stream, an in-memory buffer or a library adapter.
//
// Failures are reported through results only (0 elements, false, -1 or
// nullptr); streams store no message. Positions and sizes are 32-bit signed,
// which is ample for images capped at RASTER_MAX_MEMORY.
//
// StdioStream closes its FILE* only when it opened it itself (Open) or was
// constructed without one. MemoryStream grows in 64 KiB steps and frees its
// buffer on Close unless BufferAddress(true) handed it to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace talvore {

class ByteStream {
public:
    virtual ~ByteStream() = default;

    virtual bool Close() = 0;
    // Number of whole elements of `size` bytes read or written.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin: 0 from the start, 1 from the current position, 2 from the end.
    virtual bool Seek(int32_t offset, int origin) = 0;
    virtual int32_t Tell() = 0;
    virtual int32_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual int32_t Error() = 0;
    // The base writes the byte with Write(&byte, 1, 1).
    virtual bool PutC(uint8_t byte);
    // Next byte 0..255, or -1.
    virtual int GetC() = 0;
    // Reads up to n - 1 bytes or through a line feed and NUL-terminates;
    // nullptr when the end of the data comes first.
    virtual char* GetS(char* buffer, int n) = 0;
    // Count of fields converted; `output` receives the single field.
    virtual int32_t Scanf(const char* format, void* output) = 0;
};

class StdioStream : public ByteStream {
public:
    // Holds `stream` without owning it; with none, a later Open owns its own.
    explicit StdioStream(FILE* stream = nullptr);
    ~StdioStream() override;
    StdioStream(const StdioStream&) = delete;
    StdioStream& operator=(const StdioStream&) = delete;

    // False when a stream is already held or fopen fails.
    bool Open(const char* path, const char* mode);
    FILE* Stream() const { return stream_; }

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int32_t offset, int origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(uint8_t byte) override;
    int GetC() override;
    char* GetS(char* buffer, int n) override;
    int32_t Scanf(const char* format, void* output) override;

private:
    FILE* stream_ = nullptr;
    bool ownsStream_ = false;
};

class MemoryStream : public ByteStream {
public:
    // Over a caller's buffer of `size` bytes (not freed on Close), or with
    // none (then Open allocates one). A caller's buffer is never realloc'ed:
    // growing copies it into a buffer of our own.
    explicit MemoryStream(uint8_t* buffer = nullptr, uint32_t size = 0);
    ~MemoryStream() override;
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    // False when a buffer is already held; else starts an empty buffer.
    bool Open();
    // The buffer; with detach, the caller takes ownership (free() it).
    uint8_t* BufferAddress(bool detach = false);
    uint32_t Capacity() const { return capacity_; }

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int32_t offset, int origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(uint8_t byte) override;
    int GetC() override;
    char* GetS(char* buffer, int n) override;
    int32_t Scanf(const char* format, void* output) override;

private:
    // Makes room for `needed` bytes: capacity becomes needed rounded down to
    // 64 KiB plus 64 KiB. Answers whether a buffer exists afterwards.
    bool Grow(uint64_t needed);

    uint8_t* buffer_ = nullptr;
    int32_t size_ = 0;
    bool freeOnClose_ = false;
    int32_t position_ = 0;
    uint32_t capacity_ = 0;
};

} // namespace talvore
