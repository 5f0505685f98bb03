// The run loop's two paths agree: a script run as usual (most commands on the
// fast path) and the same script with every command handed to ExecuteUnit
// (the slow path alone) print the same, fail with the same code on the same
// line, and count the same steps, under every step budget.
#include <gtest/gtest.h>

#include <string>

#include "script/ScriptBase.h"
#include "tests/script/ScriptRunner.h"

namespace {

// Every command goes through ExecuteUnit, so none takes the fast path.
class CSlowScript : public CScriptBase {
public:
    bool HandlesCommand(const TCommand&) const override { return true; }
};

using scripttest::RunOutcome;
using scripttest::TRunOutcome;

TEST(FastPathTest, BothPathsRunAlike) {
    const wchar_t* const scripts[] = {
        // loops, nested, with the same counter name, break and continue
        L"var n = 0\nfor i = 1 to 3 {\nfor i = 5 to 6 {\nincr n\n}\nprint i\n}\nprint n\n",
        L"var n = 0\nfor i = 1 to 9 {\nif (i == 3) {\ncontinue\n}\nif (i > 5) {\nbreak\n}\nincr n\n}\nprint n\n",
        // else-if chains, bodies with and without loops
        L"var a = 0\nfor k = 1 to 4 {\na = 2\nif (a == 1) {\nprint \"1\"\n} else if (a == 2) {\nfor j = 1 to 2 "
        L"{\nprint "
        L"j\n}\n} else {\nprint \"3\"\n}\ndecr a\n}\n",
        L"var a = 1\nvar b = 2\nif (a < b && b != 3) {\nprint \"y\"\n} else {\nprint \"n\"\n}\nif (a >= b || "
        L"!(a == 1)) {\nprint \"y\"\n} else {\nprint \"n\"\n}\n",
        // calls in place, recursion, a return from inside a loop
        L"var n = 0\nvar r = 0\nr = F(3)\nprint r\nprint n\nfunction F(k) {\nfor j = 1 to 5 {\nincr n\nif (j == k) "
        L"{\nreturn 7\n}\n}\nreturn 1\n}\n",
        L"var d = 0\nR()\nprint d\nfunction R() {\nincr d\nif (d < 50) {\nR()\n}\n}\n",
        // the tape inside blocks
        L"i+ i+ i+\nicmp\nif (1 == 1) {\niout\n}\ni-\niloop\nprint \"|\"\n",
        // jumps
        L"var n = 0\nagain:\nincr n\nif (n < 4) {\ngoto again\n}\nprint n\n",
        L"F()\nout:\nprint \"out\"\nfunction F() {\nfor i = 1 to 2 {\ngoto out\n}\n}\n",
        // jumps into and out of blocks, exit from a call, a condition that calls
        L"var n = 0\ngoto inside\nfor i = 1 to 3 {\ninside:\nincr n\n}\nprint n\n",
        L"var n = 0\nfor i = 1 to 3 {\nif (i == 2) {\ngoto done\n}\nincr n\n}\ndone:\nprint n\nfor j = 1 to 2 "
        L"{\nincr n\n}\nprint n\n",
        L"F(2)\nprint \"no\"\nfunction F(a) {\nfor i = 1 to 5 {\nif (i == a) {\nexit\n}\n}\n}\n",
        L"var n = 0\nfor i = 1 to 3 {\nif (G() == i) {\nprint i\n} else if (n == 0) {\nincr n\n} else {\ndecr "
        L"n\n}\n}\nfunction G() {\nreturn 2\n}\n",
        L"var n = 0\nfor i = 1 to 2 {\nn = F(1, 4)\nprint n\nn = F(5, 4)\nprint n\n}\nfunction F(a, b) {\nif (a < b) "
        L"{\nreturn "
        L"1\n}\nreturn 4\n}\n",
        L"var n = 0\nif (n == 0) {\nfor i = 1 to 2 {\nif (i == 2) {\nprint q\n}\n}\n}\n",
        // a result into a variable whose name the callee's parameter also
        // has; values into two parameters
        L"var x = 0\nfor i = 1 to 2 {\nx = F(7)\nprint x\n}\nfunction F(x) {\nincr x\nprint x\nreturn 4\n}\n",
        L"var n = 0\nn = G(3, 4)\nprint n\nfunction G(a, b) {\nprint a\nprint b\nreturn 2\n}\n",
        // errors: a missing variable in a condition, a return outside calls,
        // calls too deep
        L"var a = 0\nincr a\nif (b == 1) {\nprint \"1\"\n}\n",
        L"var a = 0\nincr a\nreturn 3\n",
        L"if (F() == 1 && zz == 2) {\nprint \"y\"\n}\nfunction F() {\nG(1)\nreturn 1\n}\nfunction G(k) {\nprint "
        L"\"g\"\n}\n",
        L"F()\nfunction F() {\nF()\n}\n",
    };
    for (const wchar_t* text : scripts) {
        const TRunOutcome whole = RunOutcome<CScriptBase>(text, 0);
        EXPECT_TRUE(whole.parsed) << std::string(text, text + wcslen(text));
        EXPECT_EQ(whole, RunOutcome<CSlowScript>(text, 0)) << std::string(text, text + wcslen(text));
        // A budget that runs out at each step in turn.
        for (uint64_t budget = 1; budget <= whole.steps + 1 && budget < 400; ++budget) {
            EXPECT_EQ(RunOutcome<CScriptBase>(text, budget), RunOutcome<CSlowScript>(text, budget))
                << "budget " << budget << ": " << std::string(text, text + wcslen(text));
        }
    }
}

} // namespace
