#include "shell/platform/FreeTypeFace.h"

#include <sys/stat.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

namespace pf {

struct FreeTypeFace::Handles {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Handles() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

FreeTypeFace::FreeTypeFace() = default;
FreeTypeFace::~FreeTypeFace() = default;

void FreeTypeFace::Close() {
    ft_.reset();
    glyph_ = FaceGlyph();
}

bool FreeTypeFace::Open(const std::string& osPath) {
    Close();
    // FreeType reads the path as a stream: only a regular file is handed to it (a pipe
    // under the name would stall the caller until something writes into it).
    struct stat st;
    if (::stat(osPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    auto ft = std::make_unique<Handles>();
    if (FT_Init_FreeType(&ft->library) != 0 || FT_New_Face(ft->library, osPath.c_str(), 0, &ft->face) != 0)
        return false;
    ft_ = std::move(ft);
    return true;
}

bool FreeTypeFace::IsOpen() const { return bool(ft_); }

bool FreeTypeFace::SetPixelHeight(int pixels) {
    return ft_ && pixels >= 0 && FT_Set_Pixel_Sizes(ft_->face, 0, FT_UInt(pixels)) == 0;
}

bool FreeTypeFace::SetCellHeight(int pixels) {
    if (!ft_) return false;
    FT_Size_RequestRec request = {};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;
    request.height = FT_Long(pixels) * 64;
    return FT_Request_Size(ft_->face, &request) == 0;
}

long FreeTypeFace::Ascender26_6() const { return ft_ && ft_->face->size ? long(ft_->face->size->metrics.ascender) : 0; }

bool FreeTypeFace::IsBold() const { return ft_ && (ft_->face->style_flags & FT_STYLE_FLAG_BOLD); }

bool FreeTypeFace::IsItalic() const { return ft_ && (ft_->face->style_flags & FT_STYLE_FLAG_ITALIC); }

bool FreeTypeFace::ScaledUnderline(long& position26_6, long& thickness26_6) const {
    if (!ft_ || !ft_->face->size) return false;
    const FT_Face face = ft_->face;
    if (!FT_IS_SCALABLE(face) || face->underline_thickness <= 0) return false;
    const FT_Fixed scale = face->size->metrics.y_scale;
    position26_6 = long(FT_MulFix(face->underline_position, scale));
    thickness26_6 = long(FT_MulFix(face->underline_thickness, scale));
    return true;
}

bool FreeTypeFace::RenderChar(uint32_t ch) {
    glyph_ = FaceGlyph();
    return ft_ && FT_Load_Char(ft_->face, FT_ULong(ch), FT_LOAD_RENDER) == 0 && CaptureGlyph();
}

bool FreeTypeFace::RenderOutline(uint32_t ch, bool oblique, bool embolden) {
    glyph_ = FaceGlyph();
    if (!ft_ || FT_Load_Char(ft_->face, FT_ULong(ch), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
    if (oblique) FT_GlyphSlot_Oblique(ft_->face->glyph);
    if (embolden) FT_GlyphSlot_Embolden(ft_->face->glyph);
    return FT_Render_Glyph(ft_->face->glyph, FT_RENDER_MODE_NORMAL) == 0 && CaptureGlyph();
}

bool FreeTypeFace::CaptureGlyph() {
    const FT_GlyphSlot slot = ft_->face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph_.buffer = bitmap.buffer;
    glyph_.width = int(bitmap.width);
    glyph_.rows = int(bitmap.rows);
    glyph_.pitch = bitmap.pitch;
    glyph_.gray = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY;
    glyph_.left = slot->bitmap_left;
    glyph_.top = slot->bitmap_top;
    glyph_.advance26_6 = long(slot->advance.x);
    return true;
}

}  // namespace pf
