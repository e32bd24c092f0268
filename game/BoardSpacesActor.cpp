#include "game/BoardSpacesActor.h"

#include <algorithm>

#include "shell/ImageKernels.h"
#include "shell/foundation/Log.h"

namespace {

uint32_t CellColour(float factor, uint8_t opacity) {
    const auto alpha = static_cast<uint8_t>(factor * float(opacity));
    return uint32_t(alpha) << 24 | 0xFFFFFFu;
}

}  // namespace

BoardSpacesActor::~BoardSpacesActor() = default;

void BoardSpacesActor::SetBackAnim(ResAnim* anim, unsigned columns, unsigned rows) {
    if (anim && (columns == 0 || rows == 0 || uint64_t(columns) * rows > kMaxCells)) {
        pf::DebugStream() << L"Error: BoardSpacesActor::SetBackAnim: a grid of " << columns << L" x " << rows
                          << L" cells is refused";
        return;
    }
    SetResAnim(anim);
    if (!anim) return;
    columns_ = columns;
    rows_ = rows;
    cellWidth_ = int(unsigned(anim->GetWidth()) / columns);
    cellHeight_ = int(unsigned(anim->GetHeight()) / rows);
    cells_.resize(size_t(columns) * rows);
}

void BoardSpacesActor::SetPlatesAnim(ResAnim* first, ResAnim* second) {
    firstPlates_ = first;
    secondPlates_ = second;
}

BoardCell* BoardSpacesActor::CellAt(unsigned column, unsigned row) {
    if (column >= columns_ || row >= rows_) return nullptr;
    const size_t index = size_t(column) + size_t(row) * columns_;
    return index < cells_.size() ? &cells_[index] : nullptr;
}

const BoardCell* BoardSpacesActor::GetBoardCell(unsigned column, unsigned row) const {
    return const_cast<BoardSpacesActor*>(this)->CellAt(column, row);
}

void BoardSpacesActor::SetSpaceOpacity(unsigned column, unsigned row, uint8_t value) {
    if (BoardCell* c = CellAt(column, row)) c->opacity = value;
}

void BoardSpacesActor::SetPlate(unsigned column, unsigned row, uint8_t value) {
    if (BoardCell* c = CellAt(column, row)) c->plate = value;
}

void BoardSpacesActor::SetCel(unsigned column, unsigned row, uint8_t value) {
    if (BoardCell* c = CellAt(column, row)) c->cel = value;
}

float BoardSpacesActor::AlphaFactor(const RenderState& out) const {
    const auto base = static_cast<uint8_t>(GetColor().a * GetAlpha() * out.alpha / 65025);
    return float(base) / 255.0f;
}

void BoardSpacesActor::Draw(const RenderState& in) {
    RenderState out;
    if (!PrepareDraw(in, out)) return;
    const float factor = AlphaFactor(out);
    // Cells are walked row by row; the grid never outgrows the cell list, but a drawing
    // must not depend on that.
    const size_t count = std::min(cells_.size(), size_t(columns_) * rows_);
    auto forEachCell = [&](auto f) {
        for (size_t i = 0; i < count; ++i) {
            const int column = int(i % columns_), row = int(i / columns_);
            f(cells_[i], pf::Rect(column * cellWidth_, row * cellHeight_, cellWidth_, cellHeight_));
        }
    };

    my_intrusive_ptr<pf::Surface> back = GetSurface();
    if (GetDrawActor() && back && out.display) {
        vertices_.clear();
        const float tw = float(back->GetWidth()), th = float(back->GetHeight());
        forEachCell([&](const BoardCell& cell, const pf::Rect& r) {
            const uint32_t colour = CellColour(factor, cell.opacity);
            if (colour >> 24) pf::AddTexturedQuad(vertices_, tw, th, r, r, colour);
        });
        if (!vertices_.empty())
            out.display->DrawTriangles(vertices_.data(), int(vertices_.size()), int(vertices_.size() / 3), back.get());
    }
    auto plates = [&](ResAnim* strip, uint8_t kind) {
        my_intrusive_ptr<pf::Surface> texture = strip ? strip->GetSurface() : nullptr;
        if (!texture || !out.display) return;
        vertices_.clear();
        const float tw = float(texture->GetWidth()), th = float(texture->GetHeight());
        forEachCell([&](const BoardCell& cell, const pf::Rect& r) {
            if (cell.plate != kind) return;
            const pf::Rect source(cell.cel * cellWidth_, 0, cellWidth_, cellHeight_);
            pf::AddTexturedQuad(vertices_, tw, th, source, r, CellColour(factor, cell.opacity));
        });
        if (!vertices_.empty())
            out.display->DrawTriangles(vertices_.data(), int(vertices_.size()), int(vertices_.size() / 3),
                                       texture.get());
    };
    plates(firstPlates_.get(), 1);
    plates(secondPlates_.get(), 2);
    Item::DrawChildren(out);
    CompleteDraw(in, out);
}
