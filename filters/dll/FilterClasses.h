#pragma once
#include <cstddef>

#include "filters/kit/ClassFactory.h"

// The classes SondrelFilters.dll serves, one row per filter (FilterClasses.cpp).
extern const CFilterClass kFilterClasses[];
extern const size_t kFilterClassCount;
