// Small, well-formed PDF files written by the tests themselves: a version,
// a number of empty pages with a media box, and an optional crop box on the
// first page or on the page tree (inherited).
#pragma once

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tinypdf {

struct Box {
    double X1, Y1, X2, Y2;
};

struct Layout {
    std::string Version = "1.4";
    int Pages = 1;
    Box Media{0, 0, 612, 792};
    std::optional<Box> PageCrop;      // on the first page
    std::optional<Box> InheritedCrop; // on the page tree node
};

inline std::string BoxText(const Box& box) {
    char text[128];
    std::snprintf(text, sizeof text, "[%g %g %g %g]", box.X1, box.Y1, box.X2, box.Y2);
    return text;
}

inline std::string Build(const Layout& layout) {
    std::vector<std::string> objects;
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < layout.Pages; ++i)
        kids += std::to_string(3 + i) + " 0 R ";
    std::string pages =
        "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(layout.Pages);
    if (layout.InheritedCrop)
        pages += " /CropBox " + BoxText(*layout.InheritedCrop);
    objects.push_back(pages + " >>");
    for (int i = 0; i < layout.Pages; ++i) {
        std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox " + BoxText(layout.Media);
        if (i == 0 && layout.PageCrop)
            page += " /CropBox " + BoxText(*layout.PageCrop);
        objects.push_back(page + " /Resources << >> >>");
    }

    std::string pdf = "%PDF-" + layout.Version + "\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

inline bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace tinypdf
