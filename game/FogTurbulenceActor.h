// Fog over a fixed grid of 13 x 11 cells of 40 pixels: the marked cells get edge, corner
// or inner tiles from the actor's own 5 x 3 tile image so the fogged area has a closed
// border, and every frame each vertex is displaced by a sine and a cosine of its position
// and the time, so the fog billows while staying closed.
#pragma once

#include <vector>

#include "scene/Actor.h"

class FogTurbulenceActor : public Actor {
public:
    static constexpr int kColumns = 13;
    static constexpr int kRows = 11;
    static constexpr int kCell = 40;

    struct Tile {
        bool visible = false;
        int column = 0;  // in the tile image
        int row = 0;
    };

    // Marks a cell fogged; cells outside the grid are ignored. Takes effect at Init.
    void AddCel(int column, int row);
    // Stores the displacement and picks the tiles of the fogged cells; with the tile image
    // set (the actor's animation), appends their quads.
    void Init(float amplitude, float scale, float speed);

    const Tile& GetTile(int column, int row) const { return tiles_[Index(column, row)]; }
    const std::vector<pf::DisplayVertex>& GetBaseVertices() const { return baseVertices_; }

    void Draw(const RenderState& in) override;

private:
    static int Index(int column, int row) { return column * kRows + row; }
    // 1 for a fogged cell inside the grid, 0 elsewhere.
    int Fogged(int column, int row) const;
    Tile ChooseTile(int column, int row) const;

    std::vector<pf::DisplayVertex> baseVertices_;
    std::vector<pf::DisplayVertex> frameVertices_;
    int fogged_[kColumns * kRows] = {};
    Tile tiles_[kColumns * kRows];
    float amplitude_ = 40.0f;
    float scale_ = 3.0f;
    float speed_ = 5.0f;
};
