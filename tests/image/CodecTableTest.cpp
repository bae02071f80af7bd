// The codec table: which ids have rows, the order in which recognition
// offers a file, and the formats recognised by signature only (the signature
// test and the two answers of each).
#include "image/CodecTable.h"

#include "DecodeHelpers.h"
#include "image/RasterImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace talvore;
using namespace talvore::testing;

namespace {

const std::string kPng = Bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});

std::string Emf(size_t length) {
    std::string file = Bytes({1, 0, 0, 0});
    file.resize(40, '\0');
    file += " EMF";
    file.resize(length, '\0');
    return file;
}

TEST(CodecTable, RowsAndRecognitionOrder) {
    std::vector<uint32_t> ids;
    for (const CodecRow& row : CodecRows())
        ids.push_back(row.formatId);
    EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 18,
                                          19}));
    for (uint32_t id : {0u, 16u, 20u})
        EXPECT_EQ(FindCodecRow(id), nullptr) << id;

    std::vector<uint32_t> offered;
    for (const CodecRow* row : RecognitionOrder())
        offered.push_back(row->formatId);
    EXPECT_EQ(offered,
              (std::vector<uint32_t>{FORMAT_BMP, FORMAT_JPG, FORMAT_ICO, FORMAT_GIF, FORMAT_PNG,
                                     FORMAT_TIF, FORMAT_MNG, FORMAT_TGA, FORMAT_PCX, FORMAT_WBMP,
                                     FORMAT_WMF, FORMAT_PNM, FORMAT_SKA, FORMAT_RAW}));

    for (const CodecRow* row : RecognitionOrder())
        EXPECT_TRUE(row->Reads()) << row->name << " is offered files it cannot answer";
    for (const CodecRow& row : CodecRows()) {
        if (row.read == nullptr && row.refusal.matches != nullptr) {
            EXPECT_NE(row.refusal.notThisFormat, nullptr) << row.name;
        }
    }

    std::vector<uint32_t> written;
    for (const CodecRow& row : CodecRows())
        if (row.write != nullptr)
            written.push_back(row.formatId);
    EXPECT_EQ(written, (std::vector<uint32_t>{1, 2, 3, 4, 6, 7, 8}));
}

