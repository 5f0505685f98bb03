// Files are replaced whole: a failing disk leaves the old file as it was,
// and the error names the file.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Config.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Files.h"
#include "VEKLib/IniFile.h"
#include "VEKLib/Xml.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "support/Files.h"

namespace {

namespace fs = std::filesystem;
using vek::CFile;
using vek::CFileException;

constexpr char kOld[] = "[config]\r\nold = \"whole\"\r\n";

using testsupport::CInstalledFileCalls;
using testsupport::ReadBytes;
using testsupport::Wide;
using testsupport::WriteBytes;

std::optional<CFileException> Thrown(const std::function<void()>& action) {
    return testsupport::Thrown<CFileException>(action);
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// One of the calls that put a file in place fails, as a full or broken disk
// makes it fail (with the error given, else a typical one); the others reach
// the system. Every call is noted.
class FailingCalls : public platform::IFileCalls {
public:
    explicit FailingCalls(std::string call, int error = 0) : m_call(std::move(call)), m_error(error) {}
    size_t Write(std::FILE* stream, const void* data, size_t size) override {
        calls += "write ";
        if (m_call == "write" && size > 0) {
            const size_t half = IFileCalls::Write(stream, data, size / 2);
            errno = Error(ENOSPC);
            return half;
        }
        return IFileCalls::Write(stream, data, size);
    }
    int Flush(std::FILE* stream) override { return Failing("flush", ENOSPC) ? m_failed : IFileCalls::Flush(stream); }
    int Sync(std::FILE* stream) override { return Failing("sync", EIO) ? m_failed : IFileCalls::Sync(stream); }
    int Close(std::FILE* stream) override {
        const int result = IFileCalls::Close(stream);
        return Failing("close", EDQUOT) ? m_failed : result;
    }
    int Rename(const std::string& from, const std::string& to) override {
        return Failing("rename", EXDEV) ? m_failed : IFileCalls::Rename(from, to);
    }
    int SyncFolder(const std::string& folder) override {
        folders.push_back(folder);
        return Failing("sync folder", EIO) ? m_failed : IFileCalls::SyncFolder(folder);
    }
    int RenameNoReplace(const std::string& from, const std::string& to) override {
        return Failing("rename aside", EPERM) ? m_failed : IFileCalls::RenameNoReplace(from, to);
    }

    std::string calls;
    std::vector<std::string> folders;

private:
    int Error(int typical) const { return m_error != 0 ? m_error : typical; }
    bool Failing(const char* call, int typical) {
        calls += std::string(call) + " ";
        m_failed = Error(typical);
        return m_call == call;
    }

    std::string m_call;
    int m_error;
    int m_failed = 0;
};

using ReplaceFileTest = testsupport::ScratchFolder;

// Every writer of the library, each writing a new "config" over the old one.
struct Writer {
    const char* what;
    std::function<void(const std::wstring&)> write;
};

std::vector<Writer> Writers() {
    return {
        {"ReplaceFile", [](const std::wstring& name) { vek::ReplaceFile(name, "new bytes", 9); }},
        {"CFile write and close",
         [](const std::wstring& name) {
             CFile file(false, 16);
             file.Open(name, CFile::kModeWrite);
             file.Write("new bytes", 9);
             file.Close();
         }},
        {"CFile read-write",
         [](const std::wstring& name) {
             CFile file(false, 0);
             file.Open(name, CFile::kModeReadWrite);
             file.Write("new", 3);
             file.Flush();
             file.Close();
         }},
        {"ini writer",
         [](const std::wstring& name) {
             vek::CIniFile ini;
             ini.Output() = L"[config]\r\nnew = 1\r\n";
             ini.SaveToFile(name, vek::kEncodingUtf8);
         }},
        {"configuration",
         [](const std::wstring& name) {
             vek::CConfig config(L"config");
             config.AddEntry(L"new", vek::CValue(L"value"));
             config.ResetToDefaults();
             config.SetFileName(name);
             config.Save();
         }},
        {"XML writer",
         [](const std::wstring& name) {
             vek::CXmlNode root(L"config", L"");
             root.AppendChild(vek::CXmlNode::AddChild(L"new", L"1"));
             vek::CXmlWriter(vek::kEncodingUtf8, &root).Write(name);
         }},
    };
}

TEST_F(ReplaceFileTest, AFailingCallLeavesTheOldFileWhole) {
    const fs::path target = m_dir / "game.ini";
    for (const char* call : {"write", "flush", "sync", "close", "rename"}) {
        for (const Writer& writer : Writers()) {
            SCOPED_TRACE(std::string(writer.what) + " / failing " + call);
            WriteBytes(target, kOld);
            FailingCalls calls(call);
            std::optional<CFileException> e;
            {
                const CInstalledFileCalls installed(calls);
                e = Thrown([&] { writer.write(Wide(target)); });
            }
            ASSERT_TRUE(e);
            EXPECT_EQ(e->GetCode(), CFileException::kOther);
            EXPECT_EQ(e->GetFileName(), Wide(target));
            EXPECT_EQ(ReadBytes(target), kOld);
            EXPECT_EQ(Names(m_dir), std::vector<std::string>{"game.ini"}); // no temporary file left
        }
    }
}

// The label and the code follow the cause; the details say what failed.
TEST_F(ReplaceFileTest, TheErrorSaysWhatFailed) {
    const fs::path target = m_dir / "save.sav";
    const struct {
        const char* call;
        int error;
        const wchar_t* function;
        uint32_t code;
        const wchar_t* label;
        const wchar_t* text;
    } cases[] = {
        {"write", 0, L"vek::CFileReplacement::Write", CFileException::kOther, L"No space left on the disk",
         L"File cannot be written: No space left on device"},
        {"flush", 0, L"vek::CFileReplacement::Flush", CFileException::kOther, L"No space left on the disk",
         L"File cannot be written: No space left on device"},
        {"sync", 0, L"vek::CFileReplacement::Commit", CFileException::kOther, L"Other error",
         L"File cannot be written: Input/output error"},
        {"close", 0, L"vek::CFileReplacement::Commit", CFileException::kOther, L"Disk quota exceeded",
         L"File cannot be written: Disk quota exceeded"},
        {"write", EFBIG, L"vek::CFileReplacement::Write", CFileException::kOther, L"File too large",
         L"File cannot be written: File too large"},
        {"rename", 0, L"vek::CFileReplacement::Commit", CFileException::kOther, L"Other error",
         L"File cannot be put in place: Invalid cross-device link"},
        {"rename", EPERM, L"vek::CFileReplacement::Commit", CFileException::kInsufficientRights,
         L"Operation on the file not permitted", L"File cannot be put in place: Operation not permitted"},
        {"rename", EACCES, L"vek::CFileReplacement::Commit", CFileException::kAccessDenied, L"Access to file denied",
         L"File cannot be put in place: Permission denied"},
        {"rename", EROFS, L"vek::CFileReplacement::Commit", CFileException::kInsufficientRights,
         L"File system read-only", L"File cannot be put in place: Read-only file system"},
        {"rename", ENOENT, L"vek::CFileReplacement::Commit", CFileException::kNotFound, L"File or folder not found",
         L"File cannot be put in place: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + std::to_string(c.error));
        FailingCalls calls(c.call, c.error);
        const CInstalledFileCalls installed(calls);
        const auto e = Thrown([&] { vek::ReplaceFile(Wide(target), "abc", 3); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetFunction(), c.function);
        EXPECT_EQ(e->GetCode(), c.code);
        EXPECT_EQ(e->GetDetails(), c.label + (L" (" + Wide(target) + L")"));
        EXPECT_NE(e->GetText().find(std::wstring(L"Details: ") + c.text), std::wstring::npos)
            << platform::ToUtf8(e->GetText());
        EXPECT_FALSE(fs::exists(target));
    }
}

// Once the new file has its name, the folder that holds the name goes to
// the disk too; when that fails the file stays, and the caller is told.
TEST_F(ReplaceFileTest, TheFolderIsSyncedAfterTheRename) {
    const fs::path target = m_dir / "Save/autosave.sav";
    WriteBytes(target, kOld);
    for (const char* failing : {"", "sync folder"}) {
        SCOPED_TRACE(failing);
        FailingCalls calls(failing);
        const CInstalledFileCalls installed(calls);
        EXPECT_EQ(vek::ReplaceFile(Wide(target), "new", 3), *failing ? EIO : 0);
        EXPECT_EQ(calls.calls, "write flush sync close rename sync folder ");
        EXPECT_EQ(calls.folders, std::vector<std::string>{(m_dir / "Save/").string()});
        EXPECT_EQ(ReadBytes(target), "new");
        EXPECT_EQ(Names(m_dir / "Save"), std::vector<std::string>{"autosave.sav"});
        WriteBytes(target, kOld);
    }
    // Through a link: the folder of the file it names.
    fs::create_directories(m_dir / "real");
    fs::create_symlink("real/game.ini", m_dir / "game.ini");
    FailingCalls calls("");
    const CInstalledFileCalls installed(calls);
    EXPECT_EQ(vek::ReplaceFile(Wide(m_dir / "game.ini"), "new", 3), 0);
    EXPECT_EQ(calls.folders, std::vector<std::string>{(m_dir / "real/").string()});
}

TEST_F(ReplaceFileTest, NewContentReplacesTheOldAndKeepsItsPermissions) {
    const fs::path target = m_dir / "game.ini";
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.what);
        WriteBytes(target, std::string(4096, '#')); // longer than any new content
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        writer.write(Wide(target));
        const std::string bytes = ReadBytes(target);
        EXPECT_TRUE(bytes.find("new") != std::string::npos) << bytes;
        EXPECT_EQ(bytes.find('#'), std::string::npos);
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(Names(m_dir), std::vector<std::string>{"game.ini"});
    }
}

TEST_F(ReplaceFileTest, ALinkStaysALinkToTheNewFile) {
    fs::create_directories(m_dir / "real");
    WriteBytes(m_dir / "real/game.ini", kOld);
    fs::create_symlink("real/game.ini", m_dir / "game.ini");
    fs::create_symlink(m_dir / "nowhere.ini", m_dir / "dangling.ini");
    vek::ReplaceFile(Wide(m_dir / "game.ini"), "new", 3);
    vek::ReplaceFile(Wide(m_dir / "dangling.ini"), "made", 4);
    EXPECT_TRUE(fs::is_symlink(m_dir / "game.ini"));
    EXPECT_EQ(ReadBytes(m_dir / "real/game.ini"), "new");
    EXPECT_TRUE(fs::is_symlink(m_dir / "dangling.ini"));
    EXPECT_EQ(ReadBytes(m_dir / "nowhere.ini"), "made");
    EXPECT_EQ(Names(m_dir / "real"), std::vector<std::string>{"game.ini"});

    fs::create_symlink("loop2", m_dir / "loop1");
    fs::create_symlink("loop1", m_dir / "loop2");
    const auto e = Thrown([&] { vek::ReplaceFile(Wide(m_dir / "loop1"), "x", 1); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetFileName(), Wide(m_dir / "loop1"));
}

// A device cannot be replaced: a file object writes it in place, and a full
// one is an error; a whole replacement refuses it, as it refuses anything
// else that is not a file, at once.
TEST_F(ReplaceFileTest, AFullDeviceIsAnError) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    fs::create_symlink("/dev/full", m_dir / "game.ini");
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.what);
        const auto e = Thrown([&] { writer.write(Wide(m_dir / "game.ini")); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetFileName(), Wide(m_dir / "game.ini"));
        const bool whole = std::string(writer.what) == "ReplaceFile";
        EXPECT_NE(e->GetText().find(whole ? L"Not a file (" : L"No space left on the disk ("), std::wstring::npos);
        EXPECT_NE(e->GetText().find(whole ? L"It is a device, not a file." : L"No space left on device"),
                  std::wstring::npos);
        EXPECT_TRUE(fs::is_symlink(m_dir / "game.ini"));
    }
}

TEST_F(ReplaceFileTest, WhatIsNoFileIsNotReplaced) {
    ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
    fs::create_directories(m_dir / "folder");
    const struct {
        const char* name;
        const wchar_t* why;
    } cases[] = {{"fifo", L"It is a named pipe (FIFO), not a file."}, {"folder", L"It is a folder, not a file."}};
    ::alarm(20);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto e = Thrown([&] { vek::ReplaceFile(Wide(m_dir / c.name), "x", 1); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetCode(), CFileException::kOther);
        EXPECT_EQ(e->GetDetails(), L"Not a file (" + Wide(m_dir / c.name) + L")");
        EXPECT_NE(e->GetText().find(c.why), std::wstring::npos);
    }
    ::alarm(0);
    EXPECT_EQ(Names(m_dir), (std::vector<std::string>{"fifo", "folder"}));
    EXPECT_TRUE(fs::is_empty(m_dir / "folder"));
}

// The file size limit of the process (ulimit -f) stops a write half-way.
TEST_F(ReplaceFileTest, ASizeLimitLeavesTheOldFileWhole) {
    const fs::path target = m_dir / "game.ini";
    const struct {
        rlim_t limit;
        bool fits;
    } cases[] = {{0, false}, {99, false}, {100, true}, {101, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        WriteBytes(target, kOld);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.limit, c.limit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(3);
            }
            try {
                vek::ReplaceFile(Wide(target), std::string(100, 'n').data(), 100);
            } catch (const CFileException& e) {
                ::_exit(e.GetFileName() == Wide(target) && e.GetText().find(L"File too large") != std::wstring::npos
                            ? 1
                            : 4);
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), c.fits ? 0 : 1);
        EXPECT_EQ(ReadBytes(target), c.fits ? std::string(100, 'n') : std::string(kOld));
        EXPECT_EQ(Names(m_dir), std::vector<std::string>{"game.ini"});
    }
}

