#include "world/MapText.h"

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "rules/Monster.h"
#include "world/Loc.h"

namespace {

const wchar_t* const kSource = L"MapText";
const wchar_t* const kFunction = L"ReadMapText";

struct TToken {
    std::wstring text;
    bool quoted = false;
};

// What a map character stands for.
struct TCellKey {
    uint16_t terrain = 0;
    uint16_t object = kNoTile;
};

class CMapTextReader {
public:
    CMapTextReader(CLoc& loc, const std::wstring& sourceName, const std::wstring& fileName)
        : m_loc(loc), m_sourceName(sourceName), m_fileName(fileName) {}

    void Read(const std::wstring& text) {
        SplitLines(text);
        for (m_line = 0; m_line < m_lines.size(); ++m_line) {
            m_tokens = Tokens(m_lines[m_line]);
            if (!m_tokens.empty()) {
                Statement();
            }
        }
        if (!m_mapRead) {
            m_line = m_lines.size() - 1;
            Fail(L"the text has no map");
        }
    }

private:
    [[noreturn]] void Fail(const std::wstring& message, int32_t line = __builtin_LINE()) const {
        throw vek::CFileException(vek::CFileException::kInvalidContent, m_sourceName, kFunction, kSource, line,
                                  vek::Format(L"line %u: ", static_cast<uint32_t>(m_line + 1)) + message);
    }

    void SplitLines(const std::wstring& text) {
        std::wstring line;
        for (const wchar_t c : text) {
            if (c == L'\n') {
                m_lines.push_back(line);
                line.clear();
            } else if (c != L'\r') {
                line += c;
            }
        }
        m_lines.push_back(line);
    }

    // Words and quoted texts ("\"" and "\\" inside); a line whose first
    // character that is not blank is '#' is a comment.
    std::vector<TToken> Tokens(const std::wstring& line) const {
        std::vector<TToken> tokens;
        size_t i = 0;
        auto blank = [&](size_t at) { return line[at] == L' ' || line[at] == L'\t'; };
        while (i < line.size()) {
            if (blank(i)) {
                ++i;
            } else if (line[i] == L'#' && tokens.empty()) {
                break;
            } else if (line[i] == L'"') {
                TToken token{L"", true};
                for (++i;; ++i) {
                    if (i >= line.size()) {
                        Fail(L"a text in quotation marks does not end");
                    }
                    if (line[i] == L'"') {
                        ++i;
                        break;
                    }
                    if (line[i] == L'\\' && i + 1 < line.size()) {
                        ++i;
                    }
                    token.text += line[i];
                }
                tokens.push_back(token);
            } else {
                TToken token;
                while (i < line.size() && !blank(i)) {
                    token.text += line[i++];
                }
                tokens.push_back(token);
            }
        }
        return tokens;
    }

    void ExpectArguments(size_t least, size_t most) const {
        const size_t count = m_tokens.size() - 1;
        if (count < least || count > most) {
            Fail(least == most ? vek::Format(L"'%s' takes %u values", m_tokens[0].text, static_cast<uint32_t>(least))
                               : vek::Format(L"'%s' takes %u to %u values", m_tokens[0].text,
                                             static_cast<uint32_t>(least), static_cast<uint32_t>(most)));
        }
    }

