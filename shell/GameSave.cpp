// Saving the running game and loading a saved one in its place.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Serializable.h"
#include "data/Globals.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "rules/Monster.h"
#include "shell/Game.h"
#include "shell/SaveGame.h"
#include "shell/ScriptGlobals.h"
#include "shell/ShellObjects.h"
#include "world/Loc.h"

namespace {

const wchar_t* const kSource = L"GameSave";

// The whole file from the disk (saved games are never in the archive). One
// larger than any save is refused before a byte of it is read.
std::vector<uint8_t> ReadDiskFile(const std::wstring& fileName) {
    vek::CFile file(false, 0);
    file.Open(fileName, vek::CFile::kModeRead);
    if (!FitsSaveFileSize(file.GetLength())) {
        throw vek::CFileException(vek::CFileException::kInvalidContent, fileName, L"CGame::Load", kSource, __LINE__,
                                  vek::Format(L"invalid format: %u bytes or more, larger than any saved game (at "
                                              L"most %u bytes)",
                                              file.GetLength(), kMaxSaveFileSize));
    }
    std::vector<uint8_t> bytes(file.GetLength());
    const uint32_t read = file.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
    file.Close();
    if (read != bytes.size()) {
        throw vek::CFileException(
            vek::CFileException::kOther, fileName, L"CGame::Load", kSource, __LINE__,
            vek::Format(L"only %u of %u bytes could be read", read, static_cast<uint32_t>(bytes.size())));
    }
    return bytes;
}

// The folder of a file about to be written, when it is not there yet.
void MakeFolderFor(const std::wstring& fileName) {
    const std::wstring folder = vek::GetFilePath(fileName);
    if (folder.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(platform::ToUtf8(folder), error);
    // A folder that cannot be made shows as the file that cannot be written.
}

} // namespace

void CGame::RenumberNpcs() {
    std::vector<CNpc*> ordered;
    CWorld& world = *m_ownWorld;
    for (uint16_t y = 0; y < world.height; ++y) {
        for (uint16_t x = 0; x < world.width; ++x) {
            const TWorldLocInfo& cell = world.grid.At(x, y);
            if (!cell.HoldsSavedLocation()) {
                continue;
            }
            cell.loc->ConvertMonsterIds();
            for (CMonster* creature : cell.loc->GetCreatures()) {
                if (creature != nullptr && creature->GetKind() == CGroupMember::kKindNpc) {
                    ordered.push_back(static_cast<CNpc*>(creature));
                }
            }
        }
    }
    // The NPCs of locations that are not saved keep their places after them.
    for (CNpc* npc : m_npcs) {
        if (npc != nullptr && std::find(ordered.begin(), ordered.end(), npc) == ordered.end()) {
            ordered.push_back(npc);
        }
    }
    for (size_t i = 0; i < ordered.size(); ++i) {
        ordered[i]->npcIndex = static_cast<uint32_t>(i);
    }
    m_npcs.swap(ordered);
}

void CGame::Save(const std::wstring& fileName) {
    if (!HasGame()) {
        throw vek::CException(L"CGame::Save", kSource, __LINE__, L"There is no game to save.");
    }
    RenumberNpcs();
    TSaveParts parts;
    parts.clock = m_clock;
    parts.globals = &Globals().GetDeclarations().GetParseResults();
    parts.hero = m_ownHero.get();
    parts.groups = &g_groupList.Get();
    parts.quests = &m_questLog;
    parts.record.level = m_currentLevel;
    parts.record.levelCount = m_levelCount;
    parts.record.chosenItemSet = m_chosenItemSet;
    parts.record.characterCreated = m_characterCreated;
    uint16_t x = 0;
    uint16_t y = 0;
    if (!m_ownWorld->FindCell(GetCurrentLoc()->GetWorldCell(), x, y)) {
        throw vek::CException(L"CGame::Save", kSource, __LINE__, L"The current location lies on no world cell.");
    }
    const vek::TPoint first = m_ownWorld->FindLocStart(x, y);
    parts.record.currentX = static_cast<uint16_t>(first.x);
    parts.record.currentY = static_cast<uint16_t>(first.y);
    parts.world = m_ownWorld.get();
    uint32_t objects = 0;
    const std::vector<uint8_t> bytes = WriteSavedGame(parts, &objects);
    MakeFolderFor(fileName);
    RemoveLeftSaves(fileName);
    const int folderSync = vek::ReplaceFile(fileName, bytes.data(), bytes.size());
    Log(vek::Format(L"Game saved to %s: serialized %u of %u objects, %u bytes total.", fileName, objects,
                    vek::GetLiveObjectCount(), static_cast<uint32_t>(bytes.size())));
    if (folderSync != 0) {
        ShowImportantMessage(vek::Format(L"The game was saved to %s, but its folder could not be synced to the disk "
                                         L"(%s): should the power fail soon, the save may be lost.",
                                         fileName, platform::FromUtf8(platform::SystemErrorText(folderSync))),
                             false);
    }
}

platform::CFolderLock::Result CGame::LockSaveFolder() {
    return m_saveFolderLock.Take(platform::FileNameToUtf8(kSaveDir));
}

bool CGame::AutosaveIsThere() const {
    // Anything else than a regular file is there to be refused and kept aside.
    const platform::FileKind kind = platform::GetFileKind(kAutosaveFile);
    return kind != platform::FileKind::kMissing &&
           (kind != platform::FileKind::kRegular || vek::GetFileSize(kAutosaveFile) > 0);
}

void CGame::RemoveLeftSaves(const std::wstring& fileName) {
    // Another copy of the game in this folder may be writing them.
    if (!m_saveFolderLock.IsHeld()) {
        return;
    }
    if (const size_t removed = vek::RemoveLeftReplacements(fileName)) {
        Log(vek::Format(L"Removed %u temporary files that interrupted saves of %s left behind.",
                        static_cast<uint32_t>(removed), fileName));
    }
}

void CGame::Load(const std::wstring& fileName) {
    TSavedGame saved;
    ReadSavedGame(ReadDiskFile(fileName), fileName, saved);
    Install(saved);
    // The player's first line of a continued game; the log has it too.
    AddMessage(vek::Format(m_strings.Get(L"STR_GAME_LOADED"), fileName));
}

void CGame::Install(TSavedGame& saved) {
    Clear();
    // The declarations are read afresh; the saved values stand in them.
    Globals().LoadDeclarations(std::wstring(kScriptDir) + kGlobalScript, false);
    Globals().GetDeclarations().SetDeclaredVariables(saved.globals.Variables());
    m_chosenItemSet = saved.record.chosenItemSet;
    m_characterCreated = saved.record.characterCreated;
    BindGameVariables();

    m_ownWorld = std::move(saved.world);
    SetWorld(m_ownWorld.get());
    m_strings.SetPlaceNames(std::move(saved.placeNames));
    m_npcs = std::move(saved.npcs);
    m_ownHero = std::move(saved.hero);
    SetHero(m_ownHero.get());
    for (std::unique_ptr<CGroup>& group : saved.groups) {
        g_groupList.Get().push_back(group.release());
    }
    m_questLog = std::move(saved.quests);
    m_clock = saved.clock;
    m_currentLevel = saved.record.level;
    m_levelCount = saved.record.levelCount;
    SetCurrentLoc(saved.current);
    SetCurrentLocExitTime(saved.current->GetExitTime());
    // The hero is no creature of the location: his cell is marked anew.
    if (saved.current->IsInside(static_cast<int32_t>(m_hero->x), static_cast<int32_t>(m_hero->y))) {
        saved.current->GetCreatureIds().At(static_cast<uint16_t>(m_hero->x), static_cast<uint16_t>(m_hero->y)) =
            kHeroCell;
    }
    SetState(kStateGame);
    CenterView();
}
