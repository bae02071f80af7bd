#include "convert/PageImageScan.h"

#include <Annot.h>
#include <Dict.h>
#include <Object.h>
#include <PDFDoc.h>
#include <Page.h>
#include <Stream.h>
#include <XRef.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace talvore {

struct PageScanCache::Data {
    // What an object is when it is drawn as a resource, whatever names it.
    enum class Kind : uint8_t { NotStream, Image, OtherSubtype, Form };
    std::unordered_map<uint64_t, Kind> XObjects;
    // Graphics states without a soft mask dictionary: they draw nothing.
    std::unordered_set<uint64_t> StatesWithoutMask;
    // The quick scan's reads; it does not nest while it reads.
    std::vector<char> Buffer;
    int Repairs = 0; // the count of repairs the entries hold for

    // Resource dictionaries lent to the table, by reference.
    struct LentResources {
        Ref Number;
        const Dict* Resources;
    };
    XRef* Table = nullptr;
    std::vector<LentResources> Lent;
    // The pages' resource dictionaries looked at, lent or not. Pages that
    // each read their own gain nothing: past this many no more are tried.
    static constexpr size_t kMaxSeen = 256;
    std::unordered_set<const Dict*> Seen;

    static uint64_t Key(Ref ref) {
        return (uint64_t{static_cast<uint32_t>(ref.num)} << 32) | static_cast<uint32_t>(ref.gen);
    }
    void Forget(int repairs) {
        XObjects.clear();
        StatesWithoutMask.clear();
        TakeBack();
        Repairs = repairs;
    }

    // The table entry of an object read from the file: as it was, or with
    // the object lent to it.
    XRefEntry* FileEntry(Ref number) const {
        if (number.num < 0 || number.num >= Table->getNumObjects())
            return nullptr;
        XRefEntry* entry = Table->getEntry(number.num, false);
        if (!entry || entry->type != xrefEntryUncompressed || entry->gen != number.gen)
            return nullptr;
        return entry;
    }

    // Lends the page's resource dictionary, read by reference, to the
    // table: the core answers a fetch of an entry holding an object with
    // that object, a copy sharing its dictionary. Only dictionaries: a
    // stream's position would be shared too.
    void LendResources(PDFDoc& doc, Page& page) {
        Dict* resources = page.getResourceDict();
        // A page the core read after the lending has it from the table, one
        // that inherits its resources has its parent's.
        if (!resources || Seen.size() >= kMaxSeen || !Seen.insert(resources).second)
            return;
        const Object pageObject = doc.getXRef()->fetch(page.getRef());
        if (!pageObject.isDict())
            return;
        const Object& reference = pageObject.getDict()->lookupNF("Resources");
        if (!reference.isRef())
            return;
        Table = doc.getXRef();
        XRefEntry* entry = FileEntry(reference.getRef());
        if (!entry || !entry->obj.isNull())
            return;
        entry->obj = page.getResourceDictObject()->copy();
        Lent.push_back({reference.getRef(), resources});
    }

    // Every fetch reads the file again.
    void TakeBack() {
        for (const LentResources& lent : Lent) {
            XRefEntry* entry = FileEntry(lent.Number);
            if (entry && entry->obj.isDict() && entry->obj.getDict() == lent.Resources)
                entry->obj.setToNull();
        }
        Lent.clear();
        Seen.clear();
    }
};

PageScanCache::PageScanCache() : m_data(std::make_unique<Data>()) {}
PageScanCache::~PageScanCache() {
    m_data->TakeBack();
}

namespace {

using Kind = PageScanCache::Data::Kind;

// The content lexer's classes: white space and delimiters end a token; the
// lexical bytes may open or close a string, a hex string or a comment.
constexpr uint8_t kSeparator = 1;
constexpr uint8_t kLexical = 2;
constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> table{};
    for (unsigned char c :
         {'\0', '\t', '\n', '\f', '\r', ' ', '(', ')', '<', '>', '[', ']', '{', '}', '/', '%'}) {
        table[static_cast<size_t>(c)] |= kSeparator;
    }
    for (unsigned char c : {'%', '(', ')', '\\', '<', '>', '\r', '\n'})
        table[static_cast<size_t>(c)] |= kLexical;
    return table;
}
constexpr std::array<uint8_t, 256> kClasses = MakeClasses();

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
constexpr int kMaxQuickForms = 256;
// Forms drawn inside forms under distinct resource chains can multiply
// without end; past this many the page is left to the interpreter, whose
// limits and stop apply as it draws.
constexpr int kMaxScannedForms = 4096;

