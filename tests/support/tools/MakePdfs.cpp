// talvore-make-pdfs: writes the PDFs our sample, benchmarks and manual
// checks use, with the test suite's own PDF writer.
//   talvore-make-pdfs sample OUT.pdf
//   talvore-make-pdfs bench-set DIR [FILES [PAGES]]  (default 10 x 20 pages)
//   talvore-make-pdfs manual OUT.pdf [PAGES [FONT.ttf]] (text-heavy, few images)
//   talvore-make-pdfs conversion-set DIR  (48 pages, one large image each: 12
//     JPEG photos, 12 Flate RGB screenshots, 12 noisy grey scans, 12 1-bit scans)
//   talvore-make-pdfs cases DIR  (the generated case families, for fuzz seeds)
#include "support/PdfCases.h"
#include "support/PdfWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace talvore::testing;

namespace {

// Gradients compress too well to stand for photographs and scans.
std::string Noisy(std::string samples, uint32_t seed, int amplitude) {
    uint32_t state = seed * 2654435761u + 1;
    for (char& c : samples) {
        state = state * 1664525u + 1013904223u;
        const int noise =
            static_cast<int>((state >> 24) % static_cast<uint32_t>(2 * amplitude + 1)) - amplitude;
        const int value = static_cast<unsigned char>(c) + noise;
        c = static_cast<char>(value < 0 ? 0 : value > 255 ? 255 : value);
    }
    return samples;
}

// Something like a scanned text page: rows of dark "words".
std::string ScanBits(int width, int height, uint32_t seed) {
    const int rowBytes = (width + 7) / 8;
    std::string bits(static_cast<size_t>(rowBytes) * static_cast<size_t>(height), '\0');
    uint32_t state = seed + 7;
    for (int y = 0; y < height; ++y) {
        if ((y / 12) % 2 == 0 || y % 12 < 3)
            continue;
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const bool inWord = ((x / 37 + y / 24 + seed) % 5) != 0;
            if (inWord && ((state >> 16) & 3) != 0)
                bits[static_cast<size_t>(y * rowBytes + x / 8)] |=
                    static_cast<char>(0x80 >> (x % 8));
        }
    }
    return bits;
}

int Sample(const std::string& out) {
    PdfWriter writer;
    const std::string photo = Noisy(GradientSamples(240, 160, 3, 3), 1, 12);
    const int jpeg = writer.AddImage(240, 160, "/DeviceRGB", 8, "/DCTDecode",
                                     EncodeJpeg(240, 160, 3, photo, 80));
    const int rgb = writer.AddImage(96, 64, "/DeviceRGB", 8, "/FlateDecode",
                                    Deflate(GradientSamples(96, 64, 3, 5)));
    const int grey = writer.AddImage(128, 96, "/DeviceGray", 8, "/FlateDecode",
                                     Deflate(GradientSamples(128, 96, 1, 2)));
    const int scan =
        writer.AddImage(200, 120, "/DeviceGray", 1, "/FlateDecode", Deflate(ScanBits(200, 120, 4)));
    const int mask = writer.AddImageMask(64, 64, "/FlateDecode", Deflate(CheckerBits(64, 64, 8)));
    const std::string font =
        "/Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> ";
    writer.AddPage(
        "BT /F1 18 Tf 72 740 Td (Talvore sample, page 1: a photo and an RGB picture) Tj ET\n"
        "q 240 0 0 160 72 500 cm /Photo Do Q\nq 192 0 0 128 72 320 cm /Picture Do Q\n",
        XObjectResources({{"Photo", jpeg}, {"Picture", rgb}}, font));
    writer.AddPage("BT /F1 18 Tf 72 740 Td (Page 2: grey, a 1-bit scan and a stencil mask) Tj ET\n"
                   "q 128 0 0 96 72 580 cm /Grey Do Q\nq 300 0 0 180 72 360 cm /Scan Do Q\n"
                   "q 0.1 0.4 0.8 rg 128 0 0 128 72 180 cm /Mask Do Q\n",
                   XObjectResources({{"Grey", grey}, {"Scan", scan}, {"Mask", mask}}, font));
    return writer.WriteFile(out) ? 0 : 1;
}

