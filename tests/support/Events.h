#pragma once
// Input as the player gives it, posted through the engine's event path: the
// device's receiver first, then the GUI.
#include <irrlicht.h>

namespace testsupport {

// A key going down (pressed) or coming up (let go).
inline void PostKeyEvent(irr::IrrlichtDevice& device, irr::EKEY_CODE key, bool down) {
    irr::SEvent event{};
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    event.KeyInput.Key = key;
    event.KeyInput.PressedDown = down;
    device.postEventFromUser(event);
}

// A key pressed and let go.
inline void PostKey(irr::IrrlichtDevice& device, irr::EKEY_CODE key) {
    PostKeyEvent(device, key, true);
    PostKeyEvent(device, key, false);
}

// The mouse moved onto the middle of the element, then a left click there.
inline void PostClick(irr::IrrlichtDevice& device, const irr::gui::IGUIElement& element) {
    const irr::core::position2d<irr::s32> at = element.getAbsolutePosition().getCenter();
    irr::SEvent event{};
    event.EventType = irr::EET_MOUSE_INPUT_EVENT;
    event.MouseInput.X = at.X;
    event.MouseInput.Y = at.Y;
    for (const irr::EMOUSE_INPUT_EVENT what :
         {irr::EMIE_MOUSE_MOVED, irr::EMIE_LMOUSE_PRESSED_DOWN, irr::EMIE_LMOUSE_LEFT_UP}) {
        event.MouseInput.Event = what;
        event.MouseInput.ButtonStates = what == irr::EMIE_LMOUSE_PRESSED_DOWN ? irr::EMBSM_LEFT : 0;
        device.postEventFromUser(event);
    }
}

} // namespace testsupport
