#pragma once
// Tests that need a window. They run under xvfb-run, whose run asks for the
// display (MORVHELD_REQUIRE_DISPLAY), so that a broken one fails there; run
// elsewhere without a display they are skipped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "VEKLib/Exception.h"
#include "data/IrrWrap.h"

namespace testsupport {

// A window opens: DISPLAY names a server that answers.
inline bool DisplayOpens() {
    static const bool opens = [] {
        if (!HaveDisplay()) {
            return false;
        }
        try {
            CreateIrrDevice(irr::video::EDT_BURNINGSVIDEO, false, false)->drop();
            return true;
        } catch (const vek::CException&) {
            return false;
        }
    }();
    return opens;
}

inline bool DisplayRequired() { return std::getenv("MORVHELD_REQUIRE_DISPLAY") != nullptr; }

} // namespace testsupport

// First in a fixture's SetUp: fails or skips the test without a display.
#define MORVHELD_NEED_DISPLAY()                                \
    do {                                                       \
        if (!testsupport::DisplayOpens()) {                    \
            if (testsupport::DisplayRequired()) {              \
                FAIL() << "no display";                        \
            }                                                  \
            GTEST_SKIP() << "no display (run under xvfb-run)"; \
        }                                                      \
    } while (0)
