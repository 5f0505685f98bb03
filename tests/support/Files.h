#pragma once
// Files for tests: bytes in and out, a scratch folder per test, the
// exception an action throws, and the file layer's calls replaced.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "platform/File.h"
#include "platform/Utf8.h"

namespace testsupport {

inline std::wstring Wide(const std::filesystem::path& path) { return platform::FromUtf8(path.string()); }

// Makes the folders on the way.
inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The exception of type E that action throws; none when it throws nothing.
template <class E>
std::optional<E> Thrown(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e;
    }
    return std::nullopt;
}

// An empty folder of the running test's own under the temporary folder
// (tests run side by side).
inline std::filesystem::path MakeScratchFolder() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir =
        std::filesystem::path(testing::TempDir()) /
        (std::string("morvheld_") + info->test_suite_name() + "_" + info->name() + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// Such a folder, removed afterwards.
class ScratchFolder : public testing::Test {
protected:
    void SetUp() override { m_dir = MakeScratchFolder(); }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

// The file layer's calls replaced while it lives (a failing disk, a call
// that is refused); the system's come back however the test ends.
class CInstalledFileCalls {
public:
    explicit CInstalledFileCalls(platform::IFileCalls& calls) { platform::SetFileCalls(&calls); }
    ~CInstalledFileCalls() { platform::SetFileCalls(nullptr); }
    CInstalledFileCalls(const CInstalledFileCalls&) = delete;
    CInstalledFileCalls& operator=(const CInstalledFileCalls&) = delete;
};

// A scratch folder the test runs in: entered when made, left and removed
// when it goes.
class CScratchWorkingFolder {
public:
    CScratchWorkingFolder() : m_dir(MakeScratchFolder()), m_cwd(std::filesystem::current_path()) {
        std::filesystem::current_path(m_dir);
    }
    ~CScratchWorkingFolder() {
        std::filesystem::current_path(m_cwd);
        std::filesystem::remove_all(m_dir);
    }
    CScratchWorkingFolder(const CScratchWorkingFolder&) = delete;
    CScratchWorkingFolder& operator=(const CScratchWorkingFolder&) = delete;

    const std::filesystem::path& Path() const { return m_dir; }

private:
    std::filesystem::path m_dir;
    std::filesystem::path m_cwd;
};

} // namespace testsupport
