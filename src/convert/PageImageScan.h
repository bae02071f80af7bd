// Whether interpreting a page could hand an image to the extraction device.
// Interpreting the text of a page costs far more than dumping its images,
// and a page that can reach no image yields no file, so the run skips it.
//
// The answer is conservative: "no" only when no image XObject is named by
// the page's content (directly, or through Form XObjects and soft-mask
// groups of named graphics states), none is reachable from an annotation
// appearance, and no content stream on the way holds an inline image ("BI").
// Strings and comments are not told apart from operators, so text in them
// can only make the answer "yes". Tiling patterns and Type 3 glyphs are not
// followed: the device does not dump what they draw.
#pragma once

#include <string>
#include <unordered_set>

class PDFDoc;

namespace talvore {

bool PageMayDrawImage(PDFDoc& doc, int pageNumber);

// Collects every name token ("/Im1"; one with a "#" escape may be any name) and notes
// a "BI" token in content bytes fed in pieces; tokens may span pieces.
class ContentScanner {
public:
    void Feed(const unsigned char* data, size_t size);
    void Finish();

    bool HasInlineImage() const { return m_inlineImage; }
    // Whether content may use the resource of this name.
    bool NamesResource(const std::string& name) const {
        return m_anyName || m_names.count(name) != 0;
    }

private:
    void EndToken();

    std::string m_token;
    bool m_inToken = false;
    bool m_inlineImage = false;
    bool m_anyName = false;
    std::unordered_set<std::string> m_names;
};

} // namespace talvore
