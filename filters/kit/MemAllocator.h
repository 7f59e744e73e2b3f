#pragma once
// The kit's memory allocator: a fixed set of samples in one block of memory. Taking a sample
// and giving it back take a slim lock and wait only while every sample is out, where the
// platform's allocator makes two kernel calls for every sample (under Wine two round trips to
// the wineserver, 25-40 us of CPU a sample). Pins of the kit hand it out and prefer it
// (InputPin.cpp, OutputPin.cpp).
//
// A sample comes back to the allocator with its last Release: IMemAllocator::ReleaseBuffer is
// not how samples are returned and fails. A sample out holds a reference on its allocator, so
// the memory lives until the last sample comes back, also after Decommit or the last outside
// reference.
#include <strmif.h>

HRESULT CreateMemAllocator(IMemAllocator** out);
