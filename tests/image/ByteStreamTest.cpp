#include "image/ByteStream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace talvore;

namespace {

TEST(MemoryStream, GrowsInSteps) {
    struct Case {
        size_t bytes;
        uint32_t capacity;
    };
    // (L with its low 16 bits cleared) + 65536.
    const Case cases[] = {
        {1, 65536}, {65535, 65536}, {65536, 131072}, {70000, 131072}, {131072, 196608}};
    for (const Case& c : cases) {
        MemoryStream stream;
        ASSERT_TRUE(stream.Open());
        std::vector<uint8_t> data(c.bytes, 0x5A);
        EXPECT_EQ(stream.Write(data.data(), 1, data.size()), data.size());
        EXPECT_EQ(stream.Capacity(), c.capacity) << c.bytes;
        EXPECT_EQ(stream.Size(), static_cast<int32_t>(c.bytes));
        EXPECT_EQ(stream.Tell(), static_cast<int32_t>(c.bytes));
    }
}

TEST(MemoryStream, OneByteWritesReallocateOncePer64KiB) {
    MemoryStream stream;
    ASSERT_TRUE(stream.Open());
    int growths = 0;
    uint32_t capacity = stream.Capacity();
    for (int i = 0; i < 70000; ++i) {
        ASSERT_TRUE(stream.PutC(static_cast<uint8_t>(i)));
        if (stream.Capacity() != capacity) {
            ++growths;
            capacity = stream.Capacity();
        }
    }
    EXPECT_EQ(growths, 2);
    EXPECT_EQ(stream.Capacity(), 131072u);
    EXPECT_EQ(stream.BufferAddress()[69999], static_cast<uint8_t>(69999));
}

TEST(MemoryStream, SeekReadAndEnd) {
    uint8_t bytes[] = {1, 2, 3, 4};
    MemoryStream stream(bytes, sizeof bytes);
    EXPECT_TRUE(stream.Seek(-5, 0));
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_TRUE(stream.Seek(-1, 2));
    EXPECT_EQ(stream.Tell(), 3);
    EXPECT_TRUE(stream.Seek(-10, 1));
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_FALSE(stream.Seek(0, 3));

    uint8_t out[8] = {};
    EXPECT_EQ(stream.Read(out, 3, 2), 1u); // 4 bytes: one whole 3-byte element
    EXPECT_EQ(stream.Tell(), 4);
    EXPECT_EQ(stream.Read(out, 1, 1), 0u);
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_EQ(stream.Error(), 0);
    EXPECT_EQ(stream.Read(out, 0, 4), 0u);
}

TEST(MemoryStream, PutCPastTheEndOfACallersBuffer) {
    uint8_t bytes[] = {'a', 'b', 'c', 'd'};
    MemoryStream stream(bytes, sizeof bytes);
    ASSERT_TRUE(stream.Seek(10, 0));
    EXPECT_EQ(stream.Error(), 1); // position past the data
    EXPECT_TRUE(stream.PutC('z'));
    EXPECT_EQ(stream.Size(), 11);
    EXPECT_EQ(stream.Tell(), 11);
    const uint8_t* data = stream.BufferAddress();
    EXPECT_NE(data, bytes); // the caller's array is copied, never realloc'ed
    EXPECT_EQ(std::memcmp(data, "abcd", 4), 0);
    for (int i = 4; i < 10; ++i)
        EXPECT_EQ(data[i], 0) << i; // no stale gap
    EXPECT_EQ(data[10], 'z');
    EXPECT_EQ(std::memcmp(bytes, "abcd", 4), 0);
}

TEST(MemoryStream, WriteAfterSeekPastTheEndZeroesTheGap) {
    MemoryStream stream;
    ASSERT_TRUE(stream.Open());
    ASSERT_TRUE(stream.Seek(3, 0));
    EXPECT_EQ(stream.Write("xy", 1, 2), 2u);
    ASSERT_EQ(stream.Size(), 5);
    EXPECT_EQ(std::memcmp(stream.BufferAddress(), "\0\0\0xy", 5), 0);
}

TEST(MemoryStream, GetSStopsAtLineFeedAndAnswersNoneAtEnd) {
    uint8_t bytes[] = {'a', 'b', '\n', 'c', 'd'};
    MemoryStream stream(bytes, sizeof bytes);
    char line[5];
    ASSERT_EQ(stream.GetS(line, 5), line);
    EXPECT_STREQ(line, "ab\n");
    EXPECT_EQ(stream.GetS(line, 5), nullptr);
    EXPECT_TRUE(stream.Eof());

    MemoryStream longer(bytes, sizeof bytes);
    ASSERT_EQ(longer.GetS(line, 3), line); // n - 1 bytes stored
    EXPECT_STREQ(line, "ab");
}

TEST(MemoryStream, WithoutBuffer) {
    MemoryStream stream;
    uint8_t byte = 0;
    char line[4];
    EXPECT_EQ(stream.Read(&byte, 1, 1), 0u);
    EXPECT_EQ(stream.Write(&byte, 1, 1), 0u);
    EXPECT_FALSE(stream.Seek(0, 0));
    EXPECT_EQ(stream.Tell(), -1);
    EXPECT_EQ(stream.Size(), -1);
    EXPECT_FALSE(stream.Flush());
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Error(), -1);
    EXPECT_FALSE(stream.PutC(1));
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_EQ(stream.GetS(line, 4), nullptr);
    EXPECT_EQ(stream.Scanf("%d", &byte), 0);
    EXPECT_TRUE(stream.Close());
}

