#pragma once
#include <windows.h>

// A GDI font owned for the object's lifetime.
class CFont {
 public:
  CFont() = default;
  ~CFont() { DeleteObject(); }
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                  BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                  BYTE pitchAndFamily, const char* faceName) {
    DeleteObject();
    m_hObject = ::CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                              outPrecision, clipPrecision, quality, pitchAndFamily, faceName);
    return m_hObject != nullptr;
  }
  void DeleteObject() {
    if (m_hObject != nullptr) ::DeleteObject(m_hObject);
    m_hObject = nullptr;
  }
  operator HFONT() const { return m_hObject; }

 private:
  HFONT m_hObject = nullptr;
};