class Scan {
public:
    // A quick scan reads no token. It finds the resources that may draw an
    // image first and then searches the content's bytes for their names, for
    // "BI" and for "#" escapes; it counts the bytes "q" as the nesting. Its
    // "no image" holds for the full scan too, and its depth is an upper bound
    // of the full scan's.
    Scan(bool quick, PageScanCache::Data& cache) : m_quick(quick), m_cache(cache) {}

    // Whether some content on the way may hand an image to the device.
    bool MayDrawImage() const { return m_mayDrawImage; }

    // Reads the content and everything it names; answers how deep its graphics
    // states nest, counting the forms it draws on top (an upper bound).
    int Content(const std::vector<Stream*>& streams, const ResourceChain& chain, int formDepth) {
        if (m_quick)
            return QuickContent(streams, chain, formDepth);
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
        for (size_t i = 0; i < chain.size(); ++i)
            deepest = std::max(deepest, NamedResources(scanner, i, chain, formDepth));
        return scanner.SaveDepth() + deepest;
    }

    // How the interpreter comes to draw a stream: by a name in the content
    // (it draws a Form and an Image, and says that another subtype is
    // wrong), or as a soft mask's group or an annotation's appearance (it
    // draws any stream as a form, whatever its subtype says).
    enum class DrawnAs { XObject, Group };

    // A form reads its own resources first, then the enclosing chain; the
    // interpreter saves the state once around it.
    int Form(const Object& formRef, const Object& form, const ResourceChain& outer, int formDepth,
             DrawnAs drawn = DrawnAs::XObject) {
        if (!form.isStream()) {
            Remember(formRef, Kind::NotStream);
            return 0;
        }
        Dict* dict = form.streamGetDict();
        const Object subtype = dict->lookup("Subtype");
        // A stream without /Subtype is taken for a form too, to be safe.
        const Kind kind = subtype.isName("Image")                      ? Kind::Image
                          : subtype.isName("Form") || subtype.isNull() ? Kind::Form
                                                                       : Kind::OtherSubtype;
        Remember(formRef, kind);
        if (const std::optional<int> decided = Decided(kind, drawn))
            return *decided;
        if (formDepth > kMaxFormDepth) {
            m_mayDrawImage = true;
            return 0;
        }
        const Object ownResources = dict->lookup("Resources");
        ResourceChain chain;
        if (ownResources.isDict())
            chain.push_back(ownResources.getDict());
        chain.insert(chain.end(), outer.begin(), outer.end());
        if (m_quick)
            return QuickForm(formRef, form, chain, formDepth);
        if (++m_scannedForms > kMaxScannedForms) {
            m_mayDrawImage = true;
            return 0;
        }
        if (!formRef.isRef())
            return 1 + Content({form.getStream()}, chain, formDepth + 1);
        const Ref ref = formRef.getRef();
        if (!m_visited.insert({ref.num, ref.gen, {chain.begin(), chain.end()}}).second)
            return 0;
        // The interpreter does not draw a form inside itself.
        if (!m_inWork.insert({ref.num, ref.gen}).second)
            return 0;
        const int depth = 1 + Content({form.getStream()}, chain, formDepth + 1);
        m_inWork.erase({ref.num, ref.gen});
        return depth;
    }

    // A form, image or other stream fetched only when no earlier fetch of
    // the reference told what it draws.
    template <typename Fetch>
    int Drawn(const Object& ref, Fetch fetch, const ResourceChain& chain, int formDepth,
              DrawnAs drawn = DrawnAs::XObject) {
        if (const std::optional<int> known = Known(ref, drawn))
            return *known;
        const Object object = fetch();
        return Form(ref, object, chain, formDepth, drawn);
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
                deepest = std::max(deepest, Form(entryRef, entry, page, 0, DrawnAs::Group));
            } else if (entry.isDict()) {
                Dict* states = entry.getDict();
                for (int j = 0; j < states->getLength(); ++j) {
                    const Object& stateRef = states->getValNF(j);
                    const Object state = states->getVal(j);
                    deepest = std::max(deepest, Form(stateRef, state, page, 0, DrawnAs::Group));
                }
            }
        }
        return deepest;
    }

