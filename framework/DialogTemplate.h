#pragma once
// The window classes that a dialog template names for its controls, read from the
// template's bytes (DLGTEMPLATE or DLGTEMPLATEEX). Controls of the predefined classes
// (button, edit, static, list box, scroll bar, combo box) are named by an ordinal and are
// not listed. Needs no Windows, so that it also runs under the sanitizers.
#include <cstddef>
#include <string>
#include <vector>

// The class names in control order, as the template spells them; a character beyond ASCII
// reads as '?'. A template that ends early gives the names of its complete controls.
std::vector<std::string> DialogControlClassNames(const void* data, size_t size);
