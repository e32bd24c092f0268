// The game board's spaces in one actor: a grid of equal cells, each showing its piece of
// the background picture with its own opacity and optionally a plate from one of two
// plate strips on top. All background cells are drawn in one call, all plates of one
// strip in one more.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/Actor.h"
#include "scene/ResAnim.h"

struct BoardCell {
    uint8_t opacity = 0;   // 0 (not drawn) .. 255, times the actor's alpha
    uint8_t reserved = 0;
    uint8_t plate = 0;     // 1: first strip, 2: second strip, else none
    uint8_t cel = 0;       // column of the plate strip
};

class BoardSpacesActor : public Actor {
public:
    // More cells than any board has; a larger grid is refused.
    static constexpr uint64_t kMaxCells = 1u << 20;

    BoardSpacesActor() = default;
    ~BoardSpacesActor() override;

    // Shows the background anim and cuts its first cel into columns x rows cells; cell
    // values stay by flat index. A null anim clears the picture and keeps the grid; an
    // empty or oversized grid is refused with a log line.
    void SetBackAnim(ResAnim* anim, unsigned columns, unsigned rows);
    // Either may be null (no plates of that kind).
    void SetPlatesAnim(ResAnim* first, ResAnim* second);
    // The cell setters ignore cells outside the grid.
    void SetSpaceOpacity(unsigned column, unsigned row, uint8_t value);
    void SetPlate(unsigned column, unsigned row, uint8_t value);
    void SetCel(unsigned column, unsigned row, uint8_t value);
    using Actor::SetCel;

    unsigned GetColumns() const { return columns_; }
    unsigned GetRows() const { return rows_; }
    int GetCellWidth() const { return cellWidth_; }
    int GetCellHeight() const { return cellHeight_; }
    // Null outside the grid.
    const BoardCell* GetBoardCell(unsigned column, unsigned row) const;

    void Draw(const RenderState& in) override;

private:
    BoardCell* CellAt(unsigned column, unsigned row);
    // The cells' alpha factor: the actor's colour alpha and alpha times the outgoing alpha.
    float AlphaFactor(const RenderState& out) const;

    unsigned columns_ = 0;
    unsigned rows_ = 0;
    int cellWidth_ = 0;
    int cellHeight_ = 0;
    std::vector<BoardCell> cells_;
    std::vector<pf::DisplayVertex> vertices_;  // rebuilt for every draw call, capacity kept
    my_intrusive_ptr<ResAnim> firstPlates_;
    my_intrusive_ptr<ResAnim> secondPlates_;
};
