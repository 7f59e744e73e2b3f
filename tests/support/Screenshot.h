#pragma once
#ifdef _WIN32
#include <string>

// Saves the whole (virtual) screen as a 24-bit BMP file.
bool SaveScreenAsBitmap(const std::string& path);
// `name` in the run's artifact folder ($SONDREL_ARTIFACTS); empty when there is none.
std::string ArtifactPath(const std::string& name);
#endif
