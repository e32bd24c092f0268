#include "shell/BmFont.h"

#include <cstdlib>
#include <cstring>

#include "shell/FontCacheFiles.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace pf {

namespace {

// A cursor over the file's bytes that never reads past the end.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Remaining() const { return size_ - pos_; }
    size_t Position() const { return pos_; }
    bool Has(size_t n) const { return Remaining() >= n; }
    const uint8_t* Here() const { return data_ + pos_; }
    void Skip(size_t n) { pos_ += n; }
    uint8_t U8(size_t at) const { return data_[pos_ + at]; }
    uint16_t U16(size_t at) const { return uint16_t(data_[pos_ + at] | data_[pos_ + at + 1] << 8); }
    int16_t S16(size_t at) const { return static_cast<int16_t>(U16(at)); }
    uint32_t U32(size_t at) const { return uint32_t(U16(at)) | uint32_t(U16(at + 2)) << 16; }

    // A block header (type byte, uint32 size): true when the whole block lies in the data;
    // the cursor is then at the block's content.
    bool Block(uint32_t& blockSize) {
        if (!Has(5)) return false;
        blockSize = U32(1);
        Skip(5);
        return Has(blockSize);
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace

BmFont::BmFont(const FontBase& desc) : Font(desc) {}

void BmFont::MeasureText(Point& out, const std::wstring& text, int spacing) const {
    out = MeasureWithCharMap(bmCharMap_, text, spacing, size, true);
}

const CharDesc* BmFont::GetCharDesc(wchar_t ch) const {
    auto it = bmCharMap_.find(static_cast<uint32_t>(ch));
    return it == bmCharMap_.end() ? nullptr : &it->second;
}

bool BmFont::Parse(const uint8_t* data, size_t dataSize, const std::wstring& what, std::string& firstPage) {
    firstPage.clear();
    bmCharMap_.clear();
    auto fail = [&what](const char* why) {
        DebugStream() << "BmFont - '" << what << "': " << why;
        return false;
    };
    ByteReader in(data, data ? dataSize : 0);
    // Another kind of description (the XML form) is not an error here.
    if (!in.Has(4) || in.U8(0) != 'B' || in.U8(1) != 'M' || in.U8(2) != 'F') return false;
    if (in.U8(3) < 3) return fail("BMF version below 3");
    in.Skip(4);

    uint32_t blockSize = 0;
    if (!in.Block(blockSize) || blockSize < 2) return fail("the info block is cut short");
    const int fontSize = in.S16(0);
    in.Skip(blockSize);

    if (!in.Block(blockSize) || blockSize < 15) return fail("the common block is cut short");
    BmCommon common;
    common.lineHeight = in.U16(0), common.base = in.U16(2), common.scaleW = in.U16(4);
    common.scaleH = in.U16(6), common.pages = in.U16(8), common.bitField = in.U8(10);
    common.alphaChnl = in.U8(11), common.redChnl = in.U8(12), common.greenChnl = in.U8(13);
    common.blueChnl = in.U8(14);
    in.Skip(blockSize);

    if (!in.Block(blockSize)) return fail("the pages block is cut short");
    {
        const char* names = reinterpret_cast<const char*>(in.Here());
        size_t at = 0;
        for (unsigned i = 0; i < common.pages; ++i) {
            const void* end = at < blockSize ? std::memchr(names + at, 0, blockSize - at) : nullptr;
            if (!end) return fail("a page name runs past its block");
            const size_t length = static_cast<const char*>(end) - (names + at);
            if (i == 0) firstPage.assign(names + at, length);
            at += length + 1;
        }
        in.Skip(blockSize);
    }

    if (!in.Block(blockSize)) return fail("the chars block is cut short");
    for (size_t i = 0; i + 20 <= blockSize; i += 20) {
        CharDesc desc;
        desc.x = in.U16(i + 4), desc.y = in.U16(i + 6), desc.width = in.U16(i + 8), desc.height = in.U16(i + 10);
        desc.xoffset = in.S16(i + 12), desc.yoffset = in.S16(i + 14), desc.xadvance = in.S16(i + 16);
        bmCharMap_[in.U32(i)] = desc;
    }
    in.Skip(blockSize);

    if (in.Remaining() > 0) {
        if (!in.Block(blockSize)) return fail("the kerning block is cut short");
        for (size_t i = 0; i + 10 <= blockSize; i += 10) {
            // The amount moves the second character of the pair; it is kept in that
            // character's entry under the first, so drawing adds it as it stands.
            auto it = bmCharMap_.find(in.U32(i + 4));
            if (it != bmCharMap_.end()) it->second.kerning[in.U32(i)] = in.S16(i + 8);
        }
    }
    common_ = common;
    // A font that gives no size measures lines by its line height.
    size = fontSize != 0 ? std::abs(fontSize) : int(common.lineHeight);
    return true;
}

bool BmFont::Load(ImageLoader* loader, FileSystem* fs, Display* display) {
    loaded_ = false;
    if (!loader || !fs || !display) return false;
    const std::wstring path = DescriptionFileName();
    int fileSize = 0;
    FileBuffer bytes;
    if (!fs->GetResourceFileSize(path, fileSize) || fileSize == 0 || !fs->ReadResourceFile(bytes, path))
        return false;  // no BMF font of that id: the caller tries a glyph cache
    std::string firstPage;
    if (!Parse(bytes.data(), ContentSize(bytes), path, firstPage)) return false;
    if (!firstPage.empty() || common_.pages > 0) {
        const std::wstring pagePath = L"fonts/" + ToWString(firstPage);
        MemorySurface image;
        if (!ReadCacheImage(*fs, *loader, pagePath, false, image)) return false;
        page_ = MakeFontPageSurface(*display, image.GetView(), pagePath);
        if (!page_) return false;
    }
    loaded_ = true;
    return true;
}

}  // namespace pf
