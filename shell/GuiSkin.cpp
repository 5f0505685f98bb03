#include "shell/GuiSkin.h"

#include <irrlicht.h>

#include <cstdint>

namespace {

// The skin's fonts that the game's windows use.
constexpr irr::gui::EGUI_DEFAULT_FONT kSkinFonts[] = {irr::gui::EGDF_DEFAULT, irr::gui::EGDF_BUTTON,
                                                      irr::gui::EGDF_WINDOW, irr::gui::EGDF_TOOLTIP};

void SetSkinFont(irr::gui::IGUIEnvironment& gui, irr::gui::IGUIFont* font) {
    for (const irr::gui::EGUI_DEFAULT_FONT which : kSkinFonts) {
        gui.getSkin()->setFont(font, which);
    }
}

} // namespace

void InitializeGuiSkin(irr::gui::IGUIEnvironment& gui) {
    irr::gui::IGUISkin* skin = gui.createSkin(irr::gui::EGST_WINDOWS_METALLIC);
    gui.setSkin(skin);
    skin->drop();
}

void DressGuiSkin(irr::gui::IGUIEnvironment& gui, irr::gui::IGUIFont* font) {
    SetSkinFont(gui, font);
    irr::gui::IGUISkin& skin = *gui.getSkin();
    for (int32_t i = 0; i < irr::gui::EGDC_COUNT; ++i) {
        const auto which = static_cast<irr::gui::EGUI_DEFAULT_COLOR>(i);
        irr::video::SColor colour = skin.getColor(which);
        colour.setAlpha(255);
        skin.setColor(which, colour);
    }
}

void UndressGuiSkin(irr::gui::IGUIEnvironment& gui) { SetSkinFont(gui, gui.getBuiltInFont()); }