TEST(MemoryStream, OpenTwiceAndDetach) {
    MemoryStream stream;
    ASSERT_TRUE(stream.Open());
    EXPECT_FALSE(stream.Open());
    stream.Write("abc", 1, 3);
    uint8_t* owned = stream.BufferAddress(true);
    stream.Close(); // must not free a detached buffer
    EXPECT_EQ(std::memcmp(owned, "abc", 3), 0);
    std::free(owned);
    EXPECT_TRUE(stream.Open()); // closed streams can open again
}

TEST(StdioStream, WithoutStream) {
    StdioStream stream;
    uint8_t byte = 0;
    char line[4];
    EXPECT_EQ(stream.Read(&byte, 1, 1), 0u);
    EXPECT_EQ(stream.Write(&byte, 1, 1), 0u);
    EXPECT_FALSE(stream.Seek(0, 0));
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_EQ(stream.Size(), -1);
    EXPECT_FALSE(stream.Flush());
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Error(), -1);
    EXPECT_FALSE(stream.PutC(1));
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_EQ(stream.GetS(line, 4), nullptr);
    EXPECT_EQ(stream.Scanf("%d", &byte), -1);
    EXPECT_TRUE(stream.Close());
}

TEST(StdioStream, LeavesABorrowedStreamOpen) {
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        StdioStream stream(file);
        EXPECT_TRUE(stream.PutC('q'));
        EXPECT_EQ(stream.Write("rs\n", 1, 3), 3u);
        EXPECT_EQ(stream.Size(), 4);
        EXPECT_EQ(stream.Tell(), 4); // Size puts the position back
        EXPECT_TRUE(stream.Close());
        EXPECT_FALSE(stream.Open("/nonexistent/x", "rb")); // still holds the stream
    }
    // Both Close and the destructor left it open.
    EXPECT_EQ(std::fseek(file, 0, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(file), 'q');
    std::fclose(file);
}

TEST(StdioStream, OpenOwnsAndClosesItsStream) {
    char path[] = "/tmp/talvore_bytestream_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        StdioStream stream;
        ASSERT_TRUE(stream.Open(path, "wb"));
        EXPECT_FALSE(stream.Open(path, "wb"));
        EXPECT_EQ(stream.Write("12 ab\nc", 1, 7), 7u);
        EXPECT_TRUE(stream.Close());
        EXPECT_EQ(stream.Stream(), nullptr);
    }
    StdioStream stream;
    ASSERT_TRUE(stream.Open(path, "rb"));
    int number = 0;
    EXPECT_EQ(stream.Scanf("%d", &number), 1);
    EXPECT_EQ(number, 12);
    char line[8];
    EXPECT_STREQ(stream.GetS(line, sizeof line), " ab\n");
    EXPECT_EQ(stream.GetC(), 'c');
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_TRUE(stream.Eof());
    EXPECT_TRUE(stream.Seek(-2, 2));
    EXPECT_EQ(stream.Tell(), 5);
    EXPECT_FALSE(StdioStream().Open("/nonexistent/dir/file", "rb"));
    std::remove(path);
}

} // namespace
