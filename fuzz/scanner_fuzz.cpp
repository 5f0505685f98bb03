// Scans arbitrary text with every reader of the script scanner: each reader
// alone until the text is used up, then all of them mixed in an order taken
// from the input. Every run has a step budget, so a reader that stops moving
// shows up as a failed check rather than a hang. The first byte picks the
// decoding: UTF-8, or raw 16-bit units (byte-order marks, lone surrogates).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "VEKLib/Strings.h"
#include "script/ParserCore.h"
#include "script/ScriptException.h"

namespace {

constexpr uint32_t kUsedUp = CParserCore::kEndOfText;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckState(const CParserCore& parser) {
    const size_t size = parser.GetTextSize();
    Check(parser.GetPosition() == kUsedUp || parser.GetPosition() <= size);
    Check(parser.GetTokenStart() <= size);
    Check(parser.GetLineNumber() <= size + 1);
}

// Runs read until it gives false or the position stops moving; it must end
// within one call per character.
template <class Read>
void Drain(const std::wstring& text, Read read) {
    CParserCore parser;
    parser.LoadText(text, L"fuzz.u");
    const size_t budget = text.size() + 2;
    size_t steps = 0;
    for (;;) {
        const uint32_t before = parser.GetPosition();
        bool more = false;
        try {
            more = read(parser);
        } catch (const CScriptException& e) {
            Check(!e.GetText().empty());
            return;
        }
        CheckState(parser);
        if (!more && parser.GetPosition() == before) {
            return;
        }
        if (parser.GetPosition() == kUsedUp) {
            return;
        }
        Check(++steps <= budget);
    }
}

std::wstring Decode(const uint8_t* data, size_t size) {
    if (size == 0) {
        return {};
    }
    if ((data[0] & 1) == 0) {
        return vek::Utf8ToWide(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    }
    std::wstring text;
    for (size_t i = 1; i + 1 < size; i += 2) {
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096) {
        return 0;
    }
    const std::wstring text = Decode(data, size);

    Drain(text, [](CParserCore& p) {
        const bool ok = p.GetWord(0);
        Check(!ok || !p.GetToken().empty());
        return ok;
    });
    Drain(text, [](CParserCore& p) { return p.GetWord(1); });
    Drain(text, [](CParserCore& p) {
        p.GetNumber();
        return true;
    });
    Drain(text, [](CParserCore& p) { return p.GetStringLiteral(); });
    Drain(text, [](CParserCore& p) { return p.GetBracketedExpr(); });

    for (const bool names : {false, true}) {
        try {
            CParserCore parser;
            Check(parser.ExtractArgs(text, names).size() <= text.size());
        } catch (const CScriptException& e) {
            Check(e.GetCode() == 41);
        }
    }

    // Everything mixed, in an order the input chooses.
    CParserCore parser;
    parser.LoadText(text, L"fuzz.u");
    for (size_t step = 0; step < 4 * size + 16; ++step) {
        try {
            switch (data[step % size] % 9) {
            case 0:
                parser.GetWord(0);
                break;
            case 1:
                parser.GetWord(1);
                break;
            case 2:
                parser.GetNumber();
                break;
            case 3:
                Check(parser.GetExpression().size() <= text.size());
                break;
            case 4:
                parser.SkipComment();
                break;
            case 5:
                parser.StepBack();
                break;
            case 6:
                parser.GetStringLiteral();
                break;
            case 7:
                parser.GetBracketedExpr();
                break;
            case 8:
                parser.ExtractArgs(parser.GetToken(), (step & 1) != 0);
                break;
            }
        } catch (const CScriptException& e) {
            Check(e.GetCode() == 24 || e.GetCode() == 41);
            Check(e.GetScriptLine() == parser.GetLineNumber());
        }
        CheckState(parser);
    }
    return 0;
}
