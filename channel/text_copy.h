// Copying texts into fixed-capacity fields: cut to capacity - 1 units, always
// terminated, everything after the terminator zero.
#pragma once

#include <windows.h>

#include <cstddef>
#include <initializer_list>

namespace mivola {

// Length of s, but never more than capacity (for fields that may lack a terminator).
size_t BoundedLength(const wchar_t* s, size_t capacity);
size_t BoundedLength(const char* s, size_t capacity);

// src may be null (copies the empty text). capacity 0 writes nothing.
void CopyText(wchar_t* dst, size_t capacity, const wchar_t* src);
void CopyText(wchar_t* dst, size_t capacity, const wchar_t* src, size_t srcLength);
void CopyText(char* dst, size_t capacity, const char* src);

template <size_t N>
void CopyText(wchar_t (&dst)[N], const wchar_t* src) { CopyText(dst, N, src); }
template <size_t N>
void CopyText(char (&dst)[N], const char* src) { CopyText(dst, N, src); }

// Converts an ANSI text of code page `codePage` into a field, cut like CopyText when
// it is longer than the field. Null or unconvertible input leaves the field empty.
void AnsiToField(UINT codePage, const char* src, wchar_t* dst, size_t capacity);

// Concatenates parts into out; false (and an empty out) when they do not fit.
bool JoinText(char* out, size_t capacity, std::initializer_list<const char*> parts);

}  // namespace mivola