int BenchSet(const std::string& folder, int files, int pages) {
    for (int f = 0; f < files; ++f) {
        PdfWriter writer;
        for (int p = 0; p < pages; ++p) {
            const uint32_t seed = static_cast<uint32_t>(f * 1000 + p);
            const std::string photo =
                Noisy(GradientSamples(640, 480, 3, static_cast<int>(seed)), seed, 16);
            const int jpeg = writer.AddImage(640, 480, "/DeviceRGB", 8, "/DCTDecode",
                                             EncodeJpeg(640, 480, 3, photo, 85));
            const int rgb = writer.AddImage(
                320, 240, "/DeviceRGB", 8, "/FlateDecode",
                Deflate(Noisy(GradientSamples(320, 240, 3, static_cast<int>(seed)), seed, 3)));
            const int grey = writer.AddImage(
                320, 240, "/DeviceGray", 8, "/FlateDecode",
                Deflate(Noisy(GradientSamples(320, 240, 1, static_cast<int>(seed)), seed, 3)));
            const int scan = writer.AddImage(1275, 1650, "/DeviceGray", 1, "/FlateDecode",
                                             Deflate(ScanBits(1275, 1650, seed)));
            const int mask =
                writer.AddImageMask(256, 256, "/FlateDecode", Deflate(CheckerBits(256, 256, 16)));
            writer.AddPage(
                "q 612 0 0 792 0 0 cm /Scan Do Q\nq 300 0 0 225 40 500 cm /Photo Do Q\n"
                "q 160 0 0 120 360 500 cm /Rgb Do Q\nq 160 0 0 120 360 360 cm /Grey Do Q\n"
                "q 1 0 0 rg 100 0 0 100 40 300 cm /Mask Do Q\n",
                XObjectResources({{"Photo", jpeg},
                                  {"Rgb", rgb},
                                  {"Grey", grey},
                                  {"Scan", scan},
                                  {"Mask", mask}}));
        }
        char name[64];
        std::snprintf(name, sizeof name, "/bench-%02d.pdf", f + 1);
        if (!writer.WriteFile(folder + name))
            return 1;
    }
    return 0;
}

// A manual: text on every page (kerned TJ arrays, as typesetters write
// them), a figure on a few pages. With a TrueType file given, the body font
// is embedded, so the core parses a real font on each page as it would.
int Manual(const std::string& out, int pages, const std::string& fontFile) {
    PdfWriter writer;
    // One resource dictionary shared by every page, images included, as
    // generated manuals often have it.
    const int figure1 = writer.AddImage(300, 200, "/DeviceRGB", 8, "/FlateDecode",
                                        Deflate(GradientSamples(300, 200, 3, 1)));
    const int figure2 =
        writer.AddImage(400, 300, "/DeviceRGB", 8, "/DCTDecode",
                        EncodeJpeg(400, 300, 3, Noisy(GradientSamples(400, 300, 3, 2), 2, 10), 80));
    std::string bodyFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>";
    const std::string font = fontFile.empty() ? std::string() : ReadWholeFile(fontFile);
    if (!font.empty()) {
        const int file = writer.AddStream(
            "/Filter /FlateDecode /Length1 " + std::to_string(font.size()), Deflate(font));
        const int descriptor =
            writer.Add("<< /Type /FontDescriptor /FontName /BodySerif /Flags 34 /FontBBox [-600 "
                       "-350 2000 1000] /ItalicAngle 0 "
                       "/Ascent 900 /Descent -230 /CapHeight 730 /StemV 80 /FontFile2 " +
                       std::to_string(file) + " 0 R >>");
        std::string widths;
        for (int c = 32; c <= 126; ++c)
            widths += c == 32 ? "318 " : "560 ";
        bodyFont = "<< /Type /Font /Subtype /TrueType /BaseFont /BodySerif /FirstChar 32 /LastChar "
                   "126 /Widths [" +
                   widths + "] /Encoding /WinAnsiEncoding /FontDescriptor " +
                   std::to_string(descriptor) + " 0 R >>";
    }
    const int resources = writer.Add(
        "<< /Font << /F1 " + bodyFont +
        " /F2 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >> /F3 << "
        "/Type /Font /Subtype /Type1 /BaseFont /Courier >> >> /XObject << /Fig1 " +
        std::to_string(figure1) + " 0 R /Fig2 " + std::to_string(figure2) + " 0 R >> >>");
    const std::string shared = std::to_string(resources) + " 0 R";
    static const char* const words[] = {
        "the",   "conversion", "run",      "opens", "each",  "document", "and",    "writes",
        "every", "image",      "it",       "meets", "to",    "a",        "file",   "of",
        "its",   "own",        "settings", "page",  "range", "output",   "folder", "format"};
    for (int p = 0; p < pages; ++p) {
        std::string content = "BT /F2 16 Tf 72 740 Td (Chapter " + std::to_string(p / 20 + 1) +
                              ", page " + std::to_string(p + 1) + ") Tj ET\nBT 12 TL\n";
        for (int line = 0; line < 56; ++line) {
            content += line % 9 == 8 ? "/F3 9 Tf " : "/F1 10 Tf ";
            content += line == 0 ? "72 710 Td [" : "T* [";
            for (int w = 0; w < 13; ++w) {
                const char* word = words[(p * 7 + line * 13 + w * 5) % 24];
                for (const char* c = word; *c; ++c) {
                    content += '(';
                    content += *c;
                    content += ')';
                    if ((c - word) % 3 == 2)
                        content += " -" + std::to_string(10 + (w * 7 + line) % 30) + " ";
                }
                content += "( ) ";
            }
            content += "] TJ\n";
        }
        content += "ET\n";
        if (p % 250 == 10)
            content += "q 300 0 0 200 150 300 cm /Fig1 Do Q\n";
        if (p % 250 == 130)
            content += "q 200 0 0 150 150 300 cm /Fig2 Do Q\n";
        writer.AddPage(content, shared);
    }
    return writer.WriteFile(out) ? 0 : 1;
}