private:
    // What drawing an object of the kind gives when that does not depend on
    // the resources: an image reaches the device, what is no stream draws
    // nothing, and neither does a stream named as an XObject that is neither
    // form nor image.
    std::optional<int> Decided(Kind kind, DrawnAs drawn) {
        switch (kind) {
        case Kind::Image:
            m_mayDrawImage = true;
            return 0;
        case Kind::NotStream:
            return 0;
        case Kind::OtherSubtype:
            if (drawn == DrawnAs::XObject)
                return 0;
            return std::nullopt;
        case Kind::Form:
            break;
        }
        return std::nullopt;
    }

    std::optional<int> Known(const Object& ref, DrawnAs drawn) {
        if (!ref.isRef())
            return std::nullopt;
        const auto known = m_cache.XObjects.find(PageScanCache::Data::Key(ref.getRef()));
        if (known == m_cache.XObjects.end())
            return std::nullopt;
        return Decided(known->second, drawn);
    }

    void Remember(const Object& ref, Kind kind) {
        if (ref.isRef())
            m_cache.XObjects.emplace(PageScanCache::Data::Key(ref.getRef()), kind);
    }

    // The soft mask group of a graphics state, or null: fetched only while
    // no earlier fetch of the state's reference found it has none.
    Object SoftMask(Dict* states, int index) {
        const Object& ref = states->getValNF(index);
        const bool byRef = ref.isRef();
        const uint64_t key = byRef ? PageScanCache::Data::Key(ref.getRef()) : 0;
        if (byRef && m_cache.StatesWithoutMask.count(key) != 0)
            return Object();
        const Object state = states->getVal(index);
        Object softMask = state.isDict() ? state.dictLookup("SMask") : Object();
        if (!softMask.isDict()) {
            if (byRef)
                m_cache.StatesWithoutMask.insert(key);
            return Object();
        }
        return softMask;
    }

    // What a form drawn under a resource chain gives, kept for each pair:
    // the same form under two names must answer twice.
    struct QuickResult {
        bool MayDrawImage;
        int Depth;
    };

    int QuickForm(const Object& formRef, const Object& form, const ResourceChain& chain,
                  int formDepth) {
        // Every resource is followed, named or not: past this many forms
        // the full scan, which follows only named ones, is the cheaper one.
        if (++m_quickForms > kMaxQuickForms) {
            m_mayDrawImage = true;
            return 0;
        }
        std::optional<VisitKey> key;
        std::pair<int, int> ref{-1, -1};
        if (formRef.isRef()) {
            ref = {formRef.getRef().num, formRef.getRef().gen};
            key = VisitKey{ref.first, ref.second, {chain.begin(), chain.end()}};
            const auto known = m_quickResults.find(*key);
            if (known != m_quickResults.end()) {
                m_mayDrawImage = m_mayDrawImage || known->second.MayDrawImage;
                return known->second.Depth;
            }
            // A form drawn inside itself adds nothing it does not draw anyway.
            if (!m_quickInWork.insert(ref).second)
                return 0;
        }
        const bool outer = m_mayDrawImage;
        m_mayDrawImage = false;
        const int depth = 1 + Content({form.getStream()}, chain, formDepth + 1);
        if (key) {
            m_quickResults[*key] = QuickResult{m_mayDrawImage, depth};
            m_quickInWork.erase(ref);
        }
        m_mayDrawImage = outer || m_mayDrawImage;
        return depth;
    }

    // Whether drawing a resource may hand an image to the device, as a
    // question apart from what the content around it does.
    template <typename Draw> bool ResourceMayDraw(Draw draw) {
        const bool outer = m_mayDrawImage;
        m_mayDrawImage = false;
        draw();
        const bool draws = m_mayDrawImage;
        m_mayDrawImage = outer;
        return draws;
    }

    int QuickContent(const std::vector<Stream*>& streams, const ResourceChain& chain,
                     int formDepth) {
        // The names of resources that may draw an image, with their slash.
        std::vector<std::string> wanted;
        int deepest = 0;
        for (size_t r = 0; r < chain.size(); ++r) {
            Dict* resources = chain[r];
            const Object xobjects = resources->lookup("XObject");
            if (xobjects.isDict()) {
                Dict* dict = xobjects.getDict();
                for (int i = 0; i < dict->getLength(); ++i) {
                    if (Shadowed(chain, r, "XObject", dict->getKey(i)))
                        continue;
                    const Object& ref = dict->getValNF(i);
                    if (ResourceMayDraw([&] {
                            deepest = std::max(deepest, Drawn(
                                                            ref, [&] { return dict->getVal(i); },
                                                            chain, formDepth));
                        }))
                        wanted.push_back(std::string("/") + dict->getKey(i));
                }
            }
            const Object states = resources->lookup("ExtGState");
            if (states.isDict()) {
                Dict* dict = states.getDict();
                for (int i = 0; i < dict->getLength(); ++i) {
                    if (Shadowed(chain, r, "ExtGState", dict->getKey(i)))
                        continue;
                    const Object softMask = SoftMask(dict, i);
                    if (!softMask.isDict())
                        continue;
                    const Object& groupRef = softMask.getDict()->lookupNF("G");
                    if (ResourceMayDraw([&] {
                            deepest = std::max(
                                deepest, Drawn(
                                             groupRef, [&] { return softMask.dictLookup("G"); },
                                             chain, formDepth, DrawnAs::Group));
                        }))
                        wanted.push_back(std::string("/") + dict->getKey(i));
                }
            }
        }

        size_t carry = 2; // bytes kept from one read to the next: "BI", names
        for (const std::string& name : wanted)
            carry = std::max(carry, name.size());
        --carry;
        const size_t capacity = 64 * 1024 + carry;
        // Kept from page to page: fresh memory of this size costs page faults.
        std::vector<char>& buffer = m_cache.Buffer;
        if (buffer.size() < capacity)
            buffer.resize(capacity);
        uint64_t saves = 0;
        for (Stream* stream : streams) {
            stream->reset();
            size_t kept = 0; // a token ends where a stream ends
            while (!m_mayDrawImage) {
                const int got =
                    stream->doGetChars(static_cast<int>(capacity - kept),
                                       reinterpret_cast<unsigned char*>(buffer.data() + kept));
                if (got <= 0)
                    break;
                const char* fresh = buffer.data() + kept;
                const size_t size = kept + static_cast<size_t>(got);
                // Past the limit the count no longer matters: the full scan
                // decides such a page.
                if (saves <= PAGE_MAX_SAVE_DEPTH)
                    saves += CountByte(fresh, static_cast<size_t>(got), 'q');
                if (HasPair(buffer.data(), size, 'B', 'I') ||
                    (!wanted.empty() && (std::memchr(fresh, '#', static_cast<size_t>(got)) ||
                                         NamesAny(buffer.data(), size, wanted))))
                    m_mayDrawImage = true;
                kept = std::min(carry, size);
                std::memmove(buffer.data(), buffer.data() + size - kept, kept);
            }
            stream->close();
        }
        return static_cast<int>(std::min<uint64_t>(saves, INT_MAX / 2)) + deepest;
    }

    // Text content has few of the bytes looked for, so hopping with memchr
    // beats reading byte by byte.
    static uint64_t CountByte(const char* bytes, size_t size, char c) {
        uint64_t count = 0;
        const char* end = bytes + size;
        for (const char* at = bytes;
             (at = static_cast<const char*>(std::memchr(at, c, end - at))) != nullptr; ++at)
            ++count;
        return count;
    }

    static bool HasPair(const char* bytes, size_t size, char first, char second) {
        if (size < 2)
            return false;
        const char* last = bytes + size - 1; // a pair starts before it
        for (const char* at = bytes;
             (at = static_cast<const char*>(std::memchr(at, first, last - at))) != nullptr; ++at) {
            if (at[1] == second)
                return true;
        }
        return false;
    }

    // Whether one of the names occurs in the bytes, also as the start of a
    // longer name, in a string or a comment.
    static bool NamesAny(const char* bytes, size_t size, const std::vector<std::string>& names) {
        const char* end = bytes + size;
        for (const char* slash = bytes;
             (slash = static_cast<const char*>(std::memchr(slash, '/', end - slash))) != nullptr;
             ++slash) {
            for (const std::string& name : names) {
                if (static_cast<size_t>(end - slash) >= name.size() &&
                    std::memcmp(slash, name.data(), name.size()) == 0)
                    return true;
            }
        }
        return false;
    }

    // Whether a dictionary nearer the content than chain[index] defines the
    // name in the category: the interpreter takes the nearest definition
    // that it can fetch.
    static bool Shadowed(const ResourceChain& chain, size_t index, const char* category,
                         const char* name) {
        for (size_t i = 0; i < index; ++i) {
            const Object entries = chain[i]->lookup(category);
            if (entries.isDict() && !entries.dictLookup(name).isNull())
                return true;
        }
        return false;
    }

    int NamedResources(const ContentScanner& scanner, size_t index, const ResourceChain& chain,
                       int formDepth) {
        Dict* resources = chain[index];
        int deepest = 0;
        const Object xobjects = resources->lookup("XObject");
        if (xobjects.isDict()) {
            Dict* dict = xobjects.getDict();
            for (int i = 0; i < dict->getLength(); ++i) {
                if (!scanner.NamesResource(dict->getKey(i)) ||
                    Shadowed(chain, index, "XObject", dict->getKey(i)))
                    continue;
                const Object& ref = dict->getValNF(i);
                deepest =
                    std::max(deepest, Drawn(
                                          ref, [&] { return dict->getVal(i); }, chain, formDepth));
            }
        }
        // A graphics state's soft mask is a group drawn through the device,
        // with the resources of the content that sets the state around it.
        const Object states = resources->lookup("ExtGState");
        if (states.isDict()) {
            Dict* dict = states.getDict();
            for (int i = 0; i < dict->getLength(); ++i) {
                if (!scanner.NamesResource(dict->getKey(i)) ||
                    Shadowed(chain, index, "ExtGState", dict->getKey(i)))
                    continue;
                const Object softMask = SoftMask(dict, i);
                if (!softMask.isDict())
                    continue;
                const Object& groupRef = softMask.getDict()->lookupNF("G");
                deepest = std::max(deepest, Drawn(
                                                groupRef, [&] { return softMask.dictLookup("G"); },
                                                chain, formDepth, DrawnAs::Group));
            }
        }
        return deepest;
    }

    bool m_quick;
    PageScanCache::Data& m_cache;
    bool m_mayDrawImage = false;
    std::set<VisitKey> m_visited;
    std::map<VisitKey, QuickResult> m_quickResults;
    std::set<std::pair<int, int>> m_quickInWork;
    std::set<std::pair<int, int>> m_inWork; // forms being scanned, by reference
    int m_quickForms = 0;
    int m_scannedForms = 0;
};

} // namespace

