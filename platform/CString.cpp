#include "platform/CString.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int needed = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_text.clear();
    } else {
        std::vector<char> buffer(static_cast<size_t>(needed) + 1);
        vsnprintf(buffer.data(), buffer.size(), format, args);
        m_text.assign(buffer.data(), static_cast<size_t>(needed));
    }
    va_end(args);
}

int CString::Find(char c, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    size_t pos = m_text.find(c, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const {
    if (!sub || start < 0 || start > GetLength()) return -1;
    size_t pos = m_text.find(sub, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char c) const {
    size_t pos = m_text.rfind(c);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const {
    first = std::clamp(first, 0, GetLength());
    return CString(m_text.substr(static_cast<size_t>(first)));
}

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(m_text.size() - static_cast<size_t>(count)));
}

void CString::MakeLower() {
    // Only A to Z: the program's code page is UTF-8 and other bytes keep their meaning.
    for (char& c : m_text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_text.resize(static_cast<size_t>(minLength));
    m_text.push_back('\0');  // room for the terminator the caller writes
    m_text.pop_back();
    return m_text.data();
}

void CString::ReleaseBuffer(int length) {
    if (length < 0)
        m_text.resize(strnlen(m_text.c_str(), m_text.size()));
    else
        m_text.resize(static_cast<size_t>(std::min(length, GetLength())));
}
