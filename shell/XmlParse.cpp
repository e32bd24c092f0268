#include "shell/XmlParse.h"

#include <cctype>
#include <cstring>
#include <strings.h>
#include <vector>

#include <tinyxml.h>

#include "shell/foundation/Log.h"

namespace pf {

namespace {

// The parser reads a few bytes past where it stops in some cases (a multi-byte character
// at the very end, an unterminated comment); zero bytes after the text keep those reads
// inside the buffer and make them end the document.
constexpr std::size_t kPadding = 8;

// The bounds scan walks the text the way the parser will, so that it counts exactly the
// elements the parser's recursion enters: it uses the same character classes (from the
// same C library calls), skips the same byte-order marks in UTF-8, lets a multi-byte lead
// byte take its following bytes as the parser does, and knows which markup hides a '<'.
// Where the parser gives up on a malformed document the scan stops too; where the two
// might differ the scan errs towards counting more.
class BoundsScan {
public:
    BoundsScan(const char* text, std::size_t size, bool utf8)
        : p_(text), end_(text + Length(text, size)), utf8_(utf8) {}

    // False when the document passes a bound.
    bool Run();
    int maxDepth = 0;
    int maxAttributes = 0;

private:
    struct Open {
        const char* name;
        std::size_t length;
    };
    enum class Step { kGoOn, kStop, kRefuse };

    static std::size_t Length(const char* text, std::size_t size) {
        const void* zero = std::memchr(text, 0, size);
        return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : size;
    }
    bool AtEnd() const { return p_ >= end_; }
    bool Starts(const char* tag, bool ignoreCase = false) const {
        const char* q = p_;
        for (; *tag; ++tag, ++q) {
            if (q >= end_) return false;
            const int a = static_cast<unsigned char>(*q), b = static_cast<unsigned char>(*tag);
            if (ignoreCase ? Lower(a) != Lower(b) : a != b) return false;
        }
        return true;
    }
    int Lower(int c) const { return utf8_ && c >= 128 ? c : std::tolower(c); }
    static bool IsSpace(unsigned char c) { return std::isspace(c) || c == '\n' || c == '\r'; }
    static bool IsAlpha(unsigned char c) { return c < 127 ? std::isalpha(c) != 0 : true; }
    static bool IsAlnum(unsigned char c) { return c < 127 ? std::isalnum(c) != 0 : true; }
    unsigned char Byte(std::ptrdiff_t at = 0) const {
        return p_ + at < end_ ? static_cast<unsigned char>(p_[at]) : 0;
    }
    void SkipSpace();
    bool SkipName();
    // Moves past the next `tag`, or to the end.
    void SkipPast(const char* tag);
    // One character of text as the parser reads it (entities, multi-byte characters);
    // false where the parser fails.
    bool SkipChar();
    // Text up to `stop` (not consumed); false where the parser fails.
    bool SkipTextUntil(char stop);
    bool SkipAttribute();
    bool SkipDeclaration();
    // The node at p_ (after white space), which starts with '<'.
    Step Node();
    Step EnterElement();
    Step TagBody();

    const char* p_;
    const char* end_;
    bool utf8_;
    std::vector<Open> open_;
    int attributes_ = 0;
};

void BoundsScan::SkipSpace() {
    while (!AtEnd()) {
        if (utf8_ && Byte() == 0xEF && Byte(1) == 0xBB && Byte(2) == 0xBF) {
            p_ += 3;
        } else if (utf8_ && Byte() == 0xEF && Byte(1) == 0xBF && (Byte(2) == 0xBE || Byte(2) == 0xBF)) {
            p_ += 3;
        } else if (IsSpace(Byte())) {
            ++p_;
        } else {
            break;
        }
    }
}

bool BoundsScan::SkipName() {
    if (AtEnd() || !(IsAlpha(Byte()) || Byte() == '_')) return false;
    while (!AtEnd() && (IsAlnum(Byte()) || Byte() == '_' || Byte() == '-' || Byte() == '.' || Byte() == ':')) ++p_;
    return true;
}

void BoundsScan::SkipPast(const char* tag) {
    const std::size_t length = std::strlen(tag);
    while (!AtEnd() && !Starts(tag)) ++p_;
    if (!AtEnd()) p_ += length;
}

bool BoundsScan::SkipChar() {
    const unsigned char c = Byte();
    if (utf8_ && c >= 0xC2 && c <= 0xF4) {
        // A lead byte takes its following bytes whatever they are.
        p_ += c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (p_ > end_) p_ = end_;
        return true;
    }
    if (c != '&' || Byte(1) != '#' || Byte(2) == 0) {
        ++p_;
        return true;
    }
    // A character reference runs to the next ';'; only the digits after the last 'x'
    // (or '#') before it are checked, so it can hide any markup before those.
    const bool hex = Byte(2) == 'x';
    const char* from = p_ + (hex ? 3 : 2);
    if (hex && from >= end_) return false;
    const void* found = std::memchr(from, ';', static_cast<std::size_t>(end_ - from));
    if (!found) return false;
    const char* semicolon = static_cast<const char*>(found);
    for (const char* q = semicolon - 1; *q != (hex ? 'x' : '#'); --q) {
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(*q)) : std::isdigit(static_cast<unsigned char>(*q))))
            return false;
    }
    p_ = semicolon + 1;
    return true;
}

