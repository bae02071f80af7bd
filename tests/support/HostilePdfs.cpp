#include "support/HostilePdfs.h"

#include "support/PdfWriter.h"

namespace talvore::testing {

std::string FanOutPdf(int levels, int fan) {
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    std::string draws;
    for (int i = 0; i < fan; ++i)
        draws += "/N Do\n";
    int next = writer.AddForm(DrawXObject("N"), XObjectResources({{"N", image}}));
    for (int level = 1; level < levels; ++level)
        next = writer.AddForm(draws, XObjectResources({{"N", next}}));
    writer.AddPage(draws, XObjectResources({{"N", next}}));
    return writer.Build();
}

std::string PaddedImagePdf(int width, int height, int realRows) {
    PdfWriter writer;
    const std::string rows(static_cast<size_t>(width) * 3 * static_cast<size_t>(realRows), 'x');
    const int image =
        writer.AddImage(width, height, "/DeviceRGB", 8, "/FlateDecode", Deflate(rows));
    writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
    return writer.Build();
}

std::string WideRowPdf(int width, bool stencil) {
    PdfWriter writer;
    // A stencil's row is all there, so only its width refuses it.
    const std::string data =
        Deflate(std::string(stencil ? (static_cast<size_t>(width) + 7) / 8 : 64, '\x55'));
    const int image = stencil ? writer.AddImageMask(width, 1, "/FlateDecode", data)
                              : writer.AddImage(width, 1, "/DeviceRGB", 8, "/FlateDecode", data);
    writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
    return writer.Build();
}

std::string DeepSavePdf(int depth) {
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    std::string content;
    content.reserve(static_cast<size_t>(depth) * 2 + 64);
    for (int i = 0; i < depth; ++i)
        content += "q\n";
    content += DrawXObject("I");
    writer.AddPage(content, XObjectResources({{"I", image}}));
    return writer.Build();
}

std::string RefusedImagePdf() {
    PdfWriter writer;
    const int good = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    const int bad = writer.AddImage(0, 2, "/DeviceGray", 8, "", "abcd");
    writer.AddPage(DrawXObject("G") + DrawXObject("B"),
                   XObjectResources({{"G", good}, {"B", bad}}));
    return writer.Build();
}

std::string CorruptEncryptPdf() {
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
    std::string bytes = writer.Build();
    // The trailer names a dictionary of a handler that does not exist.
    const size_t trailer = bytes.rfind("<< /Size");
    bytes.insert(trailer + 2, " /Encrypt << /Filter /Nonesuch /V 9 /R 9 /O (x) /U (y) /P -4 >>"
                              " /ID [<00> <00>]");
    return bytes;
}

} // namespace talvore::testing
