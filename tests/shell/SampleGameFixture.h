#pragma once
// A game folder of a test's own on the sample data: the build's game data
// as loose files ("force_files"), with a script folder whose scripts the test
// may replace or remove, and a game set up in it on the null driver.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "data/GameData.h"
#include "shell/Game.h"
#include "tests/support/Files.h"

namespace samplegame {

namespace fs = std::filesystem;
using Lines = std::vector<std::wstring>;

class SampleGame : public testing::Test {
protected:
    void SetUp() override {
        m_cwd = fs::current_path();
        m_root = testsupport::MakeScratchFolder();
        const fs::path game = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game";
        const fs::path data = game / "Data";
        ASSERT_TRUE(fs::exists(data / "vale.world")) << data;
        fs::create_directories(m_root / "Data" / "Scripts" / "Brains");
        for (const fs::directory_entry& entry : fs::directory_iterator(data)) {
            const std::string name = entry.path().filename().string();
            if (name != "Scripts" && name != "game.ini") {
                fs::create_symlink(fs::canonical(entry.path()), m_root / "Data" / name);
            }
        }
        // One link per script, so that each can be replaced alone.
        for (const char* folder : {"Scripts", "Scripts/Brains"}) {
            for (const fs::directory_entry& entry : fs::directory_iterator(data / folder)) {
                if (entry.is_regular_file()) {
                    fs::create_symlink(fs::canonical(entry.path()), m_root / "Data" / folder / entry.path().filename());
                }
            }
        }
        fs::create_directory_symlink(fs::canonical(game / "Graphics"), m_root / "Graphics");
        std::string config = testsupport::ReadBytes(data / "game.ini");
        const std::string key = "force_files = 0";
        ASSERT_NE(config.find(key), std::string::npos);
        config.replace(config.find(key), key.size(), "force_files = 1");
        testsupport::WriteBytes(m_root / "Data" / "game.ini", config);
        fs::current_path(m_root);
    }
    void TearDown() override {
        m_game.reset();
        fs::current_path(m_cwd);
        fs::remove_all(m_root);
    }

    // A script of "Data/Scripts/" (a path below it) in place of the sample's.
    void WriteScript(const std::string& name, const std::string& text) {
        const fs::path path = m_root / "Data" / "Scripts" / name;
        fs::remove(path);
        testsupport::WriteBytes(path, text);
    }
    void RemoveScript(const std::string& name) { fs::remove(m_root / "Data" / "Scripts" / name); }

    // A new game object, set up without a window; its log lines are kept.
    CGame& MakeGame(bool autosave = false) {
        m_game.reset();
        m_log.clear();
        m_game = std::make_unique<CGame>();
        g_game = m_game.get();
        g_gameData = m_game.get();
        m_game->ForceNullDriver(true);
        m_game->SetAutosaveEnabled(autosave);
        m_game->SetLogSink([this](const std::wstring& line) { m_log.push_back(line); });
        m_game->SetUp();
        return *m_game;
    }

    fs::path m_cwd;
    fs::path m_root;
    std::unique_ptr<CGame> m_game;
    Lines m_log;
};

} // namespace samplegame
