#include "convert/PageImageScan.h"

#include <Annot.h>
#include <Dict.h>
#include <Object.h>
#include <PDFDoc.h>
#include <Page.h>
#include <Stream.h>

#include <algorithm>
#include <array>
#include <set>
#include <utility>
#include <vector>

namespace talvore {
namespace {

// The content lexer's classes: white space and delimiters end a token.
constexpr std::array<bool, 256> MakeSeparators() {
    std::array<bool, 256> table{};
    for (unsigned char c :
         {'\0', '\t', '\n', '\f', '\r', ' ', '(', ')', '<', '>', '[', ']', '{', '}', '/', '%'}) {
        table[static_cast<size_t>(c)] = true;
    }
    return table;
}
constexpr std::array<bool, 256> kSeparators = MakeSeparators();

// The resources a content stream reads, innermost first: a name missing from
// a form's own resources is looked up in the enclosing ones, down to the
// page's, as the interpreter does.
using ResourceChain = std::vector<Dict*>;

// A (form, resource chain) pair is scanned once.
struct VisitKey {
    int Num;
    int Gen;
    std::vector<const void*> Chain;
    bool operator<(const VisitKey& other) const {
        if (Num != other.Num)
            return Num < other.Num;
        if (Gen != other.Gen)
            return Gen < other.Gen;
        return Chain < other.Chain;
    }
};

// Beyond any sane nesting the interpreter gives up too; stay safe.
constexpr int kMaxFormDepth = 64;

class Scan {
public:
    // Whether some content on the way may hand an image to the device.
    bool MayDrawImage() const { return m_mayDrawImage; }

    // Reads the content and everything it names; answers how deep its graphics
    // states nest, counting the forms it draws on top (an upper bound).
    int Content(const std::vector<Stream*>& streams, const ResourceChain& chain, int formDepth) {
        ContentScanner scanner;
        std::array<unsigned char, 16 * 1024> buffer;
        for (Stream* stream : streams) {
            stream->reset();
            for (;;) {
                const int got = stream->doGetChars(static_cast<int>(buffer.size()), buffer.data());
                if (got <= 0)
                    break;
                scanner.Feed(buffer.data(), static_cast<size_t>(got));
            }
            stream->close();
            // The content parser ends a token where a stream ends.
            scanner.Finish();
        }
        scanner.Finish();
        if (scanner.HasInlineImage())
            m_mayDrawImage = true;
        int deepest = 0;
        for (Dict* resources : chain)
            deepest = std::max(deepest, NamedResources(scanner, resources, chain, formDepth));
        return scanner.SaveDepth() + deepest;
    }

    // A form reads its own resources first, then the enclosing chain; the
    // interpreter saves the state once around it.
    int Form(const Object& formRef, const Object& form, const ResourceChain& outer, int formDepth) {
        if (!form.isStream())
            return 0;
        Dict* dict = form.streamGetDict();
        const Object subtype = dict->lookup("Subtype");
        if (subtype.isName("Image")) {
            m_mayDrawImage = true;
            return 0;
        }
        // The interpreter draws a stream without /Subtype as a form too.
        if (!subtype.isName("Form") && !subtype.isNull())
            return 0;
        if (formDepth > kMaxFormDepth) {
            m_mayDrawImage = true;
            return 0;
        }
        const Object ownResources = dict->lookup("Resources");
        ResourceChain chain;
        if (ownResources.isDict())
            chain.push_back(ownResources.getDict());
        chain.insert(chain.end(), outer.begin(), outer.end());
        if (formRef.isRef()) {
            const Ref ref = formRef.getRef();
            if (!m_visited.insert({ref.num, ref.gen, {chain.begin(), chain.end()}}).second)
                return 0;
        }
        return 1 + Content({form.getStream()}, chain, formDepth + 1);
    }

    int Appearance(const Object& appearance, const ResourceChain& page) {
        if (!appearance.isDict())
            return 0;
        int deepest = 0;
        Dict* kinds = appearance.getDict();
        for (int i = 0; i < kinds->getLength(); ++i) {
            const Object& entryRef = kinds->getValNF(i);
            const Object entry = kinds->getVal(i);
            if (entry.isStream()) {
                deepest = std::max(deepest, Form(entryRef, entry, page, 0));
            } else if (entry.isDict()) {
                Dict* states = entry.getDict();
                for (int j = 0; j < states->getLength(); ++j) {
                    const Object& stateRef = states->getValNF(j);
                    const Object state = states->getVal(j);
                    deepest = std::max(deepest, Form(stateRef, state, page, 0));
                }
            }
        }
        return deepest;
    }

private:
    int NamedResources(const ContentScanner& scanner, Dict* resources, const ResourceChain& chain,
                       int formDepth) {
        int deepest = 0;
        const Object xobjects = resources->lookup("XObject");
        if (xobjects.isDict()) {
            Dict* dict = xobjects.getDict();
            for (int i = 0; i < dict->getLength(); ++i) {
                if (!scanner.NamesResource(dict->getKey(i)))
                    continue;
                const Object& ref = dict->getValNF(i);
                const Object xobject = dict->getVal(i);
                deepest = std::max(deepest, Form(ref, xobject, chain, formDepth));
            }
        }
        // A graphics state's soft mask is a group drawn through the device,
        // with the resources of the content that sets the state around it.
        const Object states = resources->lookup("ExtGState");
        if (states.isDict()) {
            Dict* dict = states.getDict();
            for (int i = 0; i < dict->getLength(); ++i) {
                if (!scanner.NamesResource(dict->getKey(i)))
                    continue;
                const Object state = dict->getVal(i);
                if (!state.isDict())
                    continue;
                const Object softMask = state.dictLookup("SMask");
                if (!softMask.isDict())
                    continue;
                const Object& groupRef = softMask.getDict()->lookupNF("G");
                const Object group = softMask.dictLookup("G");
                deepest = std::max(deepest, Form(groupRef, group, chain, formDepth));
            }
        }
        return deepest;
    }