TEST(CodecRefusal, SignatureDecidesWhichMessage) {
    struct Case {
        const char* name;
        uint32_t id;
        std::string file;
        const char* error;
    };
    const Case cases[] = {
        {"JPEG", FORMAT_JPG, Bytes({0xFF, 0xD8}), "JPEG decoding is not supported"},
        {"JPEG empty", FORMAT_JPG, "", "Not a JPEG file: starts with 0x00 0x00"},
        {"JPEG one byte", FORMAT_JPG, Bytes({0xFF}), "Not a JPEG file: starts with 0xff 0x00"},
        {"JPEG other", FORMAT_JPG, "BM", "Not a JPEG file: starts with 0x42 0x4d"},
        {"icon", FORMAT_ICO, Bytes({0, 0, 1, 0, 1, 0}), "ICO decoding is not supported"},
        {"cursor", FORMAT_ICO, Bytes({0, 0, 2, 0, 1, 0}), "ICO decoding is not supported"},
        {"icon type 3", FORMAT_ICO, Bytes({0, 0, 3, 0, 1, 0}), "Not an ICO"},
        {"icon type high byte", FORMAT_ICO, Bytes({0, 0, 1, 0x81, 1, 0}), "Not an ICO"},
        {"icon short", FORMAT_ICO, Bytes({0, 0, 1, 0, 1}), "Not an ICO"},
        {"GIF", FORMAT_GIF, "GIF89a" + std::string(7, '\0'), "GIF decoding is not supported"},
        {"GIF short", FORMAT_GIF, "GIF89a" + std::string(6, '\0'), "Not a GIF"},
        {"GIF7", FORMAT_GIF, "GIF79a" + std::string(7, '\0'), "Not a GIF"},
        {"PNG", FORMAT_PNG, kPng, "PNG decoding is not supported"},
        {"PNG short", FORMAT_PNG, kPng.substr(0, 7), "Not a PNG"},
        {"TIFF II", FORMAT_TIF, Bytes({'I', 'I', 42, 0}), "TIFF decoding is not supported"},
        {"BigTIFF MM", FORMAT_TIF, Bytes({'M', 'M', 0, 43}), "TIFF decoding is not supported"},
        {"TIFF mixed", FORMAT_TIF, Bytes({'I', 'I', 0, 42}), "Not a TIFF file"},
        {"MNG", FORMAT_MNG, Bytes({0x8A, 'M', 'N', 'G', '\r', '\n', 0x1A, '\n'}),
         "MNG decoding is not supported"},
        {"MNG takes PNG", FORMAT_MNG, kPng, "MNG decoding is not supported"},
        {"MNG takes JNG", FORMAT_MNG, Bytes({0x8B, 'J', 'N', 'G', '\r', '\n', 0x1A, '\n'}),
         "MNG decoding is not supported"},
        {"MNG other letter", FORMAT_MNG, Bytes({0x8A, 'X', 'N', 'G', '\r', '\n', 0x1A, '\n'}),
         "Not an MNG file"},
        {"placeable metafile", FORMAT_WMF, Bytes({0xD7, 0xCD, 0xC6, 0x9A}) + std::string(18, 'x'),
         "WMF decoding is not supported"},
        {"placeable metafile short", FORMAT_WMF,
         Bytes({0xD7, 0xCD, 0xC6, 0x9A}) + std::string(17, 'x'), "corrupted WMF"},
        {"enhanced metafile", FORMAT_WMF, Emf(44), "WMF decoding is not supported"},
        {"enhanced metafile short", FORMAT_WMF, Emf(43), "corrupted WMF"},
        {"SKA takes anything", FORMAT_SKA, "", "SKA decoding is not supported"},
        {"camera raw takes anything", FORMAT_RAW, "xyz", "camera raw decoding is not supported"},
    };
    for (const Case& c : cases) {
        RasterImage image;
        EXPECT_FALSE(DecodeBytes(image, c.file, c.id)) << c.name;
        EXPECT_STREQ(image.LastErrorText(), c.error) << c.name;
        EXPECT_FALSE(image.HasPixels()) << c.name;
        RasterImage recognised;
        EXPECT_FALSE(DecodeBytes(recognised, c.file, FORMAT_UNKNOWN)) << c.name;
        EXPECT_STREQ(recognised.LastErrorText(), "Decode: Unknown or wrong format") << c.name;
    }
}

TEST(CodecRefusal, RefusalKeepsTheFrameCount) {
    for (uint32_t id : {FORMAT_GIF, FORMAT_ICO, FORMAT_TIF, FORMAT_MNG, FORMAT_PNG}) {
        RasterImage image;
        image.SetFrameCount(3);
        EXPECT_FALSE(DecodeBytes(image, "", id));
        EXPECT_EQ(image.FrameCount(), 3) << id;
    }
}

// A file both the TGA and the WBMP decoder take: recognition offers it to
// the TGA decoder first.
TEST(CodecRefusal, RecognitionOffersTgaBeforeWbmp) {
    const std::string file =
        Bytes({0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 0x30, 0x20, 0x10});
    RasterImage wbmp;
    ASSERT_TRUE(DecodeBytes(wbmp, file, FORMAT_WBMP)) << wbmp.LastErrorText();
    EXPECT_EQ(wbmp.Width(), 2);
    RasterImage recognised;
    ASSERT_TRUE(DecodeBytes(recognised, file, FORMAT_UNKNOWN));
    EXPECT_EQ(recognised.FormatId(), FORMAT_TGA);
    EXPECT_EQ(Rgb(recognised, 0, 0), 0x102030u);
}

} // namespace
