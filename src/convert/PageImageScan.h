// Whether interpreting a page could hand an image to the extraction device.
// Interpreting the text of a page costs far more than dumping its images,
// and a page that can reach no image yields no file, so the run skips it.
//
// The answer is conservative: "no" only when no image XObject is named by
// the page's content (directly, or through Form XObjects and soft-mask
// groups of named graphics states), none is reachable from an annotation
// appearance, and no content stream on the way holds an inline image ("BI").
// Names and "BI" are collected in strings and comments too, so text in them
// can only make the answer "yes"; the nesting of "q" counts outside them. Tiling patterns and Type
// 3 glyphs are not followed: the device does not dump what they draw.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

class PDFDoc;

namespace talvore {

// A page's content may not nest its graphics states deeper than this: each
// level is a copy of the whole state in the interpreter, and a few bytes of
// "q" would take gigabytes.
inline constexpr int PAGE_MAX_SAVE_DEPTH = 4096;

struct PageScan {
    bool MayDrawImage;
    // How deep "q" nests on the page, forms drawn on top counted (an upper
    // bound).
    int SaveDepth;
};

// Counts the core's repairs of a document's cross-reference table; hand
// Callback() to the document's constructor. A damaged table is rebuilt when
// an object is first found missing, and afterwards numbers may name other
// objects, so a scan during which a repair happened proves nothing.
class XRefRepairs {
public:
    std::function<void()> Callback() const {
        return [count = m_count] { ++*count; };
    }
    int Count() const { return *m_count; }

private:
    std::shared_ptr<int> m_count = std::make_shared<int>(0);
};

// What the scans of one document's pages learnt for the pages after them:
// which objects are images or draw nothing, so that resources the pages
// share are fetched once. It holds for one document, while the numbers of
// its objects name what they named: a repair of the table empties it.
//
// A resource dictionary that a page names by reference is also handed to
// the core's table as already read, so that the pages the core reads after
// it share it instead of parsing it anew (a text document's shared fonts
// cost more than its pages). The cache takes it back when it is emptied or
// destroyed: it must not outlive the document.
class PageScanCache {
public:
    PageScanCache();
    ~PageScanCache();
    PageScanCache(const PageScanCache&) = delete;
    PageScanCache& operator=(const PageScanCache&) = delete;

    struct Data;
    Data& Get() { return *m_data; }

private:
    std::unique_ptr<Data> m_data;
};

// Reads the page's content and what it names, all of it.
PageScan ScanPage(PDFDoc& doc, int pageNumber);
// The same, but a page during whose scan the table was repaired may draw an
// image.
PageScan ScanPage(PDFDoc& doc, int pageNumber, const XRefRepairs& repairs);
// The same, with what earlier pages of the document taught.
PageScan ScanPage(PDFDoc& doc, int pageNumber, const XRefRepairs& repairs, PageScanCache& cache);
bool PageMayDrawImage(PDFDoc& doc, int pageNumber);

// Collects every name token ("/Im1"; one with a "#" escape may be any name) and notes
// a "BI" token in content bytes fed in pieces; tokens may span pieces.
class ContentScanner {
public:
    void Feed(const unsigned char* data, size_t size);
    void Finish();

    bool HasInlineImage() const { return m_inlineImage; }
    // The deepest nesting of "q" outside strings and comments.
    int SaveDepth() const { return m_saveDepth; }
    // Whether content may use the resource of this name.
    bool NamesResource(const std::string& name) const {
        return m_anyName || m_names.count(name) != 0;
    }

private:
    void EndToken();
    // Follows strings, hex strings and comments as the content lexer reads
    // them; answers whether the byte lies outside all three.
    bool TrackLexicalMode(unsigned char c);

    enum class Mode { Normal, PendingLess, Comment, String, Hex };
    Mode m_mode = Mode::Normal;
    int m_stringDepth = 0; // of parentheses, in Mode::String
    bool m_escape = false; // the byte before was a backslash in a string
    bool m_inToken = false;
    bool m_tokenOutside = true;
    bool m_isName = false;
    std::string m_name;       // the name token without its slash
    int m_tokenLength = 0;    // of another token, counted up to 3
    char m_tokenHead[2] = {}; // its first two bytes
    int m_depth = 0;
    int m_saveDepth = 0;
    bool m_inlineImage = false;
    bool m_anyName = false;
    std::unordered_set<std::string> m_names;
};

} // namespace talvore
