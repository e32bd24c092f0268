// The engine's one way into the XML parser. Every XML text the engine reads (players,
// resources, state machines, particles, fonts) comes through here, so a hostile document
// is refused before the recursive parser sees it.
#pragma once

#include <cstddef>
#include <string>

// The parser's document: callers that parse include the parser's own header themselves.
class TiXmlDocument;

namespace pf {

// How a document's bytes are read: unknown (settled from the text, see ParseXml), UTF-8,
// or one byte per character.
enum class XmlEncoding { kUnknown, kUtf8, kLegacy };

// Bounds far beyond any real content: deeper nesting or more attributes on one element
// are refused with one log line. The parser recurses once per level and checks each new
// attribute against all earlier ones of its element, so these bounds also cap its stack
// and keep its time within a small factor of the document's size.
constexpr int kXmlMaxDepth = 256;
constexpr int kXmlMaxAttributesPerElement = 256;

// Clears doc, then parses text (size bytes; an embedded 0 byte ends the text as the
// parser sees it). Answers false, with one log line naming `what`, for a document past
// the bounds above or one the parser rejects; doc is then empty. An unknown encoding is
// settled before parsing: UTF-8 after a byte-order mark or under a declaration naming
// UTF-8 (or no encoding), otherwise legacy. The whitespace of text is condensed as
// TinyXML's process-wide setting says (condensed unless someone changes it; never change
// it while other threads parse): writers that need blanks kept write them as character
// references, which the parser keeps in either setting.
bool ParseXml(TiXmlDocument& doc, const char* text, std::size_t size, const std::wstring& what,
              XmlEncoding encoding = XmlEncoding::kUnknown);
inline bool ParseXml(TiXmlDocument& doc, const std::string& text, const std::wstring& what,
                     XmlEncoding encoding = XmlEncoding::kUnknown) {
    return ParseXml(doc, text.data(), text.size(), what, encoding);
}

// Whether `text` stays within the depth and attribute bounds (no parse, one pass, linear
// time). The scan reads the text as the parser will in the given encoding (unknown: the
// one ParseXml settles on from a byte-order mark or a leading declaration), so comments,
// CDATA, declarations, DOCTYPE and other "<!...>" or "<?...>" markup, quoted attribute
// values and character references hide exactly the '<' the parser skips. depthSeen and
// attributesSeen answer the deepest nesting and the most attributes on one element met
// before the scan stopped.
bool XmlWithinBounds(const char* text, std::size_t size, int* depthSeen = nullptr, int* attributesSeen = nullptr);
bool XmlWithinBounds(const char* text, std::size_t size, XmlEncoding encoding, int* depthSeen = nullptr,
                     int* attributesSeen = nullptr);

// The length of the well-formed UTF-8 sequence at the start of text (size bytes) with its
// code point in *c, or 0 when the first byte starts none (a stray continuation byte, an
// overlong or cut-short sequence, a surrogate, a code point past U+10FFFF).
std::size_t Utf8Sequence(const char* text, std::size_t size, char32_t* c);
bool IsValidUtf8(const char* text, std::size_t size);

// The encoding a document's text is read in: UTF-8 after a byte-order mark or under a
// declaration naming UTF-8 (or no encoding), legacy under a declaration naming another.
// A document without a declaration is UTF-8, as XML has it, when its bytes are valid
// UTF-8; otherwise legacy, so single-byte files written before read as they always did.
XmlEncoding DocumentEncoding(const char* text, std::size_t size);

}  // namespace pf
