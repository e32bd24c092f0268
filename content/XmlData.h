// Typed reading of XML data: one element of a parsed document (or a private deep copy of
// an element of another tree), attributes by name and element text by slash-separated
// path. XmlMutableData adds a movable current element and editing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "shell/foundation/Base.h"
#include "shell/foundation/ValueTypes.h"

namespace pf {
class FileSystem;
}

class XmlData : public Base {
public:
    XmlData();
    ~XmlData() override;
    XmlData(const XmlData&) = delete;
    XmlData& operator=(const XmlData&) = delete;

    // Attribute getters: out = default first; see each for the result.
    virtual bool GetString(const std::wstring& name, std::wstring& out, const std::wstring& def);
    virtual bool GetRect(const std::wstring& name, pf::Rect& out, const pf::Rect& def);
    virtual bool GetPoint(const std::wstring& name, pf::Point& out, const pf::Point& def);
    virtual bool GetInt(const std::wstring& name, int& out, int def);
    virtual bool GetDouble(const std::wstring& name, double& out, double def);
    virtual bool GetFloat(const std::wstring& name, float& out, float def);
    virtual bool GetColor(const std::wstring& name, pf::Color& out, const pf::Color& def);
    virtual bool GetBool(const std::wstring& name, bool& out, bool def);
    virtual bool GetAttributeNames(std::vector<std::wstring>& out);
    virtual std::wstring GetTagName();
    // Text getters: the text of the element at path.
    virtual bool GetTextString(const std::wstring& path, std::wstring& out, const std::wstring& def);
    virtual bool GetTextRect(const std::wstring& path, pf::Rect& out, const pf::Rect& def);
    virtual bool GetTextPoint(const std::wstring& path, pf::Point& out, const pf::Point& def);
    virtual bool GetTextInt(const std::wstring& path, int& out, int def);
    virtual bool GetTextFloat(const std::wstring& path, float& out, float def);
    virtual bool GetTextDouble(const std::wstring& path, double& out, double def);
    virtual bool GetTextColor(const std::wstring& path, pf::Color& out, const pf::Color& def);
    virtual bool GetTextBool(const std::wstring& path, bool& out, bool def);
    virtual bool SetBool(const std::wstring& name, bool value);
    virtual bool SetInt(const std::wstring& name, int value);
    virtual bool SetString(const std::wstring& name, const std::wstring& value);
    // An element of an XML file, through the resource manager's XML cache when there is
    // one; an empty path names the root element.
    virtual bool LoadFile(const std::wstring& file, const std::wstring& path);
    // The same without the cache: the file is read and parsed here.
    // (through fs, else the resource manager's or the application's file system).
    bool LoadFileDirect(const std::wstring& file, const std::wstring& path, pf::FileSystem* fs = nullptr);
    // "file" or "file:path".
    virtual bool Load(const std::wstring& spec);
    virtual bool IsValid();
    virtual bool Parse(const std::wstring& text, const std::wstring& path);
    virtual bool ParseNarrow(const std::string& text, const std::wstring& path);
    // New objects owned by the caller (null on a miss).
    virtual XmlData* FirstChild(const std::wstring& path);
    virtual XmlData* NextChild();
    virtual XmlData* GetElement(const std::wstring& path);
    virtual std::wstring ToXmlString();

    // Document text to wide and back: UTF-8 in a UTF-8 document, one byte per character in
    // a document declared in another encoding.
    std::wstring Widen(const std::string& text) const;
    std::string Narrowed(const std::wstring& text) const;
    void SetFileName(const std::wstring& name) { fileName_ = name; }
    const std::wstring& GetFileName() const { return fileName_; }

protected:
    // The parsed document, its current element and the child cursor (parser types, so
    // defined where the parser is used).
    struct Tree;
    const std::unique_ptr<Tree> tree_;

private:
    // Text of the element at path; false on a miss.
    bool ElementText(const std::wstring& path, std::wstring& text);

    std::wstring fileName_;
    bool utf8_ = true;  // how the document's text reads (see Widen)
};

class XmlMutableData : public XmlData {
public:
    virtual bool RemoveCurrent();
    virtual bool GoFirstChild();
    virtual bool GoNextSibling();
    virtual bool GoParent();
    // With no current element a "root" element is made first; the new element becomes current.
    virtual void AddChild(const std::wstring& name);
    virtual void RemoveAttribute(const std::wstring& name);
};

// Where XmlData turns for what lies outside its own text: whole documents by file name (the
// resource manager's cache, so each file is read once), the file system files come from, and
// the text of "#key" string keys. The global resource manager is the source while it is set;
// without one, files come from the application's file system and string keys from the
// game's text.
class XmlDocumentSource {
public:
    virtual ~XmlDocumentSource() = default;
    virtual XmlData* GetXmlData(const std::wstring& file) = 0;
    virtual pf::FileSystem* GetFileSystem() = 0;
    virtual std::wstring GetString(const std::wstring& key) = 0;
};
void SetXmlDocumentSource(XmlDocumentSource* source);
// A string-table key through the source, else the game's text, else "".
std::wstring LookupStringKey(const std::wstring& key);
