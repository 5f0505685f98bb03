#pragma once
// The game's screen on a device of the null driver: its GUI places and
// handles elements as on a window, and posted events reach the screen's
// windows the way the game's display hands them on.
#include <gtest/gtest.h>

#include <irrlicht.h>

#include "windows/Screen.h"

namespace windowstest {

class CScreenReceiver final : public irr::IEventReceiver {
public:
    explicit CScreenReceiver(CScreen& screen) : m_screen(screen) {}
    bool OnEvent(const irr::SEvent& event) override { return m_screen.OnEvent(event); }

private:
    CScreen& m_screen;
};

class ScreenFixture {
protected:
    ScreenFixture()
        : m_device(irr::createDevice(irr::video::EDT_NULL, irr::core::dimension2d<irr::u32>(800, 600))),
          m_screen(*m_device->getGUIEnvironment()),
          m_receiver(m_screen) {
        m_device->getLogger()->setLogLevel(irr::ELL_NONE);
        m_device->setEventReceiver(&m_receiver);
    }
    ~ScreenFixture() {
        m_device->setEventReceiver(nullptr);
        m_device->drop();
    }

    // The root's children: what the windows left in the GUI.
    size_t Elements() const { return m_device->getGUIEnvironment()->getRootGUIElement()->getChildren().size(); }

    irr::IrrlichtDevice* m_device;
    CScreen m_screen;
    CScreenReceiver m_receiver;
};

} // namespace windowstest