// A screen: flat panels, title bars and antialiased "text"; every other one
// holds a photo thumbnail, so it has far more than 256 colours.
std::string Screenshot(int width, int height, uint32_t seed) {
    std::string rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, '\0');
    auto put = [&](int x, int y, int r, int g, int b) {
        char* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 3];
        p[0] = static_cast<char>(r);
        p[1] = static_cast<char>(g);
        p[2] = static_cast<char>(b);
    };
    const int accent[3] = {40 + static_cast<int>(seed * 37 % 80), 90,
                           160 + static_cast<int>(seed % 60)};
    uint32_t state = seed * 2654435761u + 11;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int r = 240, g = 240, b = 242;
            if (y < 32) { // title bar
                r = accent[0];
                g = accent[1];
                b = accent[2];
            } else if (x < 220) { // side bar
                r = 228;
                g = 230;
                b = 235;
            }
            const bool panel = x > 240 && x < width - 20 && y > 60 && y < height - 40;
            if (panel && (x == 241 || x == width - 21 || y == 61 || y == height - 41)) {
                r = 180;
                g = 182;
                b = 188;
            } else if (panel) {
                r = 255;
                g = 255;
                b = 255;
            }
            // Rows of words: dark glyph cells with a one-pixel blended edge.
            const int line = (y - 80) / 22;
            const int inLine = (y - 80) % 22;
            if (y > 80 && (panel || x < 220) && inLine >= 4 && inLine < 16) {
                const int cell = x / 9;
                state = (cell * 2654435761u) ^ (line * 40503u) ^ seed;
                const bool word = (state >> 7) % 7 != 0 && ((x / 9) % 11) != 0;
                const bool glyph = word && ((x % 9) > 0) && ((x % 9) < 7) &&
                                   ((state >> ((x % 9) + inLine % 5)) & 3) != 0;
                if (glyph) {
                    const bool edge = (x % 9) == 1 || (x % 9) == 6 || inLine == 4 || inLine == 15;
                    const int ink = edge ? 128 : 30;
                    r = (r * ink + 20 * (255 - ink)) / 255;
                    g = (g * ink + 20 * (255 - ink)) / 255;
                    b = (b * ink + 30 * (255 - ink)) / 255;
                }
            }
            if (seed % 2 == 0 && x > 700 && x < 1000 && y > 120 && y < 345) {
                r = (x * 3 + y) & 0xFF;
                g = (x + y * 2 + static_cast<int>(seed)) & 0xFF;
                b = (x * 2 + y * 3) & 0xFF;
            }
            put(x, y, r, g, b);
        }
    }
    return rgb;
}

// A grey scan: paper with sensor noise, darker text rows.
std::string GreyScan(int width, int height, uint32_t seed) {
    std::string grey(static_cast<size_t>(width) * static_cast<size_t>(height), '\0');
    uint32_t state = seed * 747796405u + 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = static_cast<int>((state >> 24) % 17) - 8;
            const bool text = (y / 40) % 2 == 1 && y % 40 > 10 && x > 150 && x < width - 150 &&
                              ((x / 23 + y / 40 + static_cast<int>(seed)) % 6) != 0 &&
                              ((state >> 16) & 3) != 0;
            const int value = (text ? 45 : 232) + noise;
            grey[static_cast<size_t>(y) * static_cast<size_t>(width) + x] =
                static_cast<char>(value < 0     ? 0
                                  : value > 255 ? 255
                                                : value);
        }
    }
    return grey;
}