void ContentScanner::Feed(const unsigned char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        const uint8_t cls = kClasses[c];
        // Most bytes change no lexical mode: only the others take the slow
        // step.
        bool outside;
        if (!(cls & kLexical) && m_mode == Mode::Normal)
            outside = true;
        else if (!(cls & kLexical) && m_mode == Mode::String && !m_escape)
            outside = false;
        else
            outside = TrackLexicalMode(c);

        if (cls & kSeparator) {
            if (m_inToken)
                EndToken();
            if (c == '/') {
                m_inToken = true;
                m_tokenOutside = outside;
                m_isName = true;
                m_name.clear();
            }
            continue;
        }
        if (!m_inToken) {
            m_inToken = true;
            m_tokenOutside = outside;
            m_isName = false;
            m_tokenLength = 0;
        }
        if (m_isName) {
            m_name += static_cast<char>(c);
        } else if (m_tokenLength < 3) {
            // Other tokens only matter when they are "BI", "q" or "Q": three
            // bytes tell.
            if (m_tokenLength < 2)
                m_tokenHead[m_tokenLength] = static_cast<char>(c);
            ++m_tokenLength;
        }
    }
}

bool ContentScanner::TrackLexicalMode(unsigned char c) {
    switch (m_mode) {
    case Mode::PendingLess:
        if (c == '<') {
            m_mode = Mode::Normal;
            return true; // "<<" opens a dictionary
        }
        m_mode = Mode::Hex;
        [[fallthrough]];
    case Mode::Hex:
        if (c == '>')
            m_mode = Mode::Normal;
        return false;
    case Mode::Comment:
        if (c == '\r' || c == '\n')
            m_mode = Mode::Normal;
        return false;
    case Mode::String:
        if (m_escape)
            m_escape = false;
        else if (c == '\\')
            m_escape = true;
        else if (c == '(')
            ++m_stringDepth;
        else if (c == ')' && --m_stringDepth == 0)
            m_mode = Mode::Normal;
        return false;
    case Mode::Normal:
        break;
    }
    if (c == '%') {
        m_mode = Mode::Comment;
    } else if (c == '(') {
        m_mode = Mode::String;
        m_stringDepth = 1;
    } else if (c == '<') {
        m_mode = Mode::PendingLess;
    }
    return true;
}

