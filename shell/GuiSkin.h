#pragma once
// The skin that the game's windows are drawn with: a skin of the engine's
// own, made at set-up, then dressed with the game's font and made opaque.
namespace irr::gui {
class IGUIEnvironment;
class IGUIFont;
} // namespace irr::gui

// A new skin of the engine's metallic kind in place of the one the GUI had.
void InitializeGuiSkin(irr::gui::IGUIEnvironment& gui);
// The font in every slot the game's windows use, and every colour opaque:
// the engine's skin lets the map show through its windows, which makes
// their text hard to read.
void DressGuiSkin(irr::gui::IGUIEnvironment& gui, irr::gui::IGUIFont* font);
// The engine's built-in font back in those slots, so that the game's font
// can go before the device.
void UndressGuiSkin(irr::gui::IGUIEnvironment& gui);
