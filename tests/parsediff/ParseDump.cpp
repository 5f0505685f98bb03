// Parses script texts and prints, per case, a digest of everything a parse
// leaves that anyone can see: the commands, nodes and variables field by
// field and in their stored form, which texts they share, the registry, the
// parameters, the scanner's state, the error (code, script line, file,
// function) and the console's warnings; then what a run of the parsed script
// prints. scripts/parse-diff.sh builds it against two source trees and
// compares the digests, so a change of the parser can be shown to change
// nothing.
//
// Each input is parsed as it is and in many variants made from it by a
// seeded mutator (the same variants in both builds), both as a plain script
// and as a game script.
//
//   parse_dump [--variants N] [--show CASE] FILE|FOLDER...
//
// A file ending in ".cap" holds a captured text (see Capture.cpp): the file
// name's and the text's units, u32 each, the name's count first. Any other
// file is UTF-8.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Serializable.h"
#include "VEKLib/Stream.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "platform/Console.h"
#include "script/Script.h"
#include "script/ScriptBase.h"
#include "script/ScriptException.h"

// The interpreter's friend: what the parse leaves in its private members.
class CScriptTestAccess {
public:
    static std::vector<std::wstring> ParameterPool(const CScriptBase& s) {
        return std::vector<std::wstring>(s.m_parameterPool.begin(), s.m_parameterPool.end());
    }
    static int Extends(const CScriptBase& s) { return s.m_extends; }
    static uint32_t ExtendsDepth(const CScriptBase& s) { return s.m_extendsDepth; }
    static const std::vector<uint32_t>& VariablePositions(const CScriptBase& s) { return s.m_variablePositions; }
    static std::vector<std::pair<std::wstring, std::wstring>> ScriptFunctions(const CScriptBase& s) {
        std::vector<std::pair<std::wstring, std::wstring>> list(s.m_scriptFunctions.begin(), s.m_scriptFunctions.end());
        std::sort(list.begin(), list.end());
        return list;
    }
};

