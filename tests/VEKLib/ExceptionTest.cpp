#include <gtest/gtest.h>

#include "VEKLib/Exception.h"

namespace {

using vek::CException;
using vek::CFileException;

TEST(Exception, FullTextJoinsFourLines) {
    const CException e(L"vek::CFile::OpenedCheck", L".\\Files.cpp", 344, L"File is not open.");
    EXPECT_EQ(
        e.GetText(),
        L"Details: File is not open.\r\nSource file: Files.cpp\r\nFunction: vek::CFile::OpenedCheck\r\nLine: 344");
    EXPECT_EQ(e.GetDetails(), L"File is not open.");
    EXPECT_EQ(e.GetLine(), 344);
}

TEST(Exception, BlankMessageAndMixedSeparators) {
    struct Case {
        const wchar_t* source;
        const wchar_t* message;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"c:\\src/lib\\Files", L"", L"\r\nSource file: Files\r\nFunction: f\r\nLine: -7"},
        {L"c:/src\\lib/Files", L" \t ", L"\r\nSource file: Files\r\nFunction: f\r\nLine: -7"},
        {L"\"Map2D\"", L"m", L"Details: m\r\nSource file: Map2D\r\nFunction: f\r\nLine: -7"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CException(L"f", c.source, -7, c.message).GetText(), c.text) << c.source;
    }
}

TEST(Exception, FileExceptionPutsCodeTextInFront) {
    const CFileException e(1, L"a.dat", L"vek::CFile::Open", L"Files", 449, L"");
    EXPECT_EQ(e.GetDetails(), L"File not found (a.dat)");
    EXPECT_EQ(e.GetText(),
              L"File not found (a.dat)\r\nSource file: Files\r\nFunction: vek::CFile::Open\r\nLine: 449.\r\n");

    const CFileException withMessage(5, L"", L"g", L"Strings", 351, L"BOM must be always present for UTF-16");
    EXPECT_EQ(withMessage.GetDetails(), L"Invalid file content ()");
    EXPECT_EQ(withMessage.GetText(),
              L"Invalid file content ()Details: BOM must be always present for UTF-16\r\nSource file: Strings\r\n"
              L"Function: g\r\nLine: 351.\r\n");
    EXPECT_EQ(withMessage.GetCode(), 5u);
}

TEST(Exception, CodesOutsideTheTableKeepBaseTexts) {
    for (uint32_t code : {0u, 8u, 0xFFFFFFFFu}) {
        const CFileException e(code, L"x", L"f", L"Files", 1, L"msg");
        EXPECT_EQ(e.GetDetails(), L"msg");
        EXPECT_EQ(e.GetText(), L"Details: msg\r\nSource file: Files\r\nFunction: f\r\nLine: 1");
        EXPECT_EQ(e.GetCode(), code);
    }
}

TEST(Exception, CaughtAsBaseKeepsEverything) {
    try {
        throw CFileException(6, L"save.sav", L"CGame::Load", L"Game", 10, L"old");
    } catch (const CException& e) {
        EXPECT_EQ(e.GetDetails(), L"Invalid file version (save.sav)");
        EXPECT_EQ(e.GetFunction(), L"CGame::Load");
    }
}

class RecordingDisplay : public vek::CMessageDisplay {
public:
    void Display(const std::wstring& text) override { shown.push_back(text); }
    std::vector<std::wstring> shown;
};

TEST(Exception, DisplayGoesToInstalledDisplayOnly) {
    const CException e(L"f", L"s", 1, L"m");
    vek::SetMessageDisplay(nullptr);
    e.Display(); // nothing installed: nothing happens
    RecordingDisplay display;
    vek::SetMessageDisplay(&display);
    e.Display();
    vek::SetMessageDisplay(nullptr);
    ASSERT_EQ(display.shown.size(), 1u);
    EXPECT_EQ(display.shown[0], e.GetText());
}

} // namespace
