// The program entry.
#include <cstring>
#include <exception>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Log.h"
#include "VEKLib/Strings.h"
#include "VEKLib/UnitTest.h"
#include "data/Globals.h"
#include "data/MConfig.h"
#include "platform/CrashHandler.h"
#include "platform/Utf8.h"

namespace {

// The self-test: every suite under one parent, reported on standard output.
// The result is the number of failed checks.
int32_t RunSelfTests() {
    vek::CLog log;
    vek::LogSessionStart(log, L"", vek::kLogStdOut, false);
    vek::CSuite all(L"All", &log);
    vek::CSuite library(L"VEKLib", &log);
    vek::CreateLibrarySuite(library, &log);
    all.AddSuite(&library);
    all.Execute();
    const int32_t failed = vek::RunAllSuites(all);
    all.DeleteAll();
    vek::LogSessionEnd(log);
    return failed;
}

} // namespace

int main(int argc, char** argv) {
    GlobalExceptionHandler().Initialize();
    vek::SetCurrentLocale(L"pl_PL");
    bool selfTest = false;
    bool writeConfig = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-test") == 0) {
            selfTest = true;
        } else if (std::strcmp(argv[i], "-writecfg") == 0) {
            writeConfig = true;
        }
    }
    try {
        CMorvheldConfig config;
        config.SetFileName(ChooseConfigFileName());
        // The configuration writer ends the program at once, before the
        // user's own file is read: a broken file must not stop its repair.
        if (writeConfig) {
            WriteDefaultConfig(config);
            return 0;
        }
        if (selfTest) {
            return RunSelfTests() == 0 ? 0 : 1;
        }
        config.Load();
        vek::ConsoleOut() << L"Morvheld: the utility library is up; there is no game to run yet." << std::endl;
    } catch (const vek::CException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        return 1;
    }
    return 0;
}
