#include "shell/CommandLine.h"

#include "VEKLib/Files.h"
#include "VEKLib/Strings.h"

namespace {

// The game's other options and file kinds, which later parts of it carry out.
constexpr const wchar_t* kLaterOptions[] = {
    L"-editor", L"-nocreate", L"-qc", L"-makefile", L"-validate",     L"-ddd",
    L"-exec",   L"-compile",  L"-ki", L"-makeexe",  L"-intermediate", L"-pause",
};
constexpr const wchar_t* kLaterFileKinds[] = {L"map", L"sav"};

// The extension of a file argument (a name with something before its last
// dot); empty for anything else.
std::wstring FileKind(const std::wstring& arg) {
    const std::wstring name = vek::GetTextAfterLast(arg);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) {
        return std::wstring();
    }
    return name.substr(dot + 1);
}

bool IsLater(const std::wstring& arg) {
    for (const wchar_t* option : kLaterOptions) {
        if (arg == option) {
            return true;
        }
    }
    const std::wstring kind = FileKind(arg);
    for (const wchar_t* later : kLaterFileKinds) {
        if (!kind.empty() && vek::equals(kind, later)) {
            return true;
        }
    }
    return false;
}

} // namespace

TCommandLine ReadCommandLine(const std::vector<std::wstring>& args) {
    TCommandLine line;
    ReadArguments(line, args);
    return line;
}

void ReadArguments(TCommandLine& line, const std::vector<std::wstring>& args) {
    for (const std::wstring& arg : args) {
        if (arg == L"-test") {
            line.selfTest = true;
        } else if (arg == L"-writecfg") {
            line.writeConfig = true;
        } else if (arg == L"-new") {
            line.newGame = true;
        } else if (arg == L"-noautosave") {
            line.noAutosave = true;
        } else if (arg == L"@lp") {
            line.moreArguments = true;
        } else if (vek::equals(FileKind(arg), L"u")) {
            line.scripts.push_back(arg);
        } else if (IsLater(arg)) {
            line.ignored.push_back(L"Not supported yet, ignored: " + arg);
        } else {
            line.ignored.push_back(L"Unknown option, ignored: " + arg);
        }
    }
}

std::vector<std::wstring> SplitMoreArguments(const std::wstring& setting) {
    std::vector<std::wstring> pieces;
    std::wstring piece;
    for (const wchar_t c : setting) {
        if (c == L' ' || c == L'\t') {
            if (!piece.empty()) {
                pieces.push_back(std::move(piece));
                piece.clear();
            }
        } else {
            piece += c;
        }
    }
    if (!piece.empty()) {
        pieces.push_back(std::move(piece));
    }
    return pieces;
}
