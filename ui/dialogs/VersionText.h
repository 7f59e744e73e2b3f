#pragma once
#include <string>

// The version an about box shows for a version resource's ProductVersion text: up to four
// comma-separated decimal numbers as "a.b.c.d" ("1, 0, 1, 1" is 1.0.1.1). Missing numbers are
// 0 and numbers after the fourth are ignored; a text written with dots is one number, so
// "1.2.3.4" shows as 1.0.0.0.
std::string FormatProductVersion(const std::string& text);
