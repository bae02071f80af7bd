#include "convert/PdfFileStream.h"

#include "support/PdfWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace talvore {
namespace {

using namespace talvore::testing;

constexpr int kBlock = PdfFileStream::BLOCK_SIZE;

std::string RandomBytes(size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Reads to the end, by getChars or by getChar.
std::string ReadAll(Stream& stream, bool inPieces) {
    std::string read;
    if (inPieces) {
        std::vector<unsigned char> piece(5000);
        for (;;) {
            const int got = stream.doGetChars(static_cast<int>(piece.size()), piece.data());
            if (got <= 0)
                break;
            read.append(reinterpret_cast<const char*>(piece.data()), static_cast<size_t>(got));
        }
        return read;
    }
    for (int c; (c = stream.getChar()) != EOF;)
        read += static_cast<char>(c);
    return read;
}

struct FileStreamTest : ::testing::Test {
    TemporaryFolder folder;
    const std::string path = folder / "file.pdf";
    // More blocks than are kept, and half a block.
    static constexpr int kBlocks = 40;
    const std::string bytes = RandomBytes(kBlocks * kBlock + kBlock / 2);
    void SetUp() override { ASSERT_TRUE(WriteWholeFile(path, bytes)); }
};

TEST_F(FileStreamTest, StreamsReadTheFileBytesAcrossBlocks) {
    const std::unique_ptr<PdfFileStream> file(PdfFileStream::Open(path));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadAll(*file, true), bytes);
    const Goffset size = static_cast<Goffset>(bytes.size());
    struct Case {
        Goffset start;
        bool limited;
        Goffset length;
    } cases[] = {
        {0, true, 10},
        {kBlock - 3, true, 7},          // across a block's end
        {kBlock - 1, true, 2 * kBlock}, // over a whole block
        {kBlock, false, 0},             // to the end of the file
        {size - 5, true, 100},          // the limit past the end
        {size, false, 0},               // nothing left
        {size + kBlock, true, 10},      // past the end
        {3 * kBlock + 17, true, 0},     // empty
        {20 * kBlock + 5, true, 5},     // after blocks were dropped
    };
    for (const Case& c : cases) {
        for (const bool inPieces : {false, true}) {
            SCOPED_TRACE(std::to_string(c.start) + "+" + std::to_string(c.length) +
                         (inPieces ? " in pieces" : " by byte"));
            const std::unique_ptr<Stream> sub(
                file->makeSubStream(c.start, c.limited, c.length, Object(objNull)));
            sub->reset();
            const size_t from = static_cast<size_t>(std::min(c.start, size));
            const std::string expected =
                bytes.substr(from, c.limited ? static_cast<size_t>(c.length) : std::string::npos);
            EXPECT_EQ(ReadAll(*sub, inPieces), expected);
            EXPECT_EQ(sub->getPos(), c.start + static_cast<Goffset>(expected.size()));
            // Read again from the start, as the core does with a stream.
            sub->reset();
            EXPECT_EQ(ReadAll(*sub, !inPieces), expected);
        }
    }
    // Positions from the end, as the cross-reference table is found.
    file->setPos(10, -1);
    EXPECT_EQ(file->getPos(), size - 10);
    EXPECT_EQ(ReadAll(*file, false), bytes.substr(bytes.size() - 10));
    file->setPos(2 * kBlock + 1);
    EXPECT_EQ(file->lookChar(), static_cast<unsigned char>(bytes[2 * kBlock + 1]));
    EXPECT_EQ(file->getChar(), static_cast<unsigned char>(bytes[2 * kBlock + 1]));
    EXPECT_EQ(file->getPos(), 2 * kBlock + 2);
}

TEST_F(FileStreamTest, ManyStreamsAtOnceKeepTheirBytes) {
    // More streams than blocks kept, each holding its block while the
    // others read: a block still read from is never filled anew.
    const std::unique_ptr<PdfFileStream> file(PdfFileStream::Open(path));
    ASSERT_TRUE(file);
    std::vector<std::unique_ptr<Stream>> streams;
    std::vector<std::string> read;
    for (int i = 0; i < kBlocks; ++i) {
        const Goffset start = Goffset{i} * kBlock + i * 37;
        streams.emplace_back(file->makeSubStream(start, true, 3000, Object(objNull)));
        streams.back()->reset();
        read.emplace_back(1, static_cast<char>(streams.back()->getChar()));
    }
    for (int round = 0; round < 3000; round += 500) {
        for (size_t i = 0; i < streams.size(); ++i) {
            for (int n = 0; n < 500; ++n) {
                const int c = streams[i]->getChar();
                if (c != EOF)
                    read[i] += static_cast<char>(c);
            }
        }
    }
    for (size_t i = 0; i < streams.size(); ++i) {
        const size_t start = i * kBlock + i * 37;
        EXPECT_EQ(read[i], bytes.substr(start, 3000)) << "stream " << i;
    }
}

TEST_F(FileStreamTest, AFileCutShortWhileReadEndsEarly) {
    const std::unique_ptr<PdfFileStream> file(PdfFileStream::Open(path));
    ASSERT_TRUE(file);
    const std::unique_ptr<Stream> head(file->makeSubStream(0, true, 100, Object(objNull)));
    head->reset();
    EXPECT_EQ(ReadAll(*head, true), bytes.substr(0, 100));
    std::filesystem::resize_file(path, kBlock + 10);
    ASSERT_GT(bytes.size(), static_cast<size_t>(3 * kBlock + 100));
    // The blocks not yet read are gone; what is read is still the file's.
    const std::unique_ptr<Stream> rest(file->makeSubStream(0, false, 0, Object(objNull)));
    rest->reset();
    const std::string read = ReadAll(*rest, true);
    EXPECT_GE(read.size(), static_cast<size_t>(kBlock + 10));
    EXPECT_LT(read.size(), bytes.size());
    EXPECT_EQ(read, bytes.substr(0, read.size()));
    const std::unique_ptr<Stream> past(file->makeSubStream(3 * kBlock, true, 100, Object(objNull)));
    past->reset();
    EXPECT_EQ(past->getChar(), EOF);
}

} // namespace
} // namespace talvore
