#include "PdfWriter.h"

#include <jpeglib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace talvore::testing {

std::string Deflate(const std::string& data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  level) != Z_OK) {
        throw std::runtime_error("compress2 failed");
    }
    out.resize(size);
    return out;
}

std::string EncodeJpeg(int width, int height, int components, const std::string& samples,
                       int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (components == 4)
        cinfo.write_Adobe_marker = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<char*>(samples.data()) +
                                                  cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

std::string GradientSamples(int width, int height, int components, int seed) {
    std::string out;
    out.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) *
                static_cast<size_t>(components));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                const int value =
                    (x * (3 + c) + y * (5 - c) + seed * 37 + ((x / 16 + y / 16) % 2) * 60) & 0xFF;
                out += static_cast<char>(value);
            }
        }
    }
    return out;
}

std::string CheckerBits(int width, int height, int cell) {
    const int rowBytes = (width + 7) / 8;
    std::string out(static_cast<size_t>(rowBytes) * static_cast<size_t>(height), '\0');
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (((x / cell) + (y / cell)) % 2 == 0) {
                out[static_cast<size_t>(y * rowBytes + x / 8)] |=
                    static_cast<char>(0x80 >> (x % 8));
            }
        }
    }
    return out;
}

PdfWriter::PdfWriter() {
    m_catalog = Reserve();
    m_pages = Reserve();
}

int PdfWriter::Reserve() {
    m_objects.emplace_back();
    return static_cast<int>(m_objects.size());
}

void PdfWriter::Set(int object, const std::string& body) {
    m_objects.at(static_cast<size_t>(object - 1)) = body;
}

int PdfWriter::Add(const std::string& body) {
    const int object = Reserve();
    Set(object, body);
    return object;
}

void PdfWriter::SetStream(int object, const std::string& entries, const std::string& data) {
    Set(object, "<< " + entries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" +
                    data + "\nendstream");
}

int PdfWriter::AddStream(const std::string& entries, const std::string& data) {
    const int object = Reserve();
    SetStream(object, entries, data);
    return object;
}

int PdfWriter::AddImage(int width, int height, const std::string& colorSpace, int bitsPerComponent,
                        const std::string& filter, const std::string& data,
                        const std::string& extra) {
    std::string entries = "/Type /XObject /Subtype /Image /Width " + std::to_string(width) +
                          " /Height " + std::to_string(height) + " /ColorSpace " + colorSpace +
                          " /BitsPerComponent " + std::to_string(bitsPerComponent);
    if (!filter.empty())
        entries += " /Filter " + filter;
    if (!extra.empty())
        entries += " " + extra;
    return AddStream(entries, data);
}

int PdfWriter::AddImageMask(int width, int height, const std::string& filter,
                            const std::string& data, const std::string& extra) {
    std::string entries = "/Type /XObject /Subtype /Image /Width " + std::to_string(width) +
                          " /Height " + std::to_string(height) + " /ImageMask true";
    if (!filter.empty())
        entries += " /Filter " + filter;
    if (!extra.empty())
        entries += " " + extra;
    return AddStream(entries, data);
}

int PdfWriter::AddForm(const std::string& content, const std::string& resources,
                       const std::string& extra) {
    std::string entries = "/Type /XObject /Subtype /Form /BBox [0 0 1000 1000]";
    if (!resources.empty())
        entries += " /Resources " + resources;
    if (!extra.empty())
        entries += " " + extra;
    return AddStream(entries, content);
}

int PdfWriter::AddTilingPattern(const std::string& content, const std::string& resources) {
    return AddStream(
        "/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] /XStep 20 "
        "/YStep 20 /Resources " +
            resources,
        content);
}

int PdfWriter::AddPage(const std::string& content, const std::string& resources,
                       const std::string& extra) {
    return AddPageWithContents({content}, resources, extra);
}

