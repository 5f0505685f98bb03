#include "data/MessageLog.h"

#include <utility>

CMessageLog::CMessageLog(Echo echo) : m_echo(std::move(echo)) {}

void CMessageLog::AddMessage(const std::wstring& text, uint32_t type, bool flag) {
    if (!m_lines.empty() && m_lines.back().text == text && m_lines.back().type == type) {
        TMessageLine& last = m_lines.back();
        if (last.count < UINT32_MAX) {
            ++last.count;
        }
        last.flag = flag;
    } else {
        m_lines.push_back(TMessageLine{text, type, flag, 1});
        if (m_lines.size() > kMaxLines) {
            m_lines.pop_front();
        }
    }
    if (m_echo) {
        m_echo(m_lines.back());
    }
}
