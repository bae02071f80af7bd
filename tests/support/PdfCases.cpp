#include "support/PdfCases.h"

#include "support/PdfWriter.h"

#include <map>

namespace talvore::testing {
namespace {

enum class Container { Content, Form, NestedForm, Appearance, SoftMask };
// Where the image's name is defined.
enum class Home { Page, Inherited, Container, Outer, Nowhere };

const char* Name(Container c) {
    switch (c) {
    case Container::Content:
        return "content";
    case Container::Form:
        return "form";
    case Container::NestedForm:
        return "nested-form";
    case Container::Appearance:
        return "appearance";
    case Container::SoftMask:
        return "softmask";
    }
    return "";
}

const char* Name(Home h) {
    switch (h) {
    case Home::Page:
        return "page";
    case Home::Inherited:
        return "inherited";
    case Home::Container:
        return "own";
    case Home::Outer:
        return "outer-form";
    case Home::Nowhere:
        return "nowhere";
    }
    return "";
}

std::string Ref(int object) {
    return std::to_string(object) + " 0 R";
}

// "<< /XObject << ... >> /ExtGState << ... >> >>", or "" when both are empty.
std::string Resources(const std::map<std::string, int>& xobjects,
                      const std::map<std::string, std::string>& states = {}) {
    if (xobjects.empty() && states.empty())
        return "";
    std::string text = "<<";
    if (!xobjects.empty()) {
        text += " /XObject <<";
        for (const auto& [name, object] : xobjects)
            text += " /" + name + " " + Ref(object);
        text += " >>";
    }
    if (!states.empty()) {
        text += " /ExtGState <<";
        for (const auto& [name, state] : states)
            text += " /" + name + " " + state;
        text += " >>";
    }
    return text + " >>";
}

GeneratedPdf Build(Container container, Home home, bool ownResources) {
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceGray", 8, "", "\x10\x40\x80\xc0");
    const int other = writer.AddImage(1, 1, "/DeviceGray", 8, "", "\x7f");
    const std::string drawn = "q 10 0 0 10 0 0 cm /Im0 Do Q\n";

    // The innermost resources: the container's own, holding the image when
    // it lives there, else a decoy so that the dictionary exists.
    std::map<std::string, int> inner;
    if (home == Home::Container)
        inner["Im0"] = image;
    else if (ownResources)
        inner["Other"] = other;
    const std::string innerText = Resources(inner);

    std::map<std::string, int> page;
    std::map<std::string, std::string> states;
    std::string content;
    std::string pageExtra;
    if (home == Home::Page || home == Home::Inherited)
        page["Im0"] = image;

    switch (container) {
    case Container::Content:
        content = drawn;
        break;
    case Container::Form:
        page["Fm0"] = writer.AddForm(drawn, innerText);
        content = "/Fm0 Do\n";
        break;
    case Container::NestedForm: {
        const int innerForm = writer.AddForm(drawn, innerText);
        // The outer form holds the inner one; it holds the image too when
        // the image lives there.
        std::map<std::string, int> outer = {{"Fm1", innerForm}};
        if (home == Home::Outer)
            outer["Im0"] = image;
        page["Fm0"] = writer.AddForm("/Fm1 Do\n", Resources(outer));
        content = "/Fm0 Do\n";
        break;
    }
    case Container::Appearance: {
        const int appearance = writer.AddForm(drawn, innerText);
        pageExtra = "/Annots [<< /Type /Annot /Subtype /Stamp /Rect [0 0 50 50] /AP << /N " +
                    Ref(appearance) + " >> >>]";
        content = "BT ET\n";
        break;
    }
    case Container::SoftMask: {
        const int group =
            writer.AddForm(drawn, innerText, "/Group << /S /Transparency /CS /DeviceGray >>");
        states["GS0"] = "<< /SMask << /S /Luminosity /G " + Ref(group) + " >> >>";
        content = "/GS0 gs 0 0 10 10 re f\n";
        break;
    }
    }

    const std::string pageResources = Resources(page, states);
    if (home == Home::Inherited) {
        writer.SetPagesEntries("/Resources " + pageResources);
        writer.AddPage(content, "", pageExtra);
    } else {
        writer.AddPage(content, pageResources.empty() ? "<< >>" : pageResources, pageExtra);
    }
    GeneratedPdf pdf;
    pdf.Name = std::string(Name(container)) + "-image-" + Name(home) +
               (ownResources ? "-own-resources" : "-no-resources");
    pdf.Bytes = writer.Build();
    return pdf;
}

// The page names A, a plain dictionary in the cross-reference table, then B,
// whose entry points at the header. Fetching B makes the core rebuild the
// table from the file, where a later definition makes A an image.
GeneratedPdf BuildRepairedTable() {
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    const int a = writer.Add("<< /Placeholder true >>");
    const int b = writer.Add("<< /Other true >>");
    writer.AddPage("/A Do /B Do\n", XObjectResources({{"A", a}, {"B", b}}));
    std::string bytes = writer.Build();

    const std::string imageHead = std::to_string(image) + " 0 obj";
    const size_t begin = bytes.find(imageHead);
    const size_t end = bytes.find("endobj", begin) + 6;
    bytes += std::to_string(a) + " 0 obj" +
             bytes.substr(begin + imageHead.size(), end - begin - imageHead.size()) + "\n";

    // The entries are 20 bytes each, after "xref\n0 N\n".
    const size_t table = bytes.find('\n', bytes.find("xref\n") + 5) + 1;
    bytes.replace(table + 20 * static_cast<size_t>(b), 10, "0000000009");

    GeneratedPdf pdf;
    pdf.Name = "content-image-page-after-table-repair";
    pdf.Bytes = bytes;
    return pdf;
}

} // namespace

std::vector<GeneratedPdf> ResourceLookupCases() {
    std::vector<GeneratedPdf> cases;
    for (Container container : {Container::Content, Container::Form, Container::NestedForm,
                                Container::Appearance, Container::SoftMask}) {
        for (Home home :
             {Home::Page, Home::Inherited, Home::Container, Home::Outer, Home::Nowhere}) {
            if (container == Container::Content && home == Home::Container)
                continue; // the page's content has no resources but the page's
            if (home == Home::Outer && container != Container::NestedForm)
                continue;
            for (bool own : {false, true}) {
                if (home == Home::Container && !own)
                    continue;
                if (container == Container::Content && own)
                    continue;
                cases.push_back(Build(container, home, own));
            }
        }
    }
    cases.push_back(BuildRepairedTable());
    return cases;
}

} // namespace talvore::testing
