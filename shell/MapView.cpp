#include "shell/MapView.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "data/Tables.h"
#include "rules/Hero.h"
#include "rules/Monster.h"
#include "world/Loc.h"

namespace {

// The sheets' files; the terrain covers whole cells and needs no key.
struct TSheetFile {
    const wchar_t* name;
    bool colorKey;
};
constexpr std::array<TSheetFile, kSheetCount> kSheetFiles = {{
    {L"terrain.png", false},
    {L"objects.png", true},
    {L"items.png", true},
    {L"monsters.png", true},
    {L"heroes.png", true},
}};

// The hero's column and row in the view.
constexpr int64_t kHeroColumn = kViewColumns / 2;
constexpr int64_t kHeroRow = kViewRows / 2;

int32_t ClampAxis(int64_t start, int64_t size, int64_t viewSize) {
    return static_cast<int32_t>(std::clamp<int64_t>(start, 0, std::max<int64_t>(size - viewSize, 0)));
}

// The picture of a table's record; none beyond the table.
template <class T>
std::optional<uint16_t> Picture(const std::vector<T>& table, size_t index) {
    if (index >= table.size()) {
        return std::nullopt;
    }
    return table[index].picindex;
}

std::optional<uint16_t> TilePicture(const std::vector<TTerrainInfo>& table, uint16_t tile) {
    return tile < kNoTile ? Picture(table, tile) : std::nullopt;
}

std::optional<uint16_t> ObjectPicture(const std::vector<TObjectInfo>& table, uint16_t tile) {
    return tile < kNoTile ? Picture(table, tile) : std::nullopt;
}

// The last item dropped that has a picture: corpses and unknown kinds have none.
std::optional<uint16_t> PilePicture(const std::vector<TItemInfo>& table, const std::vector<CItem>& pile) {
    for (auto item = pile.rbegin(); item != pile.rend(); ++item) {
        if (std::optional<uint16_t> picture = Picture(table, item->type)) {
            return picture;
        }
    }
    return std::nullopt;
}

// The creature whose own cell this is; a large one's other cells show none.
std::optional<uint16_t> CreaturePicture(const CLoc& loc, const std::vector<TMonsterInfo>& table, uint16_t x,
                                        uint16_t y) {
    const uint16_t id = loc.GetCreatureIds().At(x, y);
    if (id == kNoCreature || id == kHeroCell || id >= loc.GetCreatures().size()) {
        return std::nullopt;
    }
    const CMonster* creature = loc.GetCreatures()[id];
    if (creature == nullptr || !creature->IsAlive() || creature->x != x || creature->y != y) {
        return std::nullopt;
    }
    return Picture(table, creature->monsterType);
}

} // namespace

void LoadMapSprites(TMapSprites& sprites) {
    ReleaseMapSprites(sprites);
    try {
        for (size_t sheet = 0; sheet < kSheetCount; ++sheet) {
            TSprite& sprite = sprites.sheets[sheet];
            sprite.frameWidth = kCellPixels;
            sprite.frameHeight = kCellPixels;
            LoadTexture(sprite.texture, kSheetFiles[sheet].name, kSheetFiles[sheet].colorKey);
        }
    } catch (...) {
        ReleaseMapSprites(sprites);
        throw;
    }
}

void ReleaseMapSprites(TMapSprites& sprites) {
    for (TSprite& sprite : sprites.sheets) {
        ReleaseTexture(sprite.texture);
    }
}

vek::TPoint ViewOrigin(vek::TPoint hero, int32_t width, int32_t height) {
    return {ClampAxis(int64_t{hero.x} - kHeroColumn, width, kViewColumns),
            ClampAxis(int64_t{hero.y} - kHeroRow, height, kViewRows)};
}

vek::TPoint ClampViewOrigin(vek::TPoint origin, int32_t width, int32_t height) {
    return {ClampAxis(origin.x, width, kViewColumns), ClampAxis(origin.y, height, kViewRows)};
}

