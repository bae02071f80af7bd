// Builds small PDF files object by object for tests, benchmarks and the
// bundled sample: image XObjects (DCT, Flate, raw; RGB, grey, CMYK, 1-bit,
// stencil masks, soft masks), inline images, Form XObjects, tiling patterns,
// annotations, page boxes, and damaged files. Output is deterministic.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace talvore::testing {

// zlib stream of data.
std::string Deflate(const std::string& data, int level = 6);
// A baseline JPEG of interleaved 8-bit samples (components 1, 3 or 4;
// 4 is written as Adobe CMYK).
std::string EncodeJpeg(int width, int height, int components, const std::string& samples,
                       int quality = 85);
// Deterministic test pictures: interleaved 8-bit samples.
std::string GradientSamples(int width, int height, int components, int seed = 0);
// Packed 1-bit rows, (width + 7) / 8 bytes each, most significant bit first.
std::string CheckerBits(int width, int height, int cell = 4);

class PdfWriter {
public:
    PdfWriter();

    // Reserves an object number.
    int Reserve();
    // The object's body, e.g. "<< /Type /Font >>".
    void Set(int object, const std::string& body);
    int Add(const std::string& body);
    // A stream object; dictionary entries without the surrounding "<< >>"
    // and without /Length, which is added.
    int AddStream(const std::string& entries, const std::string& data);
    void SetStream(int object, const std::string& entries, const std::string& data);

    // An image XObject. colorSpace is PDF text ("/DeviceRGB",
    // "[/Indexed /DeviceRGB 1 <000000FFFFFF>]"); filter is PDF text or empty;
    // extra entries go into the dictionary as they are.
    int AddImage(int width, int height, const std::string& colorSpace, int bitsPerComponent,
                 const std::string& filter, const std::string& data, const std::string& extra = "");
    int AddImageMask(int width, int height, const std::string& filter, const std::string& data,
                     const std::string& extra = "");
    int AddForm(const std::string& content, const std::string& resources,
                const std::string& extra = "");
    int AddTilingPattern(const std::string& content, const std::string& resources);

    // The media box of the pages added from now on, PDF text; "[0 0 612 792]"
    // until set.
    void SetMediaBox(const std::string& box) { m_mediaBox = box; }

    // A page; resources is PDF text ("<< /XObject << /Im0 5 0 R >> >>").
    // extra goes into the page dictionary (e.g. "/Annots [...]").
    int AddPage(const std::string& content, const std::string& resources,
                const std::string& extra = "");
    // A page whose content is an array of streams.
    int AddPageWithContents(const std::vector<std::string>& contents, const std::string& resources,
                            const std::string& extra = "");

    // Entries added to the page tree's root ("/Resources << ... >>", which
    // pages without their own inherit) and to the catalog.
    void SetPagesEntries(const std::string& entries) { m_pagesEntries = entries; }
    void SetCatalogEntries(const std::string& entries) { m_catalogEntries = entries; }

    // The whole file, version header "%PDF-1.<minor>".
    std::string Build(int minorVersion = 4) const;
    bool WriteFile(const std::string& path, int minorVersion = 4) const;

private:
    std::vector<std::string> m_objects; // index = number - 1; empty = free
    int m_pages = 0;
    int m_catalog = 0;
    std::vector<int> m_kids;
    std::string m_pagesEntries;
    std::string m_catalogEntries;
    std::string m_mediaBox = "[0 0 612 792]";
};

// A box as PDF text: "[0 0 612 792]".
struct PdfBox {
    double X1, Y1, X2, Y2;
};
std::string BoxText(const PdfBox& box);

// Files of empty pages, for reports on versions, page boxes and counts: an
// optional crop box on the first page or on the page tree (inherited).
struct PageLayout {
    int MinorVersion = 4; // "%PDF-1.4"
    int Pages = 1;
    PdfBox Media{0, 0, 612, 792};
    std::optional<PdfBox> PageCrop;
    std::optional<PdfBox> InheritedCrop;
};
std::string BuildPagesPdf(const PageLayout& layout);

// "<< /XObject << /Im0 5 0 R /Im1 6 0 R >> >>" from names and objects;
// more is added inside the outer dictionary as it is.
std::string XObjectResources(const std::map<std::string, int>& xobjects,
                             const std::string& more = "");
// "q w 0 0 h 0 0 cm /Name Do Q".
std::string DrawXObject(const std::string& name, int width = 100, int height = 100);

// qpdf --encrypt; permissions such as "--extract=n". False when qpdf fails.
bool EncryptWithQpdf(const std::string& input, const std::string& output,
                     const std::string& userPassword, const std::string& ownerPassword, int keyBits,
                     const std::vector<std::string>& permissions);

std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& data);

// A fresh folder under the system's temporary folder, removed with its
// content on destruction.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& Path() const { return m_path; } // no trailing '/'
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// File names in a folder, sorted.
std::vector<std::string> ListFolder(const std::string& folder);

} // namespace talvore::testing
