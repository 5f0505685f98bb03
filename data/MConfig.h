#pragma once
// The game's configuration: the keys of "game.ini" with their kinds and
// defaults, the list of languages the data is available in, and a few values
// kept at hand for fast reading.
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Config.h"

// Name of the configuration file, in the data folder or in the user's folder.
inline constexpr wchar_t kConfigFile[] = L"game.ini";
// The game's folder inside the user's application-data folder.
inline constexpr wchar_t kUserFolder[] = L"Morvheld/";

// "Data/game.ini" when that file exists, else the user's application-data
// folder + "Morvheld/game.ini". A user without a home folder gets the bare
// "Morvheld/game.ini" under the working directory.
std::wstring ChooseConfigFileName();

class CMorvheldConfig;
// The configuration writer: every key at its default, saved as "game.ini" in
// the working directory (the table's file name becomes that). File errors are
// CFileException.
void WriteDefaultConfig(CMorvheldConfig& config);

class CMorvheldConfig : public vek::CConfig {
public:
    // Declares the fourteen keys; their current values stay empty until Load
    // (or ResetToDefaults).
    explicit CMorvheldConfig(const std::wstring& baseName = L"config");
    ~CMorvheldConfig() override;

    using vek::CConfig::Load;
    // Reads the file when it exists (else takes the defaults and creates
    // nothing), refreshes the cached flags and the language list, and checks
    // the list: CException "No languages found." for an empty one,
    // "Incorrect language identifier " + piece for a piece that is not two
    // characters long.
    virtual void Load();

    // Position of the language in the list (case ignored); CException
    // "Language not defined: " + language when it is not there.
    uint32_t GetLangID(const std::wstring& language) const;

    bool IsOneLineLog() const { return m_oneLineLog; }
    bool HasLogColors() const { return m_logColors; }
    bool HasLogImages() const { return m_logImages; }
    // "lang" and "lang_script" differ (case ignored).
    bool LanguagesDiffer() const { return m_languagesDiffer; }
    const std::vector<std::wstring>& GetLanguages() const { return m_languages; }

private:
    bool m_oneLineLog = false;
    bool m_logColors = false;
    bool m_logImages = false;
    bool m_languagesDiffer = false;
    std::vector<std::wstring> m_languages;
};