    bool m_mayDrawImage = false;
    std::set<VisitKey> m_visited;
};

} // namespace

void ContentScanner::Feed(const unsigned char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        const bool outside = TrackLexicalMode(c);
        if (kSeparators[c]) {
            EndToken();
            if (c == '/') {
                m_inToken = true;
                m_tokenOutside = outside;
                m_token.assign(1, '/');
            }
            continue;
        }
        if (!m_inToken) {
            m_inToken = true;
            m_tokenOutside = outside;
            m_token.clear();
        }
        // Other tokens only matter when they are "BI", "q" or "Q": three
        // bytes tell.
        if (m_token.size() >= 3 && m_token.front() != '/')
            continue;
        m_token += static_cast<char>(c);
    }
}

bool ContentScanner::TrackLexicalMode(unsigned char c) {
    if (m_pendingLess) {
        m_pendingLess = false;
        if (c == '<')
            return true; // "<<" opens a dictionary
        m_inHex = true;
    }
    if (m_inComment) {
        if (c == '\r' || c == '\n')
            m_inComment = false;
        return false;
    }
    if (m_stringDepth > 0) {
        if (m_escape)
            m_escape = false;
        else if (c == '\\')
            m_escape = true;
        else if (c == '(')
            ++m_stringDepth;
        else if (c == ')')
            --m_stringDepth;
        return false;
    }
    if (m_inHex) {
        if (c == '>')
            m_inHex = false;
        return false;
    }
    if (c == '%')
        m_inComment = true;
    else if (c == '(')
        m_stringDepth = 1;
    else if (c == '<')
        m_pendingLess = true;
    return true;
}

void ContentScanner::Finish() {
    EndToken();
}

void ContentScanner::EndToken() {
    if (!m_inToken)
        return;
    m_inToken = false;
    if (!m_token.empty() && m_token.front() == '/') {
        // The parser's reading of "#" escapes (malformed ones included) is
        // not worth copying: such a name may stand for any resource.
        if (m_token.find('#') != std::string::npos)
            m_anyName = true;
        m_names.emplace(m_token, 1);
    } else if (m_token.size() == 2 && m_token[0] == 'B' && m_token[1] == 'I') {
        m_inlineImage = true;
    } else if (m_tokenOutside && m_token.size() == 1 && m_token[0] == 'q') {
        m_saveDepth = std::max(m_saveDepth, ++m_depth);
    } else if (m_tokenOutside && m_token.size() == 1 && m_token[0] == 'Q') {
        m_depth = std::max(0, m_depth - 1);
    }
    m_token.clear();
}

PageScan ScanPage(PDFDoc& doc, int pageNumber) {
    Page* page = doc.getPage(pageNumber);
    if (!page)
        return {true, 0}; // let the interpreter report it
    Scan scan;
    ResourceChain resources;
    if (Dict* pageResources = page->getResourceDict())
        resources.push_back(pageResources);

    const Object contents = page->getContents();
    std::vector<Stream*> streams;
    std::vector<Object> parts;
    if (contents.isStream()) {
        streams.push_back(contents.getStream());
    } else if (contents.isArray()) {
        for (int i = 0; i < contents.arrayGetLength(); ++i)
            parts.push_back(contents.arrayGet(i));
        for (Object& part : parts) {
            if (part.isStream())
                streams.push_back(part.getStream());
        }
    }
    int depth = scan.Content(streams, resources, 0);

    const Object annots = page->getAnnotsObject();
    if (annots.isArray()) {
        for (int i = 0; i < annots.arrayGetLength(); ++i) {
            const Object annot = annots.arrayGet(i);
            if (!annot.isDict())
                continue;
            depth = std::max(depth, scan.Appearance(annot.dictLookup("AP"), resources));
            // A widget's icons, in case the core builds its appearance anew.
            depth = std::max(depth, scan.Appearance(annot.dictLookup("MK"), resources));
        }
    }
    return {scan.MayDrawImage(), depth};
}

bool PageMayDrawImage(PDFDoc& doc, int pageNumber) {
    return ScanPage(doc, pageNumber).MayDrawImage;
}

} // namespace talvore
