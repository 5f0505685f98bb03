#pragma once
// A game (LocFixture.h) that runs in the game folder of the build, where the
// sample data stands as loose files and in the data archive.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <filesystem>

#include "data/DataArchive.h"
#include "tests/world/LocFixture.h"

namespace worldtest {

class GameFolder : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        m_cwd = std::filesystem::current_path();
        std::filesystem::current_path(MORVHELD_GAME_DIR);
    }
    void TearDown() override {
        DataArchive().Reset();
        SetArchiveInUse(false);
        if (m_device != nullptr) {
            m_device->drop();
        }
        std::filesystem::current_path(m_cwd);
        GameFixture::TearDown();
    }

    // From here on game data comes from the archive "Morvheld.dat".
    void UseArchive() {
        m_device = irr::createDevice(irr::video::EDT_NULL);
        ASSERT_NE(m_device, nullptr);
        m_device->getLogger()->setLogLevel(irr::ELL_NONE);
        DataArchive().SetDevice(m_device);
        SetArchiveInUse(true);
        DataArchive().Init(L"Morvheld.dat");
        ASSERT_TRUE(DataArchive().IsReady());
    }

    std::filesystem::path m_cwd;
    irr::IrrlichtDevice* m_device = nullptr;
};

} // namespace worldtest