void ContentScanner::Finish() {
    if (m_inToken)
        EndToken();
}

void ContentScanner::EndToken() {
    m_inToken = false;
    if (m_isName) {
        // The parser's reading of "#" escapes (malformed ones included) is
        // not worth copying: such a name may stand for any resource.
        if (m_name.find('#') != std::string::npos)
            m_anyName = true;
        if (m_names.find(m_name) == m_names.end())
            m_names.insert(m_name);
    } else if (m_tokenLength == 2 && m_tokenHead[0] == 'B' && m_tokenHead[1] == 'I') {
        m_inlineImage = true;
    } else if (m_tokenOutside && m_tokenLength == 1 && m_tokenHead[0] == 'q') {
        m_saveDepth = std::max(m_saveDepth, ++m_depth);
    } else if (m_tokenOutside && m_tokenLength == 1 && m_tokenHead[0] == 'Q') {
        m_depth = std::max(0, m_depth - 1);
    }
}

namespace {

PageScan ScanPageWith(PDFDoc& doc, int pageNumber, bool quick, PageScanCache::Data& cache) {
    Page* page = doc.getPage(pageNumber);
    if (!page)
        return {true, 0}; // let the interpreter report it
    Scan scan(quick, cache);
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

PageScan ScanPageCached(PDFDoc& doc, int pageNumber, PageScanCache::Data& cache) {
    if (Page* page = doc.getPage(pageNumber))
        cache.LendResources(doc, *page);
    // Most pages of a text document name no image at all, which counting
    // bytes tells without reading a token.
    const PageScan quick = ScanPageWith(doc, pageNumber, true, cache);
    if (!quick.MayDrawImage && quick.SaveDepth <= PAGE_MAX_SAVE_DEPTH)
        return quick;
    return ScanPageWith(doc, pageNumber, false, cache);
}

} // namespace

PageScan ScanPage(PDFDoc& doc, int pageNumber) {
    PageScanCache cache;
    return ScanPageCached(doc, pageNumber, cache.Get());
}

PageScan ScanPage(PDFDoc& doc, int pageNumber, const XRefRepairs& repairs) {
    PageScanCache cache;
    return ScanPage(doc, pageNumber, repairs, cache);
}

PageScan ScanPage(PDFDoc& doc, int pageNumber, const XRefRepairs& repairs, PageScanCache& cache) {
    PageScanCache::Data& data = cache.Get();
    // A repair since the last page, while the interpreter drew it, may have
    // given the numbers other objects.
    if (data.Repairs != repairs.Count())
        data.Forget(repairs.Count());
    const int before = repairs.Count();
    PageScan scan = ScanPageCached(doc, pageNumber, data);
    if (repairs.Count() != before) {
        scan.MayDrawImage = true;
        data.Forget(repairs.Count());
    }
    return scan;
}

bool PageMayDrawImage(PDFDoc& doc, int pageNumber) {
    return ScanPage(doc, pageNumber).MayDrawImage;
}

} // namespace talvore