std::vector<TSpriteDraw> ComposeMapView(const CLoc& loc, const CHero* hero, const CDefinitionTables& tables,
                                        vek::TPoint origin) {
    std::vector<TSpriteDraw> draws;
    const int64_t left = std::max<int64_t>(origin.x, 0);
    const int64_t top = std::max<int64_t>(origin.y, 0);
    const int64_t right = std::min<int64_t>(int64_t{origin.x} + kViewColumns, loc.GetWidth());
    const int64_t bottom = std::min<int64_t>(int64_t{origin.y} + kViewRows, loc.GetHeight());
    const auto add = [&](uint8_t sheet, std::optional<uint16_t> frame, int64_t x, int64_t y) {
        if (frame) {
            draws.push_back({sheet, *frame, static_cast<int32_t>((x - origin.x) * kCellPixels),
                             static_cast<int32_t>((y - origin.y) * kCellPixels)});
        }
    };
    // One pass per layer over the explored cells: a sheet's frames follow
    // each other, and every layer lies over the one before.
    const auto pass = [&](auto&& picture) {
        for (int64_t y = top; y < bottom; ++y) {
            for (int64_t x = left; x < right; ++x) {
                const auto cellX = static_cast<uint16_t>(x);
                const auto cellY = static_cast<uint16_t>(y);
                if (loc.GetExplored().At(cellX, cellY) != 0) {
                    picture(cellX, cellY);
                }
            }
        }
    };
    pass([&](uint16_t x, uint16_t y) {
        add(kSheetTerrain, TilePicture(tables.terrain, loc.GetTerrain().At(x, y)), x, y);
    });
    pass([&](uint16_t x, uint16_t y) {
        add(kSheetObjects, ObjectPicture(tables.objects, loc.GetObjects().At(x, y)), x, y);
    });
    pass([&](uint16_t x, uint16_t y) {
        const TSpecialObject& special = loc.GetSpecialObjects().At(x, y);
        if (special.active != 0) {
            add(kSheetObjects, Picture(tables.objects, special.appearance), x, y);
        }
    });
    pass([&](uint16_t x, uint16_t y) {
        add(kSheetItems, PilePicture(tables.items, loc.GetItemPiles().At(x, y)), x, y);
    });
    pass([&](uint16_t x, uint16_t y) { add(kSheetMonsters, CreaturePicture(loc, tables.monsters, x, y), x, y); });
    // The hero shows wherever he stands: the view is his.
    if (hero != nullptr && hero->x >= static_cast<uint64_t>(left) && hero->x < static_cast<uint64_t>(right) &&
        hero->y >= static_cast<uint64_t>(top) && hero->y < static_cast<uint64_t>(bottom)) {
        std::optional<uint16_t> picture;
        if (hero->heroInfo < tables.heroes.size()) {
            picture = tables.heroes[hero->heroInfo].pic;
        }
        add(kSheetHeroes, picture, hero->x, hero->y);
    }
    return draws;
}

void DrawMapView(const std::vector<TSpriteDraw>& draws, const TMapSprites& sprites) {
    const irr::core::rect<irr::s32> clip = RectFromXYWH(0, 0, kViewColumns * kCellPixels, kViewRows * kCellPixels);
    for (const TSpriteDraw& draw : draws) {
        TSprite sprite = sprites.sheets[draw.sheet];
        SelectSpriteFrame(sprite, draw.frame);
        DrawSprite(sprite, draw.x, draw.y, &clip);
    }
}

void CMapView::Center(const CLoc* loc, const CHero* hero) {
    if (loc == nullptr || hero == nullptr) {
        m_origin = {};
        return;
    }
    constexpr uint32_t kLargest = std::numeric_limits<int32_t>::max();
    m_origin = ViewOrigin(
        {static_cast<int32_t>(std::min(hero->x, kLargest)), static_cast<int32_t>(std::min(hero->y, kLargest))},
        loc->GetWidth(), loc->GetHeight());
}

vek::TPoint CMapView::GetOrigin(const CLoc* loc) const {
    return loc != nullptr ? ClampViewOrigin(m_origin, loc->GetWidth(), loc->GetHeight()) : m_origin;
}

void CMapView::Draw(const CLoc* loc, const CHero* hero, const CDefinitionTables& tables,
                    const TMapSprites& sprites) const {
    if (loc != nullptr) {
        DrawMapView(ComposeMapView(*loc, hero, tables, GetOrigin(loc)), sprites);
    }
}