int PdfWriter::AddPageWithContents(const std::vector<std::string>& contents,
                                   const std::string& resources, const std::string& extra) {
    std::string contentRef;
    if (contents.size() == 1) {
        contentRef = std::to_string(AddStream("", contents.front())) + " 0 R";
    } else {
        contentRef = "[";
        // Appended piece by piece: GCC 12 at -O3 takes `" " + string` for an
        // overlapping copy (-Wrestrict).
        for (const std::string& content : contents) {
            contentRef += ' ';
            contentRef += std::to_string(AddStream("", content));
            contentRef += " 0 R";
        }
        contentRef += " ]";
    }
    const int page =
        Add("<< /Type /Page /Parent " + std::to_string(m_pages) + " 0 R /MediaBox " + m_mediaBox +
            (resources.empty() ? std::string() : " /Resources " + resources) + " /Contents " +
            contentRef + (extra.empty() ? std::string() : " " + extra) + " >>");
    m_kids.push_back(page);
    return page;
}

std::string PdfWriter::Build(int minorVersion) const {
    std::vector<std::string> objects = m_objects;
    objects[static_cast<size_t>(m_catalog - 1)] =
        "<< /Type /Catalog /Pages " + std::to_string(m_pages) + " 0 R " + m_catalogEntries + " >>";
    std::string kids;
    for (int kid : m_kids)
        kids += std::to_string(kid) + " 0 R ";
    objects[static_cast<size_t>(m_pages - 1)] = "<< /Type /Pages /Kids [ " + kids + "] /Count " +
                                                std::to_string(m_kids.size()) + " " +
                                                m_pagesEntries + " >>";

    std::string out = "%PDF-1." + std::to_string(minorVersion) + "\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets(objects.size(), 0);
    for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i].empty())
            continue;
        offsets[i] = out.size();
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i].empty()) {
            out += "0000000000 65535 f \n";
        } else {
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", offsets[i]);
            out += line;
        }
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root " +
           std::to_string(m_catalog) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

bool PdfWriter::WriteFile(const std::string& path, int minorVersion) const {
    return WriteWholeFile(path, Build(minorVersion));
}

std::string BoxText(const PdfBox& box) {
    char text[128];
    std::snprintf(text, sizeof text, "[%g %g %g %g]", box.X1, box.Y1, box.X2, box.Y2);
    return text;
}

std::string BuildPagesPdf(const PageLayout& layout) {
    PdfWriter writer;
    writer.SetMediaBox(BoxText(layout.Media));
    if (layout.InheritedCrop)
        writer.SetPagesEntries("/CropBox " + BoxText(*layout.InheritedCrop));
    for (int i = 0; i < layout.Pages; ++i) {
        const bool cropped = i == 0 && layout.PageCrop;
        writer.AddPage("", "", cropped ? "/CropBox " + BoxText(*layout.PageCrop) : "");
    }
    return writer.Build(layout.MinorVersion);
}

std::string XObjectResources(const std::map<std::string, int>& xobjects, const std::string& more) {
    std::string out = "<< /XObject << ";
    for (const auto& [name, object] : xobjects)
        out += "/" + name + " " + std::to_string(object) + " 0 R ";
    out += ">> " + more + ">>";
    return out;
}

std::string DrawXObject(const std::string& name, int width, int height) {
    return "q " + std::to_string(width) + " 0 0 " + std::to_string(height) + " 0 0 cm /" + name +
           " Do Q\n";
}

bool EncryptWithQpdf(const std::string& input, const std::string& output,
                     const std::string& userPassword, const std::string& ownerPassword, int keyBits,
                     const std::vector<std::string>& permissions) {
    std::vector<std::string> arguments = {"qpdf", "--encrypt", userPassword, ownerPassword,
                                          std::to_string(keyBits)};
    if (keyBits == 256)
        arguments.push_back("--allow-insecure");
    for (const std::string& permission : permissions)
        arguments.push_back(permission);
    arguments.push_back("--");
    arguments.push_back(input);
    arguments.push_back(output);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        execvp("qpdf", argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return false;
    // qpdf answers 3 for warnings, with the file written.
    return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(file);
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "talvore-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace talvore::testing