    // A decimal number (a minus sign only where negative values are allowed) within limits.
    int64_t Number(size_t index, int64_t least, int64_t most) const {
        const TToken& token = m_tokens.at(index);
        const std::wstring& text = token.text;
        const size_t digitsFrom = !text.empty() && text[0] == L'-' ? 1 : 0;
        bool digits = !token.quoted && text.size() > digitsFrom && text.size() - digitsFrom <= 10;
        for (size_t i = digitsFrom; digits && i < text.size(); ++i) {
            digits = text[i] >= L'0' && text[i] <= L'9';
        }
        if (!digits) {
            Fail(L"a number was expected, not '" + text + L"'");
        }
        // Ten digits can exceed 32 bits, where the conversion saturates:
        // those values are out of every range here anyway.
        const uint32_t magnitude = vek::WcsToUL(text.c_str() + digitsFrom, nullptr, 10);
        const int64_t value = digitsFrom != 0 ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        const bool saturated =
            magnitude == std::numeric_limits<uint32_t>::max() && text.substr(digitsFrom) != L"4294967295";
        if (saturated || value < least || value > most) {
            Fail(vek::Format(L"%s is not between %I64d and %I64d", text, least, most));
        }
        return value;
    }
    uint16_t U16(size_t index) const { return static_cast<uint16_t>(Number(index, 0, 0xFFFF)); }
    uint32_t U32(size_t index) const { return static_cast<uint32_t>(Number(index, 0, 0xFFFFFFFF)); }
    int32_t I32(size_t index) const {
        return static_cast<int32_t>(
            Number(index, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    }
    std::wstring Text(size_t index) const {
        if (!m_tokens.at(index).quoted) {
            Fail(L"a text in quotation marks was expected, not '" + m_tokens[index].text + L"'");
        }
        return m_tokens[index].text;
    }

    // A cell of the map: tokens index and index + 1.
    std::pair<uint16_t, uint16_t> Cell(size_t index) const {
        if (!m_mapRead) {
            Fail(L"'" + m_tokens[0].text + L"' must follow the map");
        }
        const uint16_t x = U16(index);
        const uint16_t y = U16(index + 1);
        if (!m_loc.IsInside(x, y)) {
            Fail(vek::Format(L"(%u, %u) lies outside the map", static_cast<uint32_t>(x), static_cast<uint32_t>(y)));
        }
        return {x, y};
    }

    void BeforeMap() const {
        if (m_mapRead) {
            Fail(L"'" + m_tokens[0].text + L"' must come before the map");
        }
    }

    void Statement() {
        const std::wstring& word = m_tokens[0].text;
        if (word == L"name") {
            ExpectArguments(1, 1);
            BeforeMap();
            m_name = Text(1);
        } else if (word == L"size") {
            ExpectArguments(2, 2);
            BeforeMap();
            m_width = static_cast<uint16_t>(Number(1, 1, 0xFFFF));
            m_height = static_cast<uint16_t>(Number(2, 1, 0xFFFF));
        } else if (word == L"terrain") {
            ExpectArguments(1, 1);
            BeforeMap();
            m_terrainType = U16(1);
        } else if (word == L"flags") {
            ExpectArguments(1, 1);
            BeforeMap();
            m_flags = U16(1);
        } else if (word == L"explored") {
            ExpectArguments(1, 1);
            BeforeMap();
            m_explored = static_cast<uint8_t>(Number(1, 0, 255));
        } else if (word == L"key") {
            Key();
        } else if (word == L"map") {
            Map();
        } else if (word == L"text") {
            ExpectArguments(4, 4);
            const auto [x, y] = Cell(1);
            m_loc.CreateTextObject(x, y, U16(3), Text(4));
        } else if (word == L"passage") {
            Passage();
        } else if (word == L"door") {
            ExpectArguments(5, 5);
            const auto [x, y] = Cell(1);
            const uint16_t key = m_tokens[5].text == L"none" ? kNoTile : U16(5);
            m_loc.SetSpecialObject(x, y, kSpecialDoor, U16(3), (static_cast<uint32_t>(U16(4)) << 16) | key, L"");
        } else if (word == L"trap") {
            ExpectArguments(3, 4);
            const auto [x, y] = Cell(1);
            const bool withRecord = m_tokens.size() == 5;
            m_loc.CreateTrapObject(x, y, U16(3), withRecord, withRecord ? U32(4) : 0);
        } else if (word == L"param") {
            ExpectArguments(6, 6);
            const auto [x, y] = Cell(1);
            m_loc.CreateSpecialObject(U32(3), x, y, U16(4), U16(5), U16(6));
        } else if (word == L"special") {
            ExpectArguments(5, 6);
            const auto [x, y] = Cell(1);
            m_loc.SetSpecialObject(x, y, U16(3), U16(4), U32(5), m_tokens.size() == 7 ? Text(6) : L"");
        } else if (word == L"item") {
            Item();
        } else if (word == L"monster") {
            Monster();
        } else if (word == L"npc") {
            Npc();
        } else if (word == L"effect") {
            ExpectArguments(2, 2);
            m_loc.GetEffects().emplace_back(U32(1), U32(2));
        } else if (word == L"rule") {
            ExpectArguments(4, 4);
            if (m_loc.GetRules().size() >= CLoc::kMaxRules) {
                Fail(L"a location holds at most 255 rules");
            }
            m_loc.AddRule(TLocRule{I32(1), I32(2), I32(3), I32(4)});
        } else {
            Fail(L"unknown statement '" + word + L"'");
        }
    }

    // key C TERRAIN [OBJECT]
    void Key() {
        ExpectArguments(2, 3);
        BeforeMap();
        if (m_tokens[1].quoted || m_tokens[1].text.size() != 1) {
            Fail(L"a key is one character, not '" + m_tokens[1].text + L"'");
        }
        TCellKey key{U16(2), m_tokens.size() == 4 ? U16(3) : kNoTile};
        if (!m_keys.emplace(m_tokens[1].text[0], key).second) {
            Fail(L"the key '" + m_tokens[1].text + L"' is given twice");
        }
    }

    // map, then one line per row of one key character per cell, then end.
    void Map() {
        ExpectArguments(0, 0);
        BeforeMap();
        if (m_width == 0) {
            Fail(L"'size' must come before the map");
        }
        // A location read from its text has its layout, as one loaded from its file.
        m_loc.Init(m_name, m_width, m_height, m_terrainType, m_flags | kLocLayoutPresent);
        m_loc.GetExplored().Fill(m_explored);
        for (uint16_t y = 0; y < m_height; ++y) {
            ++m_line;
            if (m_line >= m_lines.size()) {
                Fail(vek::Format(L"the map ends after %u of %u rows", static_cast<uint32_t>(y),
                                 static_cast<uint32_t>(m_height)));
            }
            const std::wstring& row = m_lines[m_line];
            if (row.size() != m_width) {
                Fail(vek::Format(L"a row of the map has %u characters, not %u", static_cast<uint32_t>(row.size()),
                                 static_cast<uint32_t>(m_width)));
            }
            for (uint16_t x = 0; x < m_width; ++x) {
                const auto key = m_keys.find(row[x]);
                if (key == m_keys.end()) {
                    Fail(L"no key says what '" + std::wstring(1, row[x]) + L"' stands for");
                }
                m_loc.GetTerrain().At(x, y) = key->second.terrain;
                m_loc.GetObjects().At(x, y) = key->second.object;
            }
        }
        ++m_line;
        if (m_line >= m_lines.size() || Tokens(m_lines[m_line]).size() != 1 ||
            Tokens(m_lines[m_line])[0].text != L"end") {
            Fail(L"'end' must follow the last row of the map");
        }
        m_mapRead = true;
    }

    // passage X Y APPEARANCE "target|own name|arrival" [TARGET_X TARGET_Y]
    void Passage() {
        ExpectArguments(4, 6);
        if (m_tokens.size() == 6) {
            Fail(L"a target cell takes two values");
        }
        const auto [x, y] = Cell(1);
        const uint32_t target = m_tokens.size() == 7 ? (static_cast<uint32_t>(U16(6)) << 16) | U16(5) : 0xFFFFFFFF;
        m_loc.SetSpecialObject(x, y, kSpecialPassage, U16(3), target, Text(4));
    }

    // item X Y TYPE COUNT
    void Item() {
        ExpectArguments(4, 4);
        const auto [x, y] = Cell(1);
        const uint16_t type = U16(3);
        const uint32_t count = static_cast<uint32_t>(Number(4, 1, 0xFFFFFFFF));
        if (g_gameData == nullptr || type >= g_gameData->GetTables().items.size()) {
            Fail(vek::Format(L"the item table has no type %u", static_cast<uint32_t>(type)));
        }
        m_loc.GetItemPiles().At(x, y).emplace_back(type, count);
    }

    // The monster kind of token 3 and its free cell.
    uint16_t CreatureKind(uint16_t x, uint16_t y) const {
        const uint16_t type = U16(3);
        if (g_gameData == nullptr || type >= g_gameData->GetTables().monsters.size()) {
            Fail(vek::Format(L"the monster table has no type %u", static_cast<uint32_t>(type)));
        }
        if (m_loc.GetCreatureIds().At(x, y) != kNoCreature) {
            Fail(vek::Format(L"a creature stands at (%u, %u) already", static_cast<uint32_t>(x),
                             static_cast<uint32_t>(y)));
        }
        return type;
    }

    // monster X Y TYPE
    void Monster() {
        ExpectArguments(3, 3);
        const auto [x, y] = Cell(1);
        auto monster = std::make_unique<CMonster>();
        monster->InitFromType(CreatureKind(x, y), x, y);
        m_loc.AddCreature(std::move(monster));
    }

    // npc X Y TYPE "name" "script": an NPC whose body is of that monster
    // kind, at home in the location file being made.
    void Npc() {
        ExpectArguments(5, 5);
        const auto [x, y] = Cell(1);
        auto npc = std::make_unique<CNpc>();
        npc->InitFromType(CreatureKind(x, y), x, y);
        npc->name = Text(4);
        npc->scriptFile = Text(5);
        if (npc->name.empty()) {
            Fail(L"an NPC needs a name");
        }
        npc->homeLocation = m_fileName;
        m_loc.AddCreature(std::move(npc));
    }

    CLoc& m_loc;
    const std::wstring& m_sourceName;
    const std::wstring& m_fileName;
    std::vector<std::wstring> m_lines;
    size_t m_line = 0;
    std::vector<TToken> m_tokens;

    std::wstring m_name;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    uint16_t m_terrainType = 0;
    uint16_t m_flags = 0;
    uint8_t m_explored = 0;
    std::map<wchar_t, TCellKey> m_keys;
    bool m_mapRead = false;
};

} // namespace

void ReadMapText(CLoc& loc, const std::wstring& text, const std::wstring& sourceName, const std::wstring& fileName) {
    CMapTextReader(loc, sourceName, fileName).Read(text);
    loc.SetFileName(fileName);
}