bool BoundsScan::SkipTextUntil(char stop) {
    while (!AtEnd() && *p_ != stop) {
        if (!SkipChar()) return false;
    }
    return !AtEnd();
}

bool BoundsScan::SkipAttribute() {
    SkipSpace();
    if (!SkipName()) return false;
    SkipSpace();
    if (AtEnd() || *p_ != '=') return false;
    ++p_;
    SkipSpace();
    if (AtEnd()) return false;
    if (*p_ == '\'' || *p_ == '"') {
        const char quote = *p_++;
        if (!SkipTextUntil(quote)) return false;
        ++p_;
        return !AtEnd();
    }
    while (!AtEnd() && !IsSpace(Byte()) && *p_ != '/' && *p_ != '>') {
        if (*p_ == '\'' || *p_ == '"') return false;
        ++p_;
    }
    return true;
}

bool BoundsScan::SkipDeclaration() {
    p_ += 5;  // "<?xml"
    while (!AtEnd()) {
        if (*p_ == '>') {
            ++p_;
            return true;
        }
        SkipSpace();
        if (Starts("version", true) || Starts("encoding", true) || Starts("standalone", true)) {
            if (!SkipAttribute()) return false;
        } else {
            while (!AtEnd() && *p_ != '>' && !IsSpace(Byte())) ++p_;
        }
    }
    return false;
}

BoundsScan::Step BoundsScan::EnterElement() {
    if (static_cast<int>(open_.size()) + 1 > maxDepth) maxDepth = static_cast<int>(open_.size()) + 1;
    if (maxDepth > kXmlMaxDepth) return Step::kRefuse;
    ++p_;  // '<'
    SkipSpace();
    const char* name = p_;
    if (!SkipName()) return Step::kStop;
    open_.push_back({name, static_cast<std::size_t>(p_ - name)});
    attributes_ = 0;
    return TagBody();
}

BoundsScan::Step BoundsScan::TagBody() {
    for (;;) {
        SkipSpace();
        if (AtEnd()) return Step::kStop;
        if (*p_ == '/') {
            ++p_;
            if (AtEnd() || *p_ != '>') return Step::kStop;
            ++p_;
            open_.pop_back();
            return Step::kGoOn;
        }
        if (*p_ == '>') {
            ++p_;
            return Step::kGoOn;  // the content follows
        }
        if (!SkipAttribute()) return Step::kStop;
        if (++attributes_ > maxAttributes) maxAttributes = attributes_;
        if (attributes_ > kXmlMaxAttributesPerElement) return Step::kRefuse;
    }
}

BoundsScan::Step BoundsScan::Node() {
    if (Starts("<?xml", true)) return SkipDeclaration() ? Step::kGoOn : Step::kStop;
    if (Starts("<!--")) {
        p_ += 4;
        SkipPast("-->");
    } else if (Starts("<![CDATA[")) {
        p_ += 9;
        SkipPast("]]>");
    } else if (!Starts("<!") && (IsAlpha(Byte(1)) || Byte(1) == '_')) {
        return EnterElement();
    } else {
        // Anything else ("<!DOCTYPE", "<?pi", "< ") runs to the first '>'.
        SkipPast(">");
    }
    return AtEnd() ? Step::kStop : Step::kGoOn;
}

bool BoundsScan::Run() {
    SkipSpace();
    while (!AtEnd()) {
        if (open_.empty()) {
            // Between top-level nodes anything but markup ends the document.
            if (*p_ != '<') return true;
        } else if (*p_ != '<') {
            // Text: the parser reads to the next '<' (condensing blanks or not, it stops
            // at the same place).
            if (!SkipTextUntil('<')) return true;
            continue;
        } else if (Starts("</")) {
            // The parser refuses an end tag of another name; counting on is the safe side.
            const Open& top = open_.back();
            p_ += 2;
            if (static_cast<std::size_t>(end_ - p_) >= top.length && std::memcmp(p_, top.name, top.length) == 0)
                p_ += top.length;
            SkipSpace();
            if (AtEnd() || *p_ != '>') return true;
            ++p_;
            open_.pop_back();
            SkipSpace();
            continue;
        }
        const Step step = Node();
        if (step == Step::kRefuse) return false;
        if (step == Step::kStop) return true;
        SkipSpace();
    }
    return true;
}

static_assert(static_cast<int>(XmlEncoding::kUnknown) == TIXML_ENCODING_UNKNOWN &&
                  static_cast<int>(XmlEncoding::kUtf8) == TIXML_ENCODING_UTF8 &&
                  static_cast<int>(XmlEncoding::kLegacy) == TIXML_ENCODING_LEGACY,
              "our encodings are the parser's, in its order");
