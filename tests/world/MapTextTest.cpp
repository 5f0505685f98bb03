#include <gtest/gtest.h>

#include <string>

#include "platform/Utf8.h"
#include "rules/Monster.h"
#include "tests/world/LocFixture.h"
#include "world/Loc.h"
#include "world/MapText.h"

namespace {

class MapText : public worldtest::GameFixture {};

const wchar_t* const kSmall =
    L"# a comment\n"
    L"name \"Small \\\"yard\\\"\"\n"
    L"size 3 2\r\n"
    L"terrain 2\n"
    L"flags 64\n"
    L"explored 255\n"
    L"key . 0\n"
    L"key # 1 0\n"
    L"  key T 0 1\n"
    L"\n"
    L"map\n"
    L".#T\n"
    L"T..\n"
    L"end\n"
    L"text 0 0 1 \"Hello\"\n"
    L"passage 1 1 3 \"cave.map|up|down\" 4 5\n"
    L"passage 2 1 3 \"a|b\"\n"
    L"door 2 0 2 3 none\n"
    L"trap 0 1 2 7\n"
    L"item 0 0 1 2\n"
    L"item 0 0 2 100\n"
    L"monster 2 1 0\n"
    L"npc 1 1 0 \"Ada\" \"ada.u\"\n"
    L"effect 1 40\n"
    L"rule 0 0 -1 2\n";

TEST_F(MapText, BuildsTheLocation) {
    CLoc loc;
    ReadMapText(loc, kSmall, L"small.txt", L"small.map");
    EXPECT_EQ(loc.GetOwnName(), L"Small \"yard\"");
    EXPECT_EQ(loc.GetFileName(), L"small.map");
    EXPECT_EQ(loc.GetWidth(), 3);
    EXPECT_EQ(loc.GetHeight(), 2);
    EXPECT_EQ(loc.GetTerrainType(), 2);
    EXPECT_EQ(loc.GetFlags(), 64 | kLocLayoutPresent);
    EXPECT_EQ(loc.GetTerrain().At(1, 0), 1);
    EXPECT_EQ(loc.GetObjects().At(1, 0), 0);
    EXPECT_EQ(loc.GetObjects().At(0, 0), kNoTile);
    EXPECT_EQ(loc.GetObjects().At(0, 1), 1);
    EXPECT_EQ(loc.GetExplored().At(2, 1), 255);
    EXPECT_EQ(loc.GetSpecialObjects().At(0, 0).kind, kSpecialText);
    EXPECT_EQ(loc.GetSpecialObjects().At(1, 1).value, 0x00050004u);
    EXPECT_EQ(loc.GetSpecialObjects().At(2, 1).value, 0xFFFFFFFFu);
    EXPECT_EQ(loc.GetSpecialObjects().At(2, 0).kind, kSpecialDoor);
    EXPECT_EQ(loc.GetSpecialObjects().At(2, 0).value, 0x0003FFFEu);
    EXPECT_EQ(loc.GetSpecialObjects().At(0, 1).value, 0x0005FFFEu);
    ASSERT_EQ(loc.GetItemPiles().At(0, 0).size(), 2u);
    EXPECT_EQ(loc.GetItemPiles().At(0, 0)[1].count, 100u);
    EXPECT_EQ(loc.GetItemPiles().At(0, 0)[0].durability, 50); // a whole sword
    ASSERT_EQ(loc.GetCreatures().size(), 2u);
    EXPECT_EQ(loc.GetCreatureIds().At(2, 1), 0);
    // The NPC: a rat's body, at home in the file being made.
    const CNpc* ada = loc.GetNpcAt(1, 1);
    ASSERT_NE(ada, nullptr);
    EXPECT_EQ(ada->localId, 1);
    EXPECT_EQ(ada->monsterType, 0);
    EXPECT_EQ(ada->hitPoints, 5);
    EXPECT_EQ(ada->name, L"Ada");
    EXPECT_EQ(ada->scriptFile, L"ada.u");
    EXPECT_EQ(ada->homeLocation, L"small.map");
    EXPECT_EQ(m_game.GetNpcList(), (std::vector<CNpc*>{const_cast<CNpc*>(ada)}));
    EXPECT_EQ(loc.GetEffects(), (std::vector<TLocEffect>{{1, 40}}));
    EXPECT_EQ(loc.GetRules(), (std::vector<TLocRule>{{0, 0, -1, 2}}));
}

TEST_F(MapText, MistakesNameTheLine) {
    const std::wstring head = L"name \"x\"\nsize 2 1\nkey . 0\n";
    const std::wstring map = L"map\n..\nend\n";
    const struct {
        std::wstring text;
        const wchar_t* message;
    } cases[] = {
        {head, L"line 4: the text has no map"},
        {L"size 2\n", L"line 1: 'size' takes 2 values"},
        {L"size 0 1\n", L"line 1: 0 is not between 1 and 65535"},
        {L"size 65536 1\n", L"line 1: 65536 is not between 1 and 65535"},
        {L"size 99999999999 1\n", L"line 1: a number was expected, not '99999999999'"},
        {L"size 4294967296 1\n", L"line 1: 4294967296 is not between 1 and 65535"},
        {L"size x 1\n", L"line 1: a number was expected, not 'x'"},
        {L"name x\n", L"line 1: a text in quotation marks was expected, not 'x'"},
        {L"name \"x\n", L"line 1: a text in quotation marks does not end"},
        {L"map\n", L"line 1: 'size' must come before the map"},
        {L"wall 1\n", L"line 1: unknown statement 'wall'"},
        {L"key ab 0\n", L"line 1: a key is one character, not 'ab'"},
        {L"key a 0\nkey a 1\n", L"line 2: the key 'a' is given twice"},
        {head + L"map\n..\n", L"line 6: 'end' must follow the last row of the map"},
        {head + L"map\n...\nend\n", L"line 5: a row of the map has 3 characters, not 2"},
        {head + L"map\n.x\nend\n", L"line 5: no key says what 'x' stands for"},
        {L"size 2 2\nkey . 0\nmap\n..", L"line 5: the map ends after 1 of 2 rows"},
        {head + map + L"size 3 3\n", L"line 7: 'size' must come before the map"},
        {head + L"text 0 0 1 \"x\"\n", L"line 4: 'text' must follow the map"},
        {head + map + L"text 2 0 1 \"x\"\n", L"line 7: (2, 0) lies outside the map"},
        {head + map + L"text 0 1 1 \"x\"\n", L"line 7: (0, 1) lies outside the map"},
        {head + map + L"text -1 0 1 \"x\"\n", L"line 7: -1 is not between 0 and 65535"},
        {head + map + L"passage 0 0 1 \"x\" 4\n", L"line 7: a target cell takes two values"},
        {head + map + L"item 0 0 3 1\n", L"line 7: the item table has no type 3"},
        {head + map + L"item 0 0 1 0\n", L"line 7: 0 is not between 1 and 4294967295"},
        {head + map + L"monster 0 0 2\n", L"line 7: the monster table has no type 2"},
        {head + map + L"monster 0 0 0\nmonster 0 0 1\n", L"line 8: a creature stands at (0, 0) already"},
        {head + map + L"rule 0 0 0 2147483648\n", L"line 7: 2147483648 is not between -2147483648 and 2147483647"},
        {head + map + L"effect 1\n", L"line 7: 'effect' takes 2 values"},
        {head + map + L"npc 0 0 0 \"Ada\"\n", L"line 7: 'npc' takes 5 values"},
        {head + map + L"npc 0 0 0 Ada \"ada.u\"\n", L"line 7: a text in quotation marks was expected, not 'Ada'"},
        {head + map + L"npc 0 0 0 \"\" \"ada.u\"\n", L"line 7: an NPC needs a name"},
        {head + map + L"npc 0 0 2 \"Ada\" \"\"\n", L"line 7: the monster table has no type 2"},
        {head + map + L"monster 1 0 0\nnpc 1 0 0 \"Ada\" \"\"\n", L"line 8: a creature stands at (1, 0) already"},
        {head + L"npc 0 0 0 \"Ada\" \"\"\n", L"line 4: 'npc' must follow the map"},
        {head + map + L"trap 0 0\n", L"line 7: 'trap' takes 3 to 4 values"},
    };
    for (const auto& c : cases) {
        CLoc loc;
        try {
            ReadMapText(loc, c.text, L"Maps/bad.txt");
            ADD_FAILURE() << platform::ToUtf8(c.text) << ": no exception";
        } catch (const vek::CFileException& e) {
            EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent);
            EXPECT_EQ(e.GetFileName(), L"Maps/bad.txt");
            EXPECT_NE(e.GetText().find(std::wstring(L"Details: ") + c.message + L"\r\n"), std::wstring::npos)
                << platform::ToUtf8(e.GetText());
        }
    }
}

TEST_F(MapText, RulesStopAt255) {
    std::wstring text = L"size 1 1\nkey . 0\nmap\n.\nend\n";
    for (int i = 0; i < 256; ++i) {
        text += L"rule 0 0 0 0\n";
    }
    CLoc loc;
    try {
        ReadMapText(loc, text, L"r.txt");
        ADD_FAILURE() << "no exception";
    } catch (const vek::CFileException& e) {
        EXPECT_NE(e.GetText().find(L"line 261: a location holds at most 255 rules"), std::wstring::npos);
    }
}

} // namespace
