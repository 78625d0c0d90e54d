#pragma once
// Small text and file utilities shared by the station: conversion between narrow text (UTF-8,
// the host code page) and wide text, file size, and substring replacement.

#include <cstdint>

// Converts UTF-8 text to wide text. Bytes that are not valid UTF-8 become U+FFFD; a null text
// gives an empty result. The result is owned by the calling thread and stays valid until that
// thread's next call of char2wchar; the caller must not free it.
wchar_t* char2wchar(const char* text);

// Converts wide text to UTF-8. Values that are not Unicode scalar values become U+FFFD; a null
// text gives an empty result. Ownership as for char2wchar, with its own buffer.
char* wchar2char(const wchar_t* text);

// Size in bytes of an existing regular file that can be opened for reading; 0 when it cannot.
// Sizes beyond the 32-bit range are reported as 0xFFFFFFFF.
uint32_t get_file_size(const char* path);

// Appends `source` to the text already in `destination`, with every occurrence of `from`
// replaced by `to`, writing at most `size` bytes into `destination` in all (terminator
// included). Output ends when the room is used up; a replacement that no longer fits ends it.
// Returns `destination`, or null (writing nothing) when an argument is null, `source` or
// `from` is empty, or `size` is not positive.
char* strrpl(const char* source, char* destination, int size, const char* from, const char* to);