TiXmlEncoding ToParser(XmlEncoding encoding) { return static_cast<TiXmlEncoding>(encoding); }
XmlEncoding FromParser(TiXmlEncoding encoding) { return static_cast<XmlEncoding>(encoding); }

bool StartsWithBom(const char* text, std::size_t size) {
    return size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0;
}

// The encoding the parser would settle on for `text`, decided before parsing so that the
// scan and the parser read the whole document the same way (given an encoding, the parser
// never switches on a declaration further on).
TiXmlEncoding ResolveXmlEncoding(const char* text, std::size_t size, TiXmlEncoding encoding) {
    if (encoding != TIXML_ENCODING_UNKNOWN) return encoding;
    if (StartsWithBom(text, size)) return TIXML_ENCODING_UTF8;
    // The parser would switch to UTF-8 after a declaration naming it (or no encoding).
    std::string head(text, size < 1024 ? size : 1024);
    head.resize(std::strlen(head.c_str()));
    head.append(kPadding, '\0');
    const char* p = head.c_str();
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (strncasecmp(p, "<?xml", 5) != 0) return TIXML_ENCODING_LEGACY;
    TiXmlDeclaration declaration;
    if (!declaration.Parse(p, nullptr, TIXML_ENCODING_UNKNOWN)) return TIXML_ENCODING_LEGACY;
    const char* named = declaration.Encoding();
    return !*named || strcasecmp(named, "UTF-8") == 0 || strcasecmp(named, "UTF8") == 0 ? TIXML_ENCODING_UTF8
                                                                                          : TIXML_ENCODING_LEGACY;
}

}  // namespace

std::size_t Utf8Sequence(const char* text, std::size_t size, char32_t* c) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    if (size == 0) return 0;
    const unsigned char lead = s[0];
    if (lead < 0x80) {
        *c = lead;
        return 1;
    }
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4                                  ? 4
                                                                                               : 0;
    if (length == 0 || length > size) return 0;
    char32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (s[k] & 0x3F);
    }
    static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMin[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    *c = code;
    return length;
}

bool IsValidUtf8(const char* text, std::size_t size) {
    char32_t c = 0;
    for (std::size_t i = 0; i < size;) {
        const std::size_t n = Utf8Sequence(text + i, size - i, &c);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

XmlEncoding DocumentEncoding(const char* text, std::size_t size) {
    const void* zero = std::memchr(text, 0, size);
    if (zero) size = static_cast<std::size_t>(static_cast<const char*>(zero) - text);
    const TiXmlEncoding resolved = ResolveXmlEncoding(text, size, TIXML_ENCODING_UNKNOWN);
    if (resolved == TIXML_ENCODING_UTF8) return XmlEncoding::kUtf8;
    std::size_t i = 0;
    while (i < size && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    const bool declared = size - i >= 5 && strncasecmp(text + i, "<?xml", 5) == 0;
    return declared || !IsValidUtf8(text, size) ? XmlEncoding::kLegacy : XmlEncoding::kUtf8;
}

bool XmlWithinBounds(const char* text, std::size_t size, XmlEncoding encoding, int* depthSeen,
                     int* attributesSeen) {
    BoundsScan scan(text, size, ResolveXmlEncoding(text, size, ToParser(encoding)) == TIXML_ENCODING_UTF8);
    const bool within = scan.Run();
    if (depthSeen) *depthSeen = scan.maxDepth;
    if (attributesSeen) *attributesSeen = scan.maxAttributes;
    return within;
}

bool XmlWithinBounds(const char* text, std::size_t size, int* depthSeen, int* attributesSeen) {
    return XmlWithinBounds(text, size, XmlEncoding::kUnknown, depthSeen, attributesSeen);
}

bool ParseXml(TiXmlDocument& doc, const char* text, std::size_t size, const std::wstring& what,
              XmlEncoding encoding) {
    doc.Clear();
    doc.ClearError();
    // The parser reads up to the first 0 byte (and, in UTF-8, a lead byte may step over
    // it): cut the text there.
    const void* zero = std::memchr(text, 0, size);
    if (zero) size = static_cast<std::size_t>(static_cast<const char*>(zero) - text);
    const TiXmlEncoding resolved = ResolveXmlEncoding(text, size, ToParser(encoding));
    int depth = 0, attributes = 0;
    if (!XmlWithinBounds(text, size, FromParser(resolved), &depth, &attributes)) {
        if (depth > kXmlMaxDepth) {
            DebugStream() << "xml: '" << what << "' nests elements deeper than " << kXmlMaxDepth << " levels";
        } else {
            DebugStream() << "xml: '" << what << "' has an element with more than " << kXmlMaxAttributesPerElement
                          << " attributes";
        }
        return false;
    }
    std::string copy(text, size);
    copy.append(kPadding, '\0');
    doc.Parse(copy.c_str(), nullptr, resolved);
    if (doc.Error()) {
        DebugStream() << "xml: can't read '" << what << "': " << doc.ErrorDesc() << " (line " << doc.ErrorRow()
                      << ")";
        doc.Clear();
        return false;
    }
    return true;
}

}  // namespace pf
