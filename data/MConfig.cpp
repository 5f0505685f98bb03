#include "data/MConfig.h"

#include <fstream>
#include <string>

#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"
#include "data/Globals.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace {

const wchar_t* const kSource = L"MConfig";

// The file's attributes can be read: a file or a folder is there.
bool Exists(const std::wstring& name) { return platform::GetFileKind(name) != platform::FileKind::kMissing; }

// No bytes, or only a byte-order mark the reader takes: nothing to read,
// whose own word for that ("Buffer not ready") means nothing to a user.
bool HoldsNoText(const std::wstring& name) {
    const std::string path = platform::FileNameToUtf8(name);
    const int64_t size = platform::RegularFileSize(path);
    if (size == 0) {
        return true;
    }
    if (size != 2 && size != 3) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), size)) {
        return false;
    }
    return bytes == "\xEF\xBB\xBF" || bytes == "\xFF\xFE";
}

bool BoolOf(CMorvheldConfig& config, const wchar_t* key) { return config.FindEntry(key).GetBool(); }

} // namespace

std::wstring ChooseConfigFileName() {
    const std::wstring inData = std::wstring(kDataDir) + kConfigFile;
    if (Exists(inData)) {
        return inData;
    }
    return vek::GetSpecialFolder(platform::kFolderAppData) + kUserFolder + kConfigFile;
}

void WriteDefaultConfig(CMorvheldConfig& config) {
    config.SetFileName(kConfigFile);
    config.ResetToDefaults();
    config.Save();
}

CMorvheldConfig::CMorvheldConfig(const std::wstring& baseName) : vek::CConfig(baseName) {
    using vek::CValue;
    AddEntry(L"lang", CValue(L"en"));
    AddEntry(L"lang_script", CValue(L"pl"));
    AddEntry(L"fps_limit", CValue::FromU16(30));
    AddEntry(L"center_radius", CValue::FromU16(1));
    AddEntry(L"one_line_log", CValue::FromBool(false));
    AddEntry(L"log_colors", CValue::FromBool(true));
    AddEntry(L"log_images", CValue::FromBool(true));
    AddEntry(L"all_available_langs", CValue(L"pl|en"));
    AddEntry(L"cmd_line", CValue(L""));
    AddEntry(L"force_files", CValue::FromBool(false));
    AddEntry(L"opengl", CValue::FromBool(false));
    AddEntry(L"immersion", CValue::FromBool(false));
    AddEntry(L"fullscreen", CValue::FromBool(false));
    AddEntry(L"world", CValue(L"big.world"));
}

CMorvheldConfig::~CMorvheldConfig() = default;

void CMorvheldConfig::Load() {
    const bool fromFile = Exists(GetFileName());
    if (fromFile) {
        if (HoldsNoText(GetFileName())) {
            throw vek::CFileException(vek::CFileException::kInvalidContent, GetFileName(), L"CMorvheldConfig::Load",
                                      kSource, __LINE__, L"The file is empty.");
        }
        vek::CConfig::Load(false);
    } else {
        ResetToDefaults();
    }
    // The faults below are the file's, when there is one: it is named.
    const std::wstring where = fromFile ? L" (" + GetFileName() + L")" : L"";

    m_oneLineLog = BoolOf(*this, L"one_line_log");
    m_logColors = BoolOf(*this, L"log_colors");
    m_logImages = BoolOf(*this, L"log_images");
    m_languagesDiffer = !vek::equals(FindEntry(L"lang_script").GetString(), FindEntry(L"lang").GetString());

    m_languages = vek::Split(FindEntry(L"all_available_langs").GetString(), L'|');
    if (m_languages.empty()) {
        throw vek::CException(L"CMorvheldConfig::Load", kSource, __LINE__, L"No languages found." + where);
    }
    for (const std::wstring& language : m_languages) {
        if (language.size() != 2) {
            throw vek::CException(L"CMorvheldConfig::Load", kSource, __LINE__,
                                  L"Incorrect language identifier " + language + where);
        }
    }
}

uint32_t CMorvheldConfig::GetLangID(const std::wstring& language) const {
    for (size_t i = 0; i < m_languages.size(); ++i) {
        if (vek::equals(m_languages[i], language)) {
            return static_cast<uint32_t>(i);
        }
    }
    throw vek::CException(L"CMorvheldConfig::GetLangID", kSource, __LINE__, L"Language not defined: " + language);
}
