#include "image/RasterImageJPG.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace talvore {
namespace {

constexpr size_t kJpegOutputBlock = 4096;

// Codec option bits of the JPEG slot.
constexpr uint32_t kJpegBaseline = 1;
constexpr uint32_t kJpegArithmetic = 2;
constexpr uint32_t kJpegForceGray = 4;
constexpr uint32_t kJpegOptimise = 8;
constexpr uint32_t kJpegProgressive = 16;
constexpr uint32_t kJpegSmoothing = 64;
constexpr uint32_t kJpegSampling21 = 4096;
constexpr uint32_t kJpegSampling11 = 8192;

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    RasterImage* image;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    manager->image->SetLastError(text);
    std::longjmp(manager->jump, 1);
}

// Warnings would go to stderr; a batch run has no use for them.
void JpegOutputMessage(j_common_ptr) {}

struct JpegDestination {
    jpeg_destination_mgr pub;
    ByteStream* file;
    JOCTET* buffer;
};

void JpegInitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kJpegOutputBlock;
}

boolean JpegEmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    if (dest->file->Write(dest->buffer, 1, kJpegOutputBlock) != kJpegOutputBlock)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kJpegOutputBlock;
    return TRUE;
}

void JpegTermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    const size_t count = kJpegOutputBlock - dest->pub.free_in_buffer;
    // A short final write is as much a failure as a refused one.
    if (count > 0 && dest->file->Write(dest->buffer, 1, count) != count)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->file->Flush();
    if (dest->file->Error() != 0)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

struct JpegJob {
    RasterImage* image;
    ByteStream* file;
    JOCTET* outputBlock;
    const uint8_t* pixels; // storage row 0
    uint32_t rowStride;
    uint32_t width;
    uint32_t height;
    bool gray;
    bool swapRedBlue;
    int quality;
    int xDensity;
    int yDensity;
    uint32_t flags;
};

// Everything between setjmp and the library's longjmp lives in the library's
// own pools or in plain structs, so the jump skips no destructor.
bool CompressJpeg(const JpegJob& job) {
    jpeg_compress_struct cinfo;
    JpegErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = JpegErrorExit;
    errors.pub.output_message = JpegOutputMessage;
    errors.image = job.image;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }

    jpeg_create_compress(&cinfo);
    JpegDestination dest;
    dest.pub.init_destination = JpegInitDestination;
    dest.pub.empty_output_buffer = JpegEmptyOutputBuffer;
    dest.pub.term_destination = JpegTermDestination;
    dest.file = job.file;
    dest.buffer = job.outputBlock;
    cinfo.dest = &dest.pub;

    cinfo.image_width = job.width;
    cinfo.image_height = job.height;
    cinfo.input_components = job.gray ? 1 : 3;
    cinfo.in_color_space = job.gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);

    if (job.flags & kJpegArithmetic)
        cinfo.arith_code = TRUE;
    if (job.flags & kJpegOptimise)
        cinfo.optimize_coding = TRUE;
    if (job.flags & kJpegForceGray)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    if (job.flags & kJpegSmoothing)
        cinfo.smoothing_factor = 50;
    jpeg_set_quality(&cinfo, job.quality, (job.flags & kJpegBaseline) ? TRUE : FALSE);
    if (job.flags & kJpegProgressive)
        jpeg_simple_progression(&cinfo);

    int hSampling = 2;
    int vSampling = 2;
    if (job.flags & kJpegSampling21)
        vSampling = 1;
    if (job.flags & kJpegSampling11)
        hSampling = vSampling = 1;
    cinfo.comp_info[0].h_samp_factor = hSampling;
    cinfo.comp_info[0].v_samp_factor = vSampling;
    for (int c = 1; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }

    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(job.xDensity);
    cinfo.Y_density = static_cast<UINT16>(job.yDensity);

    jpeg_start_compress(&cinfo, TRUE);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                job.rowStride + 8, 1);
    for (uint32_t r = 0; r < job.height; ++r) {
        const uint8_t* source =
            job.pixels + static_cast<size_t>(job.height - 1 - r) * job.rowStride;
        std::memcpy(row[0], source, job.rowStride);
        if (job.swapRedBlue)
            job.image->SwapRedBlue(row[0], job.rowStride);
        jpeg_write_scanlines(&cinfo, row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

bool RasterImageJPG::Encode(ByteStream* file) {
    if (CheckEncodeTarget(file))
        return false;
    if (ColorsUsed() != 0 && !HasIdentityGrayPalette()) {
        SetLastError("JPEG can save only RGB or GreyScale images");
        return false;
    }
    std::vector<JOCTET> outputBlock(kJpegOutputBlock);
    const bool gray = ColorsUsed() != 0;
    // JFIF density fields are 16 bits wide.
    const auto density = [](int32_t dpi) { return dpi < 1 ? 96 : (dpi > 65535 ? 65535 : dpi); };
    const JpegJob job{this,
                      file,
                      outputBlock.data(),
                      PixelStart(),
                      RowStride(),
                      static_cast<uint32_t>(Width()),
                      static_cast<uint32_t>(Height()),
                      gray,
                      !gray,
                      CompressionQuality(),
                      density(HorizontalDpi()),
                      density(VerticalDpi()),
                      CodecFlags(FORMAT_JPG)};
    return CompressJpeg(job);
}

} // namespace talvore
