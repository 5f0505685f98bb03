#include "VEKLib/Exception.h"

#include <algorithm>
#include <cerrno>

#include "VEKLib/Files.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"

namespace vek {

namespace {
CMessageDisplay* g_messageDisplay = nullptr;
}

CException::CException(const std::wstring& function, const std::wstring& sourceFile, int32_t line,
                       const std::wstring& message)
    : m_line(line), m_sourceFile(sourceFile), m_function(function), m_message(message) {
    if (!is_string_empty(m_message)) {
        m_text = L"Details: " + m_message;
    }
    const std::wstring shortName = CleanPath(GetTextAfterLast(m_sourceFile));
    m_text += Format(L"\r\nSource file: %s\r\nFunction: %s\r\nLine: %li", shortName, m_function, m_line);
}

CException::~CException() = default;

void CException::ExtendDetails(const std::wstring& more) {
    const bool blank = is_string_empty(m_message);
    const std::wstring shown = blank ? more.substr(std::min(more.find_first_not_of(L' '), more.size())) : more;
    m_message = blank ? shown : m_message + shown;
    // In the text the message ends where the source lines begin (a file
    // error's first message ends there too); a blank one had no "Details: ".
    const size_t at = m_text.rfind(L"\r\nSource file: ");
    m_text.insert(at == std::wstring::npos ? m_text.size() : at, blank ? L"Details: " + shown : shown);
}

void CException::Display() const {
    if (g_messageDisplay) {
        g_messageDisplay->Display(m_text);
    }
}

std::wstring FileErrorText(uint32_t code) {
    switch (code) {
    case CFileException::kNotFound:
        return L"File not found";
    case CFileException::kAccessDenied:
        return L"Access to file denied";
    case CFileException::kInsufficientRights:
        return L"Insufficient file rights";
    case CFileException::kAlreadyExists:
        return L"File already exists";
    case CFileException::kInvalidContent:
        return L"Invalid file content";
    case CFileException::kInvalidVersion:
        return L"Invalid file version";
    case CFileException::kOther:
        return L"Other error";
    default:
        return std::wstring();
    }
}

CFileException::CFileException(uint32_t code, const std::wstring& fileName, const std::wstring& function,
                               const std::wstring& sourceFile, int32_t line, const std::wstring& message)
    : CException(function, sourceFile, line, message), m_fileName(fileName), m_code(code) {
    const std::wstring codeText = FileErrorText(code);
    if (!codeText.empty()) {
        AppendFileName(codeText);
    }
}

CFileException::CFileException(uint32_t code, const std::wstring& label, const std::wstring& fileName,
                               const std::wstring& function, const std::wstring& sourceFile, int32_t line,
                               const std::wstring& message)
    : CException(function, sourceFile, line, message), m_fileName(fileName), m_code(code) {
    AppendFileName(label);
}

CFileException::~CFileException() = default;

TFileErrorKind FileErrorKindOf(int error) {
    switch (error) {
    case ENOENT:
        return {CFileException::kNotFound, L"File or folder not found"};
    case ENOTDIR:
        return {CFileException::kNotFound, L"Not a folder on the file's path"};
    case EACCES:
        return {CFileException::kAccessDenied, L"Access to file denied"};
    case EPERM:
        return {CFileException::kInsufficientRights, L"Operation on the file not permitted"};
    case EROFS:
        return {CFileException::kInsufficientRights, L"File system read-only"};
    case EEXIST:
        return {CFileException::kAlreadyExists, L"File already exists"};
    case ENOSPC:
        return {CFileException::kOther, L"No space left on the disk"};
    case EDQUOT:
        return {CFileException::kOther, L"Disk quota exceeded"};
    case EFBIG:
        return {CFileException::kOther, L"File too large"};
    case ELOOP:
        return {CFileException::kOther, L"Too many links on the file's path"};
    case EISDIR:
        return {CFileException::kOther, L"File is a folder"};
    case ENAMETOOLONG:
        return {CFileException::kOther, L"File name too long"};
    default:
        return {CFileException::kOther, L"Other error"};
    }
}

void CFileException::AppendFileName(const std::wstring& codeText) {
    m_message = codeText + L" (" + m_fileName + L")";
    // The first message survives only inside the full text, which keeps it.
    m_text = m_message + m_text + L".\r\n";
}

CMessageDisplay* GetMessageDisplay() { return g_messageDisplay; }

void SetMessageDisplay(CMessageDisplay* display) { g_messageDisplay = display; }

} // namespace vek
