#pragma once
// Exceptions of the utility library and the game, and the message display
// that shows them to the player.
#include <cstdint>
#include <string>

namespace vek {

class CException {
public:
    // function: literal qualified name ("vek::CFile::Open"); sourceFile: the
    // raiser's source file, any path form; only the name after the last
    // separator is shown.
    CException(const std::wstring& function, const std::wstring& sourceFile, int32_t line, const std::wstring& message);
    CException(const CException&) = default;
    CException& operator=(const CException&) = default;
    virtual ~CException();

    // Hands the full text to the installed message display, if any.
    virtual void Display() const;

    std::wstring GetDetails() const { return m_message; }
    // Adds to the message, and to the full text where the message stands, as
    // a layer that the exception passes through says where it was (a script
    // adds its file and line). The kind and the rest of the text stay.
    void ExtendDetails(const std::wstring& more);
    const std::wstring& GetText() const { return m_text; }
    const std::wstring& GetFunction() const { return m_function; }
    const std::wstring& GetSourceFile() const { return m_sourceFile; }
    int32_t GetLine() const { return m_line; }

protected:
    int32_t m_line;
    std::wstring m_sourceFile;
    std::wstring m_function;
    std::wstring m_message;
    std::wstring m_text;
};

class CFileException : public CException {
public:
    enum : uint32_t {
        kNotFound = 1,
        kAccessDenied = 2,
        kInsufficientRights = 3,
        kAlreadyExists = 4,
        kInvalidContent = 5,
        kInvalidVersion = 6,
        kOther = 7,
    };

    CFileException(uint32_t code, const std::wstring& fileName, const std::wstring& function,
                   const std::wstring& sourceFile, int32_t line, const std::wstring& message);
    // The same with a label of its own where the code's text would stand
    // (the cause of a failed system call: "No space left on the disk").
    CFileException(uint32_t code, const std::wstring& label, const std::wstring& fileName, const std::wstring& function,
                   const std::wstring& sourceFile, int32_t line, const std::wstring& message);
    ~CFileException() override;

    void AppendFileName(const std::wstring& codeText);
    uint32_t GetCode() const { return m_code; }
    const std::wstring& GetFileName() const { return m_fileName; }

private:
    std::wstring m_fileName;
    uint32_t m_code;
};

// Text of a CFileException code 1..7; empty for any other code.
std::wstring FileErrorText(uint32_t code);

// The code and the label of a file error whose cause is a system error
// (an errno value): a missing file or folder is kNotFound, a refused access
// kAccessDenied, an operation not permitted or a read-only file system
// kInsufficientRights, a name taken kAlreadyExists, anything else kOther;
// each with a label that says which.
struct TFileErrorKind {
    uint32_t code;
    const wchar_t* label;
};
TFileErrorKind FileErrorKindOf(int error);

// Where the library sends texts that the player must see; the game installs
// its own. Nothing in the library installs one.
class CMessageDisplay {
public:
    virtual ~CMessageDisplay() = default;
    virtual void Display(const std::wstring& text) = 0;
};

CMessageDisplay* GetMessageDisplay();
// Does not take ownership.
void SetMessageDisplay(CMessageDisplay* display);

} // namespace vek