namespace {

class CCaptureConsole : public platform::IConsole {
public:
    std::string out;
    platform::ConsoleHandle GetStdHandle(int) override { return platform::kInvalidHandle; }
    uint16_t GetTextAttributes(platform::ConsoleHandle) override { return 7; }
    void SetTextAttributes(platform::ConsoleHandle, uint16_t) override {}
    void Write(int fd, std::string_view utf8) override {
        out += fd == 2 ? "[err]" : "";
        out += utf8;
    }
};

// Texts as printable ASCII, every other unit as its number.
std::string Show(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[16];
            std::snprintf(buffer, sizeof(buffer), "\\%x;", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out;
}

std::string Hex(std::span<const uint8_t> bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

// Bases for "extends": two fixed texts, and the script itself ("self.u").
const std::map<std::wstring, std::wstring>& BaseTexts() {
    static const std::map<std::wstring, std::wstring> texts{
        {L"base.u", L"function F(a) {\n}\nfunction G() {\n}\n"},
        {L"base",
         L"var baseValue = 1\nfunction OnEnter(a) {\nincr baseValue\nreturn 2\n}\n"
         L"function Helper() {\nprintln baseValue\n}\n"},
    };
    return texts;
}

template <class TBase>
class TDumpScript : public TBase {
public:
    void LoadBaseScript(const std::wstring& path) override {
        if (path == L"self.u") {
            this->LoadText(self, path);
            return;
        }
        const auto it = BaseTexts().find(path);
        if (it == BaseTexts().end()) {
            throw CScriptException(0, L"Dump", L"TDumpScript::LoadBaseScript", 1, *this);
        }
        this->LoadText(it->second, path);
    }
    int32_t Depth() const { return this->GetCurrentDepth(); }
    std::wstring self;
};

// Which earlier text of the list each text shares storage with (its own
// index when none).
class CSharing {
public:
    size_t Of(const CSharedText& text) {
        if (text.empty()) {
            return 0;
        }
        const auto [it, added] = m_first.emplace(text.Identity(), m_first.size() + 1);
        return it->second;
    }

private:
    std::map<const void*, size_t> m_first;
};

// A command's rare texts, as fields or through accessors, whichever the
// tree has.
template <class TCommandOf>
const CSharedText& ArgumentsOf(const TCommandOf& c) {
    if constexpr (requires { c.Arguments(); }) {
        return c.Arguments();
    } else {
        return c.arguments;
    }
}
template <class TCommandOf>
const CSharedText& TargetNameOf(const TCommandOf& c) {
    if constexpr (requires { c.TargetName(); }) {
        return c.TargetName();
    } else {
        return c.targetName;
    }
}

template <class TNodeOf>
const CSharedText& Text2Of(const TNodeOf& node) {
    if constexpr (requires { node.Text2(); }) {
        return node.Text2();
    } else {
        return node.text2;
    }
}

void DumpError(std::string& out, const CScriptException& e) {
    out += "error " + std::to_string(e.GetCode()) + " line " + std::to_string(e.GetScriptLine()) + " file " +
           Show(e.GetScriptFile()) + " in " + Show(e.GetFunction()) + " of " + Show(e.GetSourceFile()) + ": " +
           Show(e.GetMessage()) + "\n";
}

// The line that an error reports at each command and at positions across
// the text: a parsed script need not keep its text for them.
void DumpLines(std::string& out, CScriptBase& script, size_t textSize) {
    const uint32_t tokenStart = script.GetTokenStart();
    std::vector<uint32_t> positions = {0, 1, UINT32_MAX};
    for (size_t p = 0; p <= textSize + 1; p += 1 + p / 8) {
        positions.push_back(static_cast<uint32_t>(p));
    }
    for (size_t p = textSize > 2 ? textSize - 2 : 0; p <= textSize + 1; ++p) {
        positions.push_back(static_cast<uint32_t>(p));
    }
    for (const TCommand& c : script.GetParseResults().Commands()) {
        positions.push_back(c.textPosition);
    }
    out += "lines";
    for (uint32_t p : positions) {
        script.SetTokenStart(p);
        out += " " + std::to_string(script.GetLineNumber());
    }
    out += "\n";
    script.SetTokenStart(tokenStart);
}

// The scanner's text only while no parse has let it go.
void DumpState(std::string& out, const CScriptBase& script, int32_t depth) {
    out += "scanner " + std::to_string(script.GetPosition()) + " " + std::to_string(script.GetTokenStart()) + " " +
           std::to_string(script.GetLastNumber()) + " [" + Show(script.GetToken()) + "] " + Show(script.GetFileName()) +
           " loaded " + std::to_string(script.IsLoaded()) + " parsed " + std::to_string(script.IsParsed()) + " depth " +
           std::to_string(depth) + "\n";
    if (!script.IsParsed()) {
        out += "size " + std::to_string(script.GetTextSize()) + " text " + Show(script.GetText()) + "\n";
    }
    const CParseResults& results = script.GetParseResults();
    CSharing sharing;
    for (const TCommand& c : results.Commands()) {
        vek::StreamReset();
        c.Save();
        out += "command " + Hex(vek::GetStream().bytes()) + " shares " + std::to_string(sharing.Of(c.name)) + " " +
               std::to_string(sharing.Of(ArgumentsOf(c))) + " " + std::to_string(sharing.Of(TargetNameOf(c))) + "\n";
    }
    for (const TNodeList& list : results.Expressions()) {
        out += "expression\n";
        for (const TNode& node : list) {
            vek::StreamReset();
            node.Save();
            out += " node " + Hex(vek::GetStream().bytes()) + " shares " + std::to_string(sharing.Of(node.text)) + " " +
                   std::to_string(sharing.Of(Text2Of(node))) + "\n";
        }
    }
    for (const CVariable& v : results.Variables()) {
        vek::StreamReset();
        v.Save();
        out += "variable " + Hex(vek::GetStream().bytes()) + " " + std::to_string(v.GetValue()) + " " +
               std::to_string(v.GetScopeStart()) + " " + std::to_string(v.GetScopeEnd()) + "\n";
    }
    vek::StreamReset();
    for (const TSystemFunction& f : script.GetRegistry()) {
        out += "registry " + Show(std::wstring(f.name)) + " " + std::to_string(f.id) + " " +
               Show(std::wstring(f.signature)) + " " + std::to_string(f.value1) + " " + std::to_string(f.value2) + " " +
               std::to_string(f.value3) + "\n";
    }
    out += "parameters";
    for (const std::wstring& p : CScriptTestAccess::ParameterPool(script)) {
        out += " " + Show(p);
    }
    out += "\nextends " + std::to_string(CScriptTestAccess::Extends(script)) + " " +
           std::to_string(CScriptTestAccess::ExtendsDepth(script)) + "\npositions";
    for (uint32_t p : CScriptTestAccess::VariablePositions(script)) {
        out += " " + std::to_string(p);
    }
    out += "\nprescanned";
    for (const auto& [name, signature] : CScriptTestAccess::ScriptFunctions(script)) {
        out += " " + Show(name) + "=" + Show(signature);
    }
    out += "\n";
}

// A run of the parsed script, then of each user function, as the fuzzer does.
void DumpRun(std::string& out, CScriptBase& script, CStreamScriptConsole& console, std::wostringstream& output) {
    try {
        script.SetStepBudget(20000);
        script.Execute();
        out += "ran\n";
    } catch (const CScriptException& e) {
        DumpError(out, e);
    }
    std::vector<std::wstring> functions;
    for (const TSystemFunction& function : script.GetRegistry()) {
        if (function.id == TSystemFunction::kUserFunction) {
            functions.push_back(function.name);
        }
    }
    for (const std::wstring& name : functions) {
        try {
            script.ResetRuntime();
            script.SetStepBudget(20000);
            script.AddVariable(L"a", 3);
            script.ExecuteUserFunction(name, 0, std::wstring(), true, false);
            out += "called " + Show(name) + " " + std::to_string(script.GetReturnValue()) + "\n";
        } catch (const CScriptException& e) {
            DumpError(out, e);
        }
    }
    out += "output " + Show(output.str()) + "\nsystem";
    for (const std::wstring& command : console.commands) {
        out += " " + Show(command);
    }
    out += "\n";
    for (const CVariable& v : script.GetParseResults().Variables()) {
        out += "value " + Show(v.GetName()) + " " + std::to_string(v.GetValue()) + "\n";
    }
}

// Parses the text with a script of the class; after looks at a script that
// parsed.
template <class TBase, class TAfter>
std::string Dump(const std::wstring& text, const std::wstring& fileName, TAfter after) {
    std::string out;
    CCaptureConsole capture;
    vek::ConsoleOut().flush();
    platform::SetConsole(&capture);
    std::istringstream input("12 abc\n");
    std::wostringstream output;
    CStreamScriptConsole console(input, output);
    {
        TDumpScript<TBase> script;
        script.self = text;
        script.SetConsole(&console);
        script.LoadText(text, fileName);
        bool parsed = false;
        try {
            script.Parse();
            parsed = true;
            out += "parsed\n";
        } catch (const CScriptException& e) {
            DumpError(out, e);
        }
        vek::ConsoleOut().flush();
        out += "console " + capture.out + "\n";
        out += "live " + std::to_string(vek::GetLiveObjectCount()) + "\n";
        DumpState(out, script, script.Depth());
        if (script.IsParsed()) {
            DumpLines(out, script, text.size());
        }
        if (parsed) {
            after(out, script, console, output);
        }
    }
    vek::ConsoleOut().flush();
    platform::SetConsole(nullptr);
    return out;
}

std::string DumpPlain(const std::wstring& text, const std::wstring& fileName) {
    return Dump<CScriptBase>(text, fileName, DumpRun);
}

std::string DumpGame(const std::wstring& text, const std::wstring& fileName) {
    return Dump<CScript>(text, fileName, [](std::string& out, CScript& script, auto&, auto&) {
        out += "dialog " + std::to_string(script.IsDialogScript()) + "\n";
    });
}

// --- Inputs and their variants --------------------------------------------------------

struct TInput {
    std::string origin;
    std::wstring fileName;
    std::wstring text;
};

std::wstring ReadUnits(std::ifstream& in, uint32_t count) {
    std::wstring text(count, L'\0');
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t unit = 0;
        in.read(reinterpret_cast<char*>(&unit), 4);
        text[i] = static_cast<wchar_t>(unit);
    }
    return text;
}

void AddFile(const std::filesystem::path& path, std::vector<TInput>& inputs) {
    std::ifstream in(path, std::ios::binary);
    if (path.extension() == ".cap") {
        uint32_t count = 0;
        in.read(reinterpret_cast<char*>(&count), 4);
        TInput input{path.string(), ReadUnits(in, count), {}};
        in.read(reinterpret_cast<char*>(&count), 4);
        input.text = ReadUnits(in, count);
        inputs.push_back(std::move(input));
        return;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    inputs.push_back({path.string(), L"input.u", vek::Utf8ToWide(bytes.str())});
}

// A small version of the benchmark's generated script.
std::wstring Generated() {
    std::wstring text;
    for (int f = 0; f < 6; ++f) {
        const std::wstring n = std::to_wstring(f);
        text += L"var v" + n + L" = 0\nfunction F" + n + L"(a, b) {\n  for i = 1 to 10 {\n    if (a == " + n +
                L" || v" + n + L" > 3 && b != 0) {\n      incr v" + n +
                L"\n      continue\n    } else if (b == 2) {\n" + L"      v" + n +
                L" = Rnd(1, 6)\n    } else {\n      break\n    }\n  }\n  label" + n + L":\n  decr v" + n +
                L"\n  if (v" + n + L" > 100) {\n    goto label" + n + L"\n  }\n  return 1\n}\nv" + n + L" = F" + n +
                L"(1, 2)\n";
    }
    return text;
}

class CRandom {
public:
    explicit CRandom(uint64_t seed) : m_state(seed | 1) {}
    uint64_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }

private:
    uint64_t m_state;
};

uint64_t Fnv(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

uint64_t Fnv(std::wstring_view text) {
    return Fnv(std::string_view(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

const wchar_t* const kPieces[] = {
    L"function F(a) {\n",
    L"function G() {\n",
    L"function H(a, b) {\n",
    L"Function f(x,y) {\n",
    L"FUNCTION",
    L"if (F(1) == 1) {\n",
    L"if (G()) {\n",
    L"if (H(1, 2)) {\n",
    L"if (h(\"1\", 2.5)) {\n",
    L"if (a == 1) {\n",
    L"if (!(a < 2) && b >= 3 || c ^^ d) {\n",
    L"}\n",
    L"} else {\n",
    L"} else if (a != 1) {\n",
    L"else ",
    L"var a = 1\n",
    L"var b 2\n",
    L"for i = 1 to 3 {\n",
    L"break\n",
    L"continue\n",
    L"goto L\n",
    L"L:\n",
    L"return 1\n",
    L"return\n",
    L"x = F(2)\n",
    L"a = 5\n",
    L"F(1)\n",
    L"G()\n",
    L"println \"",
    L"\"",
    L"//",
    L"// c\n",
    L"overridden ",
    L"extends \"base.u\"\n",
    L"extends \"self.u\"\n",
    L"extends \"base\"\n",
    L"super\n",
    L"exit\n",
    L"incr a\n",
    L"decr b\n",
    L"input a\n",
    L"print a\n",
    L"println a\n",
    L"Rnd(1, 6)",
    L"Rnd(1, -6)",
    L"(",
    L")",
    L",",
    L"-",
    L"\r\n",
    L"\r",
    L"\n",
    L"\t",
    L" ",
    L"{",
    L"iadd\n",
    L"icmp\n",
    L"iloop\n",
    L"i+\n",
    L"system \"x\"\n",
    L"action A {\n",
    L"default action B {\n",
    L"text = \"a|b\"\n",
    L"option \"o|o\" end\n",
    L"item \"k\" \"key\" 1 2 3\n",
    L"alarm Z {\n",
    L"SetDefaultAction A\n",
    L"GroupMemberAttacked g\n",
    L"\x017F",
    L"\x0130",
    L"\xFEFF",
    L"\xD800",
    L"_global.u",
    L"0",
    L"4294967296",
    L"=",
    L"==",
    L"to",
};

constexpr wchar_t kCharacters[] = L" \t\r\n(){}\",=:/!<>|&^_-.0123456789abcxyzFIf";

std::wstring Mutate(std::wstring text, CRandom& random) {
    const size_t steps = 1 + random.Below(3);
    for (size_t step = 0; step < steps; ++step) {
        const size_t at = random.Below(text.size() + 1);
        switch (random.Below(7)) {
        case 0:
        case 1: {
            // Pieces go mostly where lines begin.
            size_t where = at;
            if (random.Below(2) == 0) {
                const size_t line = text.rfind(L'\n', at == 0 ? 0 : at - 1);
                where = line == std::wstring::npos || at == 0 ? 0 : line + 1;
            }
            text.insert(where, kPieces[random.Below(std::size(kPieces))]);
            break;
        }
        case 2:
            text.erase(at, 1 + random.Below(20));
            break;
        case 3: {
            const size_t start = text.rfind(L'\n', at == 0 ? 0 : at - 1);
            const size_t from = start == std::wstring::npos || at == 0 ? 0 : start + 1;
            const size_t end = text.find(L'\n', from);
            const std::wstring line = text.substr(from, end == std::wstring::npos ? end : end - from + 1);
            text.insert(random.Below(text.size() + 1), line);
            break;
        }
        case 4:
            if (at < text.size()) {
                text[at] = kCharacters[random.Below(std::size(kCharacters) - 1)];
            }
            break;
        case 5:
            if (at < text.size() && text[at] < 0x80 && vek::IsAlpha(text[at])) {
                text[at] ^= 0x20;
            }
            break;
        default: {
            const size_t other = random.Below(text.size() + 1);
            const size_t first = std::min(at, other), second = std::max(at, other);
            const size_t length = std::min<size_t>(random.Below(30), text.size() - second);
            text.insert(first, text.substr(second, length));
            break;
        }
        }
    }
    return text;
}

CGameData& Game() {
    static CGameData* game = [] {
        auto* made = new CGameData();
        made->SetLogSink([](const std::wstring&) {});
        for (const wchar_t* name : {L"key", L"herb"}) {
            TItemInfo item;
            item.name = name;
            made->GetTableSet(kScriptTables).items.push_back(item);
        }
        TMonsterInfo wolf;
        wolf.name = L"wolf";
        made->GetTableSet(kScriptTables).monsters.push_back(wolf);
        return made;
    }();
    return *game;
}

} // namespace

int main(int argc, char** argv) {
    size_t variants = 40;
    std::string show;
    std::vector<TInput> inputs{{"generated", L"generated.u", Generated()}};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--variants") == 0 && i + 1 < argc) {
            variants = std::stoul(argv[++i]);
        } else if (std::strcmp(argv[i], "--show") == 0 && i + 1 < argc) {
            show = argv[++i];
        } else if (std::filesystem::is_directory(argv[i])) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i])) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                AddFile(file, inputs);
            }
        } else {
            AddFile(argv[i], inputs);
        }
    }
    g_gameData = &Game();
    for (size_t n = 0; n < inputs.size(); ++n) {
        const TInput& input = inputs[n];
        CRandom random(Fnv(input.text));
        // Big texts are parsed as they are and in a few variants only.
        const size_t count = input.text.size() > 20000 ? std::min<size_t>(variants, 2) : variants;
        for (size_t v = 0; v <= count; ++v) {
            const std::wstring text = v == 0 ? input.text : Mutate(input.text, random);
            for (int kind = 0; kind < 2; ++kind) {
                const std::string id = std::to_string(n) + "." + std::to_string(v) + "." + std::to_string(kind);
                if (!show.empty() && id != show) {
                    continue;
                }
                const std::string dump = kind == 0 ? DumpPlain(text, input.fileName) : DumpGame(text, input.fileName);
                if (!show.empty()) {
                    std::printf("%s\ninput %s\n%s", id.c_str(), Show(text).c_str(), dump.c_str());
                } else {
                    std::printf("%s %s %016llx\n", id.c_str(), input.origin.c_str(),
                                static_cast<unsigned long long>(Fnv(dump)));
                }
            }
        }
    }
    return 0;
}
