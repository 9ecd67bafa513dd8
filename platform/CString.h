#pragma once
// A narrow text string in the program's code page (UTF-8).
// Imitates: value semantics, implicit LPCTSTR conversion, printf-style Format, searching
// and cutting by character position, GetBuffer/ReleaseBuffer for C APIs writing into it.
// Leaves out: wide strings, resource-string loading, reference-counted sharing.

#include <string>

#include "platform/WinTypes.h"

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const std::string& text) : m_text(text) {}
    CString(const char* text, int length) : m_text(text ? std::string(text, static_cast<size_t>(length)) : "") {}

    operator LPCTSTR() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }

    CString& operator=(const char* text) {
        m_text = text ? text : "";
        return *this;
    }
    CString& operator+=(const CString& other) {
        m_text += other.m_text;
        return *this;
    }
    CString& operator+=(const char* text) {
        m_text += text ? text : "";
        return *this;
    }
    CString& operator+=(char c) {
        m_text += c;
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_text + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_text); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    int Find(char c, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char c) const;
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    void MakeLower();

    // A buffer of at least `minLength` characters plus the terminator for C code to fill;
    // ReleaseBuffer then takes the text up to the first NUL (or `length` when given).
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int length = -1);

private:
    std::string m_text;
};
