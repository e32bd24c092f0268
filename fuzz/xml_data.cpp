// XML data on arbitrary text: the first line is a path, the rest the document. Every
// getter and walk must answer without fault, and the printed element must parse again
// to an element of the same name with the same attributes.
#include <cstdint>
#include <memory>
#include <string>

#include "content/XmlData.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace {

void Query(XmlData& x, const std::wstring& path) {
    std::wstring s;
    int i = 0;
    double d = 0;
    bool b = false;
    pf::Rect r;
    pf::Point p;
    pf::Color c;
    x.GetTextString(path, s, L"");
    x.GetTextInt(path, i, 0);
    x.GetTextDouble(path, d, 0);
    x.GetTextBool(path, b, false);
    x.GetTextRect(path, r, r);
    x.GetTextColor(path, c, c);
    std::vector<std::wstring> names;
    x.GetAttributeNames(names);
    for (const std::wstring& name : names) {
        x.GetString(name, s, L"");
        x.GetInt(name, i, 0);
        x.GetDouble(name, d, 0);
        x.GetBool(name, b, false);
        x.GetPoint(name, p, p);
    }
    std::unique_ptr<XmlData> element(x.GetElement(path));
    int children = 0;
    for (std::unique_ptr<XmlData> child(x.FirstChild(path)); child && children < 64; child.reset(x.NextChild()))
        ++children;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (pf::SetLogToStderr(false), true);
    (void)quiet;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::wstring path = pf::ToWString(input.substr(0, std::min(newline, input.size())));
    const std::string text = newline == std::string::npos ? std::string() : input.substr(newline + 1);

    XmlData x;
    const bool parsed = x.ParseNarrow(text, L"");
    Query(x, path);
    if (!parsed) return 0;
    // Round trip through the printer.
    const std::wstring printed = x.ToXmlString();
    XmlData again;
    if (!again.Parse(printed, L"")) __builtin_trap();
    if (again.GetTagName() != x.GetTagName()) __builtin_trap();
    std::vector<std::wstring> a, b;
    x.GetAttributeNames(a);
    again.GetAttributeNames(b);
    if (a != b) __builtin_trap();
    // Parsing again replaces the document.
    x.ParseNarrow(text, path);
    Query(x, L"");
    XmlMutableData m;
    m.ParseNarrow(text, L"");
    for (int i = 0; i < 8 && m.GoFirstChild(); ++i) m.AddChild(L"n");
    m.RemoveCurrent();
    return 0;
}
