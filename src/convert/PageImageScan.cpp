#include "convert/PageImageScan.h"

#include <Annot.h>
#include <Dict.h>
#include <Object.h>
#include <PDFDoc.h>
#include <Page.h>
#include <Stream.h>

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
    // Content may reach an image when it holds an inline image or names an
    // image XObject (or a form or soft mask that reaches one) in any of the
    // resources it can read.
    bool ContentMayDrawImage(const std::vector<Stream*>& streams, const ResourceChain& chain,
                             int depth) {
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
            return true;
        for (Dict* resources : chain) {
            if (NamedResourcesMayDrawImage(scanner, resources, chain, depth))
                return true;
        }
        return false;
    }

    // A form reads its own resources first, then the enclosing chain.
    bool FormMayDrawImage(const Object& formRef, const Object& form, const ResourceChain& outer,
                          int depth) {
        if (!form.isStream())
            return false;
        Dict* dict = form.streamGetDict();
        const Object subtype = dict->lookup("Subtype");
        if (subtype.isName("Image"))
            return true;
        // The interpreter draws a stream without /Subtype as a form too.
        if (!subtype.isName("Form") && !subtype.isNull())
            return false;
        if (depth > kMaxFormDepth)
            return true;
        const Object ownResources = dict->lookup("Resources");
        ResourceChain chain;
        if (ownResources.isDict())
            chain.push_back(ownResources.getDict());
        chain.insert(chain.end(), outer.begin(), outer.end());
        if (formRef.isRef()) {
            const Ref ref = formRef.getRef();
            if (!m_visited.insert({ref.num, ref.gen, {chain.begin(), chain.end()}}).second)
                return false;
        }
        return ContentMayDrawImage({form.getStream()}, chain, depth + 1);
    }

    bool AppearanceMayDrawImage(const Object& appearance, const ResourceChain& page) {
        if (!appearance.isDict())
            return false;
        Dict* kinds = appearance.getDict();
        for (int i = 0; i < kinds->getLength(); ++i) {
            const Object& entryRef = kinds->getValNF(i);
            const Object entry = kinds->getVal(i);
            if (entry.isStream()) {
                if (FormMayDrawImage(entryRef, entry, page, 0))
                    return true;
            } else if (entry.isDict()) {
                Dict* states = entry.getDict();
                for (int j = 0; j < states->getLength(); ++j) {
                    const Object& stateRef = states->getValNF(j);
                    const Object state = states->getVal(j);
                    if (FormMayDrawImage(stateRef, state, page, 0))
                        return true;
                }
            }
        }
        return false;
    }

private:
    bool NamedResourcesMayDrawImage(const ContentScanner& scanner, Dict* resources,
                                    const ResourceChain& chain, int depth) {
        const Object xobjects = resources->lookup("XObject");
        if (xobjects.isDict()) {
            Dict* dict = xobjects.getDict();
            for (int i = 0; i < dict->getLength(); ++i) {
                if (!scanner.NamesResource(dict->getKey(i)))
                    continue;
                const Object& ref = dict->getValNF(i);
                const Object xobject = dict->getVal(i);
                if (FormMayDrawImage(ref, xobject, chain, depth))
                    return true;
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
                if (FormMayDrawImage(groupRef, group, chain, depth))
                    return true;
            }
        }
        return false;
    }

    std::set<VisitKey> m_visited;
};

} // namespace

void ContentScanner::Feed(const unsigned char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (kSeparators[c]) {
            EndToken();
            if (c == '/') {
                m_inToken = true;
                m_token.assign(1, '/');
            }
            continue;
        }
        if (!m_inToken) {
            m_inToken = true;
            m_token.clear();
        }
        // Other tokens only matter when they are "BI": three bytes tell.
        if (m_token.size() >= 3 && m_token.front() != '/')
            continue;
        m_token += static_cast<char>(c);
    }
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
    }
    m_token.clear();
}

bool PageMayDrawImage(PDFDoc& doc, int pageNumber) {
    Page* page = doc.getPage(pageNumber);
    if (!page)
        return true; // let the interpreter report it
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
        for (int i = 0; i < contents.arrayGetLength(); ++i) {
            parts.push_back(contents.arrayGet(i));
        }
        for (Object& part : parts) {
            if (part.isStream())
                streams.push_back(part.getStream());
        }
    }
    if (scan.ContentMayDrawImage(streams, resources, 0))
        return true;

    const Object annots = page->getAnnotsObject();
    if (annots.isArray()) {
        for (int i = 0; i < annots.arrayGetLength(); ++i) {
            const Object annot = annots.arrayGet(i);
            if (!annot.isDict())
                continue;
            const Object appearance = annot.dictLookup("AP");
            if (scan.AppearanceMayDrawImage(appearance, resources))
                return true;
            // A widget's icons, in case the core builds its appearance anew.
            const Object characteristics = annot.dictLookup("MK");
            if (scan.AppearanceMayDrawImage(characteristics, resources))
                return true;
        }
    }
    return false;
}

} // namespace talvore
