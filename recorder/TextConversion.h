#pragma once
#include <string>

// Every text of the program is 8-bit in the system's ANSI code page; DirectShow speaks UTF-16.
std::string ToAnsi(const wchar_t* text);
std::wstring ToWide(const std::string& text);
