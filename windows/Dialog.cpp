#include "windows/Dialog.h"

#include "data/GameData.h"
#include "script/Script.h"

std::wstring SelectTextVariant(const std::wstring& text, uint32_t index) {
    size_t start = 0;
    for (uint32_t i = 0; i < index; ++i) {
        const size_t bar = text.find(L'|', start);
        if (bar == std::wstring::npos) {
            // Fewer variants than languages: the first stands for the rest.
            return text.substr(0, text.find(L'|'));
        }
        start = bar + 1;
    }
    const size_t end = text.find(L'|', start);
    return text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

void CDialog::ShowNode(const TDialogNode& node) {
    uint32_t language = 0;
    if (g_gameData) {
        CMorvheldConfig& config = g_gameData->GetConfig();
        language = config.GetLangID(config.FindEntry(L"lang").GetString());
        m_endLabel = g_gameData->GetStrings().Get(L"STR_DLG_BTN_END");
    }
    m_text = SelectTextVariant(node.text, language);
    if (m_buttons.size() < node.options.size()) {
        m_buttons.resize(node.options.size());
    }
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const bool used = i < node.options.size();
        m_buttons[i].visible = used;
        m_buttons[i].label = used ? SelectTextVariant(node.options[i].text, language) : std::wstring();
    }
    m_answer = -1;
}

void CDialog::Choose(int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < m_buttons.size() && m_buttons[index].visible) {
        m_answer = index;
    }
}

void CDialog::RunScript(CScript& script) {
    struct TOpen {
        bool& open;
        explicit TOpen(bool& flag) : open(flag) { open = true; }
        ~TOpen() { open = false; }
    } opened(m_open);
    script.ExecuteScript(kScriptTypeConversation);
}
