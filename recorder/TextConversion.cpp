#include "recorder/TextConversion.h"

#include <windows.h>

std::string ToAnsi(const wchar_t* text) {
  if (text == nullptr) return {};
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string result(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), size, nullptr, nullptr);
  result.resize(static_cast<size_t>(size - 1));
  return result;
}

std::wstring ToWide(const std::string& text) {
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 1) return {};
  std::wstring result(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, result.data(), size);
  result.resize(static_cast<size_t>(size - 1));
  return result;
}