int ConversionSet(const std::string& folder) {
    for (int f = 0; f < 4; ++f) {
        PdfWriter writer;
        for (int p = 0; p < 12; ++p) {
            const uint32_t seed = static_cast<uint32_t>(f * 100 + p);
            int image = 0;
            switch (p % 4) {
            case 0:
                image = writer.AddImage(
                    1600, 1200, "/DeviceRGB", 8, "/DCTDecode",
                    EncodeJpeg(
                        1600, 1200, 3,
                        Noisy(GradientSamples(1600, 1200, 3, static_cast<int>(seed)), seed, 14),
                        85));
                break;
            case 1:
                image = writer.AddImage(1200, 900, "/DeviceRGB", 8, "/FlateDecode",
                                        Deflate(Screenshot(1200, 900, seed)));
                break;
            case 2:
                image = writer.AddImage(1700, 2200, "/DeviceGray", 8, "/FlateDecode",
                                        Deflate(GreyScan(1700, 2200, seed)));
                break;
            default:
                image = writer.AddImage(1700, 2200, "/DeviceGray", 1, "/FlateDecode",
                                        Deflate(ScanBits(1700, 2200, seed)));
                break;
            }
            writer.AddPage("q 612 0 0 792 0 0 cm /Im Do Q\n", XObjectResources({{"Im", image}}));
        }
        char name[64];
        std::snprintf(name, sizeof name, "/convert-%02d.pdf", f + 1);
        if (!writer.WriteFile(folder + name))
            return 1;
    }
    return 0;
}

// A vignette: opaque in the middle, fading to clear at the edges.
std::string Vignette(int width, int height) {
    std::string alpha(static_cast<size_t>(width) * height, '\0');
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = 2.0 * x / width - 1, dy = 2.0 * y / height - 1;
            const double v = 1.0 - std::min(1.0, dx * dx + dy * dy);
            alpha[static_cast<size_t>(y) * width + x] = static_cast<char>(v * 255);
        }
    }
    return alpha;
}

// Masked images, for timing kept transparency: 8 JPEG photos with a soft
// mask of half their size, 8 Flate screenshots with one of their size and
// 8 grey scans with a stencil /Mask.
int MaskedSet(const std::string& out) {
    PdfWriter writer;
    const int photoMask =
        writer.AddImage(800, 600, "/DeviceGray", 8, "/FlateDecode", Deflate(Vignette(800, 600)));
    const int shotMask =
        writer.AddImage(1200, 900, "/DeviceGray", 8, "/FlateDecode", Deflate(Vignette(1200, 900)));
    const int stencil =
        writer.AddImageMask(1700, 2200, "/FlateDecode", Deflate(CheckerBits(1700, 2200, 100)));
    for (int p = 0; p < 24; ++p) {
        const uint32_t seed = static_cast<uint32_t>(500 + p);
        int image = 0;
        if (p % 3 == 0) {
            image = writer.AddImage(
                1600, 1200, "/DeviceRGB", 8, "/DCTDecode",
                EncodeJpeg(1600, 1200, 3,
                           Noisy(GradientSamples(1600, 1200, 3, static_cast<int>(seed)), seed, 14),
                           85),
                "/SMask " + std::to_string(photoMask) + " 0 R");
        } else if (p % 3 == 1) {
            image = writer.AddImage(1200, 900, "/DeviceRGB", 8, "/FlateDecode",
                                    Deflate(Screenshot(1200, 900, seed)),
                                    "/SMask " + std::to_string(shotMask) + " 0 R");
        } else {
            image = writer.AddImage(1700, 2200, "/DeviceGray", 8, "/FlateDecode",
                                    Deflate(GreyScan(1700, 2200, seed)),
                                    "/Mask " + std::to_string(stencil) + " 0 R");
        }
        writer.AddPage("q 612 0 0 792 0 0 cm /Im Do Q\n", XObjectResources({{"Im", image}}));
    }
    return writer.WriteFile(out) ? 0 : 1;
}

int Cases(const std::string& folder) {
    for (const GeneratedPdf& pdf : ResourceLookupCases()) {
        if (!WriteWholeFile(folder + "/" + pdf.Name + ".pdf", pdf.Bytes))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "sample" && argc == 3)
        return Sample(argv[2]);
    if (mode == "bench-set" && argc >= 3) {
        return BenchSet(argv[2], argc > 3 ? std::atoi(argv[3]) : 10,
                        argc > 4 ? std::atoi(argv[4]) : 20);
    }
    if (mode == "manual" && argc >= 3) {
        return Manual(argv[2], argc > 3 ? std::atoi(argv[3]) : 1000, argc > 4 ? argv[4] : "");
    }
    if (mode == "conversion-set" && argc == 3)
        return ConversionSet(argv[2]);
    if (mode == "cases" && argc == 3)
        return Cases(argv[2]);
    if (mode == "masked-set" && argc == 3)
        return MaskedSet(argv[2]);
    std::fprintf(stderr, "usage: talvore-make-pdfs sample OUT.pdf\n"
                         "       talvore-make-pdfs bench-set DIR [FILES [PAGES]]\n"
                         "       talvore-make-pdfs manual OUT.pdf [PAGES [FONT.ttf]]\n"
                         "       talvore-make-pdfs conversion-set DIR\n"
                         "       talvore-make-pdfs cases DIR\n"
                         "       talvore-make-pdfs masked-set OUT.pdf\n");
    return 2;
}
