// A script file that the scanner would read only in part is refused, with
// its name and the line of the fault.
#include <gtest/gtest.h>

#include <string>

#include "VEKLib/Exception.h"
#include "platform/Utf8.h"
#include "script/ParserCore.h"
#include "support/Files.h"

namespace {

using ScriptFile = testsupport::ScratchFolder;

TEST_F(ScriptFile, TextThatWouldBeLostIsRefused) {
    const struct {
        const char* what;
        std::string bytes;
        const wchar_t* fault; // null: loads whole
    } cases[] = {
        {"whole", "print \"a\"\nexit\n", nullptr},
        {"zeros at the end", std::string("exit\n\0\0", 7), nullptr},
        {"zero byte, then text", std::string("print \"a\"\n\0exit\n", 16), L"Zero byte in the text, line 2"},
        {"Latin-1 byte", "// r\xE9gion\nexit\n", L"Byte 0xE9 is not UTF-8, line 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = m_dir / "brain.u";
        testsupport::WriteBytes(path, c.bytes);
        CParserCore parser;
        const auto e = testsupport::Thrown<vek::CFileException>([&] { parser.LoadFile(testsupport::Wide(path)); });
        if (c.fault == nullptr) {
            EXPECT_FALSE(e);
            EXPECT_EQ(platform::ToUtf8(parser.GetText()), std::string(c.bytes.c_str()));
            continue;
        }
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_EQ(e->GetFileName(), testsupport::Wide(path));
        EXPECT_NE(e->GetText().find(std::wstring(L"Details: ") + c.fault), std::wstring::npos)
            << platform::ToUtf8(e->GetText());
    }
}

} // namespace
