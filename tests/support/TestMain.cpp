// main() of every test program. Under Windows a failed test leaves a screenshot of the
// whole (virtual) screen in $SONDREL_ARTIFACTS, so a person can see what the window showed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Screenshot.h"

bool SaveScreenAsBitmap(const std::string& path) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
  std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
  ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  return std::fclose(out) == 0;
}

std::string ArtifactPath(const std::string& name) {
  const char* folder = std::getenv("SONDREL_ARTIFACTS");
  if (folder == nullptr) return {};
  // The variable holds a Linux path; Wine maps it through drive Z:.
  std::string path = std::string("Z:") + folder + "/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

namespace {

class ScreenshotOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo& test) override {
    if (!test.result()->Failed()) return;
    std::string name = std::string(test.test_suite_name()) + "." + test.name();
    for (char& c : name) {
      if (c == '/' || c == '\\' || c == ':') c = '_';
    }
    const std::string path = ArtifactPath(name + ".bmp");
    if (!path.empty() && SaveScreenAsBitmap(path)) std::printf("Screenshot of the failure: %s\n", path.c_str());
  }
};

}  // namespace
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
#ifdef _WIN32
  ::testing::UnitTest::GetInstance()->listeners().Append(new ScreenshotOnFailure);
#endif
  return RUN_ALL_TESTS();
}
