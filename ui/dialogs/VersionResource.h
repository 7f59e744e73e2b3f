#pragma once
#include <string>

// Reads the US English (040904e4) ProductVersion and LegalCopyright of an executable's version
// resource; `fileName` is found the way the system looks for version information (a bare
// name: the program's own folder first). The version is formatted as "a.b.c.d" and is empty
// when the block holds no ProductVersion; the notice is empty when it holds no copyright.
// 1 when the file has a version block, 0 otherwise (the outputs are then left unchanged).
int ReadVersionInfo(const std::string& fileName, std::string& legalNotice, std::string& version);
