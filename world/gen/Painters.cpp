#include "world/gen/Painters.h"

namespace gen {

namespace {

uint16_t Tile(int32_t value) { return static_cast<uint16_t>(value); }

template <class PaintCell>
void ForEachCell(CTileCanvas& canvas, PaintCell paint) {
    for (int32_t y = 0; y < canvas.Height(); ++y) {
        for (int32_t x = 0; x < canvas.Width(); ++x) {
            paint(x, y);
        }
    }
}

struct TTreeShape {
    int32_t columns;
    int32_t rows;
    int32_t firstTile;
};

TTreeShape TreeShape(int32_t kind) {
    if (kind == 1) {
        return {2, 3, 170};
    }
    if (kind == 2) {
        return {1, 2, 176};
    }
    return {3, 3, 179};
}

// Plants the tree with its top-left at (left, top) when every cell of it
// inside the canvas is free; cells outside are cut off.
void TryTree(CTileCanvas& canvas, const TTreeShape& shape, int32_t left, int32_t top) {
    for (int32_t row = 0; row < shape.rows; ++row) {
        for (int32_t column = 0; column < shape.columns; ++column) {
            if (canvas.Contains(left + column, top + row) && canvas.Object(left + column, top + row) != kNoTile) {
                return;
            }
        }
    }
    for (int32_t row = 0; row < shape.rows; ++row) {
        for (int32_t column = 0; column < shape.columns; ++column) {
            if (canvas.Contains(left + column, top + row)) {
                canvas.Object(left + column, top + row) = Tile(shape.firstTile + row * shape.columns + column);
            }
        }
    }
}

} // namespace

void PaintDefault(CTileCanvas& canvas) {
    ForEachCell(canvas, [&](int32_t x, int32_t y) { canvas.Terrain(x, y) = 0; });
}

void PaintDungeon(CTileCanvas& canvas) {
    ForEachCell(canvas, [&](int32_t x, int32_t y) { canvas.Terrain(x, y) = kDungeonTerrain; });
}

void PaintBurnedGrounds(CTileCanvas& canvas, CDraw& draw) {
    ForEachCell(canvas, [&](int32_t x, int32_t y) { canvas.Terrain(x, y) = Tile(15 + draw.R(3)); });
}

void PaintSea(CTileCanvas& canvas, CDraw& draw) {
    ForEachCell(canvas, [&](int32_t x, int32_t y) {
        canvas.Terrain(x, y) = Tile(21 + draw.R(3));
        canvas.Object(x, y) = Tile(53 + draw.R(3));
    });
}

void PaintWasteland(CTileCanvas& canvas, CDraw& draw, uint8_t density) {
    ForEachCell(canvas, [&](int32_t x, int32_t y) {
        canvas.Terrain(x, y) = Tile(12 + draw.R(3));
        if (draw.R(101) < density) {
            canvas.Object(x, y) = Tile(50 + draw.R(3));
        }
    });
}

void PaintDesert(CTileCanvas& canvas, CDraw& draw) {
    ForEachCell(canvas, [&](int32_t x, int32_t y) {
        canvas.Terrain(x, y) = Tile(18 + draw.R(3));
        // Every test draws; a later hit paints over an earlier one.
        if (draw.R(101) < 4) {
            canvas.Object(x, y) = 42;
        }
        if (draw.R(101) < 4) {
            canvas.Object(x, y) = Tile(draw.R(3));
        }
        if (draw.R(101) < 6) {
            canvas.Object(x, y) = 41;
        }
        if (draw.R(101) < 10) {
            canvas.Object(x, y) = Tile(37 + draw.Rs(4));
        }
    });
}

void PaintMeadow(CTileCanvas& canvas, CDraw& draw) {
    const int32_t grassKind = draw.R(3);
    const int32_t grassShare = draw.R(20) + 20;
    ForEachCell(canvas, [&](int32_t x, int32_t y) {
        canvas.Terrain(x, y) = Tile(draw.R(3));
        int32_t grass = grassKind == 0 ? 43 : 50;
        if (grassKind == 2) {
            grass = draw.R(3) == 2 ? 43 : 50;
        }
        const int32_t c = draw.R(101);
        uint16_t& object = canvas.Object(x, y);
        if (c <= grassShare) {
            object = Tile(grass + draw.R(3));
        } else if (draw.R(501) <= 1) {
            object = Tile(121 + draw.Rs(4));
        } else if (draw.R(301) <= 1) {
            object = Tile(70 + draw.R(3));
        } else if (draw.R(301) <= 1) {
            object = Tile(73 + draw.R(3));
        } else if (draw.R(501) <= 1) {
            object = 178;
        } else if (draw.R(501) <= 1) {
            object = 190;
        }
    });
}

void PaintForest(CTileCanvas& canvas, CDraw& draw) {
    ForEachCell(canvas, [&](int32_t x, int32_t y) {
        canvas.Terrain(x, y) = Tile(6 + draw.R(3));
        if (draw.R(101) > 75) {
            return;
        }
        const TTreeShape shape = TreeShape(draw.R(5) + 1);
        // Trees rooted beyond the top and left edges show only their lower or
        // right part; both offsets are drawn on every cell.
        int32_t offset = draw.Rs(2) + 1;
        if (y == 0 && draw.Rs(4) <= 2) {
            TryTree(canvas, shape, x, -offset);
        }
        offset = draw.Rs(2) + 1;
        if (x == 0) {
            TryTree(canvas, shape, -offset, y);
        }
        TryTree(canvas, shape, x, y);

        auto free = [&](int32_t cx) { return canvas.Object(cx, y) == kNoTile; };
        if (free(x) && draw.R(11) <= 1) {
            canvas.Object(x, y) = 178;
        }
        if (free(x) && draw.R(9) <= 1) {
            canvas.Object(x, y) = Tile(190 + draw.Rs(2));
        }
        if (free(x) && draw.Rs(8) <= 1) {
            canvas.Object(x, y) = 192;
        }
        if (free(x) && x + 1 < canvas.Width() && free(x + 1) && draw.R(3) <= 1) {
            canvas.Object(x, y) = 188;
            canvas.Object(x + 1, y) = 189;
        }
        if (free(x) && draw.R(6) <= 2) {
            canvas.items.push_back({{x, y}, Tile(137 + draw.R(3))});
        }
    });
}

} // namespace gen