TEST_F(ReplaceFileTest, AFileLeftOpenIsCompletedUnlessAnExceptionIsOnItsWay) {
    const fs::path target = m_dir / "save.sav";
    WriteBytes(target, kOld);
    try {
        CFile file(false, 0);
        file.Open(Wide(target), CFile::kModeWrite);
        file.Write("half", 4);
        throw std::runtime_error("the writer failed half-way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(Names(m_dir), std::vector<std::string>{"save.sav"});
    {
        CFile file(false, 0);
        file.Open(Wide(target), CFile::kModeWrite);
        file.Write("whole", 5);
    }
    EXPECT_EQ(ReadBytes(target), "whole");
}

TEST_F(ReplaceFileTest, NothingIsWrittenUntilClose) {
    const fs::path target = m_dir / "game.ini";
    WriteBytes(target, kOld);
    CFile file(false, 0);
    file.Open(Wide(target), CFile::kModeReadWrite);
    file.Write("new", 3);
    file.Flush();
    EXPECT_EQ(ReadBytes(target), kOld); // the old file stays readable meanwhile
    ASSERT_TRUE(file.Seek(0, CFile::kSeekStart));
    char back[3] = {};
    EXPECT_EQ(file.Read(back, 3), 3u); // what was written reads back
    EXPECT_EQ(std::string(back, 3), "new");
    file.Close();
    EXPECT_EQ(ReadBytes(target), "new");
}

TEST_F(ReplaceFileTest, AfterAFailedWriteTheFileIsNotReady) {
    const fs::path target = m_dir / "game.ini";
    WriteBytes(target, kOld);
    CFile file(false, 0);
    file.Open(Wide(target), CFile::kModeWrite);
    {
        FailingCalls calls("write");
        const CInstalledFileCalls installed(calls);
        EXPECT_TRUE(Thrown([&] { file.Write("abcd", 4); }));
    }
    const auto e = Thrown([&] { file.Write("abcd", 4); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetLine(), 671); // "File not ready."
    EXPECT_NO_THROW(file.Close());
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(Names(m_dir), std::vector<std::string>{"game.ini"});
}

// What a writer killed half-way leaves beside the file goes; whatever else
// is there stays, look-alikes included.
TEST_F(ReplaceFileTest, LeftTemporaryFilesOfTheFileAreRemovedAndNothingElse) {
    const std::string mark = ".autosave.sav.morvheld-unfinished.";
    fs::create_directories(m_dir / "Save" / (mark + "Folder"));
    fs::create_directories(m_dir / "real");
    for (const std::string& name :
         {mark + "a1B2c3", mark + "ZZZZZZ", mark + "a1B2c", std::string(".autosave.sav.backup"),
          std::string(".autosave.sav.a1B2c3"), std::string("autosave.sav")}) {
        WriteBytes(m_dir / "Save" / name, "x");
    }
    WriteBytes(m_dir / "real/.game.ini.morvheld-unfinished.q9W8e7", "x");
    fs::create_symlink("real/game.ini", m_dir / "game.ini");
    fs::create_symlink("../autosave.sav", m_dir / "Save" / (mark + "Linked"));

    EXPECT_EQ(vek::RemoveLeftReplacements(Wide(m_dir / "Save/autosave.sav")), 2u);
    EXPECT_EQ(Names(m_dir / "Save"),
              (std::vector<std::string>{".autosave.sav.a1B2c3", ".autosave.sav.backup", mark + "Folder",
                                        mark + "Linked", mark + "a1B2c", "autosave.sav"}));
    // Beside the file a link names, where the new bytes go.
    EXPECT_EQ(vek::RemoveLeftReplacements(Wide(m_dir / "game.ini")), 1u);
    EXPECT_EQ(Names(m_dir / "real"), std::vector<std::string>{});
    EXPECT_EQ(vek::RemoveLeftReplacements(Wide(m_dir / "none/x.sav")), 0u);
}

// A file kept aside takes the first free name and never replaces another.
TEST_F(ReplaceFileTest, KeptAsideUnderTheFirstFreeName) {
    const struct {
        const char* name;
        std::vector<std::string> taken;
        const char* kept;
    } cases[] = {
        {"autosave.sav", {}, "autosave.refused.sav"},
        {"autosave.sav", {"autosave.refused.sav"}, "autosave.refused.2.sav"},
        {"autosave.sav", {"autosave.refused.sav", "autosave.refused.2.sav"}, "autosave.refused.3.sav"},
        {"autosave.sav", {"autosave.refused.2.sav"}, "autosave.refused.sav"},
        {"a.b.sav", {}, "a.b.refused.sav"},
        {"noext", {}, "noext.refused"},
        {".sav", {}, ".sav.refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept);
        fs::remove_all(m_dir / "Save");
        fs::create_directories(m_dir / "Save");
        for (const std::string& taken : c.taken) {
            WriteBytes(m_dir / "Save" / taken, taken);
        }
        WriteBytes(m_dir / "Save" / c.name, "game");
        EXPECT_EQ(vek::KeepAside(Wide(m_dir / "Save" / c.name), L"refused"), Wide(m_dir / "Save" / c.kept));
        EXPECT_EQ(ReadBytes(m_dir / "Save" / c.kept), "game");
        EXPECT_FALSE(fs::exists(m_dir / "Save" / c.name));
        for (const std::string& taken : c.taken) {
            EXPECT_EQ(ReadBytes(m_dir / "Save" / taken), taken);
        }
    }
    const auto e = Thrown([&] { vek::KeepAside(Wide(m_dir / "Save/none.sav"), L"refused"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetFileName(), Wide(m_dir / "Save/none.sav"));
    EXPECT_EQ(e->GetDetails(), L"File or folder not found (" + Wide(m_dir / "Save/none.sav") + L")");
    EXPECT_NE(e->GetText().find(L"No such file or directory"), std::wstring::npos);
    // A file that may not be moved (immutable) stays where it is.
    WriteBytes(m_dir / "Save/kept.sav", "game");
    FailingCalls calls("rename aside");
    const CInstalledFileCalls installed(calls);
    const auto stays = Thrown([&] { vek::KeepAside(Wide(m_dir / "Save/kept.sav"), L"refused"); });
    ASSERT_TRUE(stays);
    EXPECT_EQ(stays->GetCode(), CFileException::kInsufficientRights);
    EXPECT_EQ(ReadBytes(m_dir / "Save/kept.sav"), "game");
}

} // namespace
