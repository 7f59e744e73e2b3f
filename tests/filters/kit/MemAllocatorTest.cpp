// The kit's memory allocator on its own, as pins and the platform's filters use it.
#include <gtest/gtest.h>

#include <dshow.h>
#include <vfwmsgs.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>

#include "filters/kit/ComPtr.h"
#include "filters/kit/MediaType.h"
#include "filters/kit/MemAllocator.h"

namespace {

CComPtr<IMemAllocator> Committed(long buffers, long size, long align = 1, long prefix = 0) {
  CComPtr<IMemAllocator> allocator;
  EXPECT_EQ(CreateMemAllocator(allocator.Put()), S_OK);
  ALLOCATOR_PROPERTIES request{buffers, size, align, prefix}, actual{};
  EXPECT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  EXPECT_EQ(actual.cBuffers, buffers);
  EXPECT_EQ(actual.cbBuffer, size);
  EXPECT_EQ(allocator->Commit(), S_OK);
  return allocator;
}

CComPtr<IMediaSample> Take(IMemAllocator* allocator, DWORD flags = 0, HRESULT expected = S_OK) {
  CComPtr<IMediaSample> sample;
  EXPECT_EQ(allocator->GetBuffer(sample.Put(), nullptr, nullptr, flags), expected);
  return sample;
}

TEST(MemAllocator, RefusesWhatTheInterfaceRefuses) {
  CComPtr<IMemAllocator> allocator;
  ASSERT_EQ(CreateMemAllocator(allocator.Put()), S_OK);
  EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
  Take(allocator.Get(), 0, VFW_E_NOT_COMMITTED);
  ALLOCATOR_PROPERTIES actual{};
  for (long align : {0L, 3L, -4L}) {
    ALLOCATOR_PROPERTIES request{2, 100, align, 0};
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BADALIGN) << align;
  }
  ALLOCATOR_PROPERTIES request{2, 100, 1, 0};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
  CComPtr<IMediaSample> sample = Take(allocator.Get());
  EXPECT_EQ(allocator->Decommit(), S_OK);
  EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING);
  Take(allocator.Get(), 0, VFW_E_NOT_COMMITTED);
  sample.Reset();
  EXPECT_EQ(allocator->SetProperties(&request, &actual), S_OK);
}

// Every buffer is its own, aligned, with room for its prefix before it; when all are out the
// next GetBuffer waits, or fails at once with AM_GBF_NOWAIT.
TEST(MemAllocator, HandsOutDistinctAlignedBuffersUntilAllAreOut) {
  CComPtr<IMemAllocator> allocator = Committed(3, 1000, 64, 16);
  CComPtr<IMediaSample> samples[3];
  std::set<BYTE*> seen;
  for (auto& sample : samples) {
    sample = Take(allocator.Get());
    ASSERT_TRUE(sample);
    BYTE* data = nullptr;
    ASSERT_EQ(sample->GetPointer(&data), S_OK);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 64, 0u);
    EXPECT_EQ(sample->GetSize(), 1000);
    std::memset(data - 16, 0xAB, 16 + 1000);
    seen.insert(data);
  }
  EXPECT_EQ(seen.size(), 3u);
  for (BYTE* data : seen) {
    for (BYTE* other : seen) EXPECT_TRUE(data == other || data + 1000 <= other - 16 || other + 1000 <= data - 16);
  }
  Take(allocator.Get(), AM_GBF_NOWAIT, VFW_E_TIMEOUT);
  BYTE* returned = nullptr;
  samples[1]->GetPointer(&returned);
  samples[1].Reset();
  CComPtr<IMediaSample> again = Take(allocator.Get(), AM_GBF_NOWAIT);
  BYTE* data = nullptr;
  again->GetPointer(&data);
  EXPECT_EQ(data, returned);
}

// A streaming thread waiting for a buffer goes on when one comes back, and gives up when
// the allocator is decommitted (a filter stopping).
TEST(MemAllocator, AWaitingGetBufferEndsWithAReturnOrADecommit) {
  for (bool decommit : {false, true}) {
    CComPtr<IMemAllocator> allocator = Committed(1, 64);
    CComPtr<IMediaSample> out = Take(allocator.Get());
    std::atomic<HRESULT> result{E_PENDING};
    std::thread waiter([&] {
      CComPtr<IMediaSample> sample;
      result = allocator->GetBuffer(sample.Put(), nullptr, nullptr, 0);
    });
    ::Sleep(100);
    EXPECT_EQ(result.load(), E_PENDING) << "it waits while every buffer is out";
    if (decommit) {
      allocator->Decommit();
    } else {
      out.Reset();
    }
    waiter.join();
    EXPECT_EQ(result.load(), decommit ? VFW_E_NOT_COMMITTED : S_OK);
  }
}

// A sample out keeps its memory and its allocator: after Decommit and after the last other
// reference to the allocator, it can still be written and released.
TEST(MemAllocator, ASampleOutKeepsItsMemoryUntilItComesBack) {
  CComPtr<IMemAllocator> allocator = Committed(2, 4096);
  CComPtr<IMediaSample> sample = Take(allocator.Get());
  allocator->Decommit();
  EXPECT_EQ(allocator->Commit(), S_OK) << "committed again while the sample is out";
  CComPtr<IMediaSample> second = Take(allocator.Get());
  EXPECT_TRUE(second);
  allocator->Decommit();
  allocator.Reset();
  BYTE* data = nullptr;
  ASSERT_EQ(sample->GetPointer(&data), S_OK);
  std::memset(data, 0x5A, 4096);
  EXPECT_EQ(sample->GetActualDataLength(), 4096);
  second.Reset();
  sample.Reset();
}

// What one user of a sample set is gone when the sample is handed out again.
TEST(MemAllocator, SamplesCarryTimesFlagsAndTypeAndComeBackClean) {
  CComPtr<IMemAllocator> allocator = Committed(1, 100);
  CComPtr<IMediaSample> sample = Take(allocator.Get());
  REFERENCE_TIME start = 10, stop = 20;
  EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(sample->SetTime(&start, nullptr), S_OK);
  REFERENCE_TIME gotStart = 0, gotStop = 0;
  EXPECT_EQ(sample->GetTime(&gotStart, &gotStop), VFW_S_NO_STOP_TIME);
  EXPECT_EQ(gotStart, 10);
  EXPECT_EQ(gotStop, 11);
  EXPECT_EQ(sample->SetTime(&start, &stop), S_OK);
  EXPECT_EQ(sample->GetTime(&gotStart, &gotStop), S_OK);
  EXPECT_EQ(gotStop, 20);
  LONGLONG mediaStart = 1000, mediaStop = 2000, gotMediaStart = 0, gotMediaStop = 0;
  EXPECT_EQ(sample->GetMediaTime(&gotMediaStart, &gotMediaStop), VFW_E_MEDIA_TIME_NOT_SET);
  EXPECT_EQ(sample->SetMediaTime(&mediaStart, &mediaStop), S_OK);
  EXPECT_EQ(sample->GetMediaTime(&gotMediaStart, &gotMediaStop), S_OK);
  EXPECT_EQ(gotMediaStop, 2000);
  EXPECT_EQ(sample->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(sample->SetActualDataLength(40), S_OK);
  EXPECT_EQ(sample->GetActualDataLength(), 40);
  sample->SetSyncPoint(TRUE);
  sample->SetPreroll(TRUE);
  sample->SetDiscontinuity(TRUE);
  EXPECT_EQ(sample->IsSyncPoint(), S_OK);
  EXPECT_EQ(sample->IsPreroll(), S_OK);
  EXPECT_EQ(sample->IsDiscontinuity(), S_OK);
  CMediaType type = PcmMediaType(MakePcmFormat(44100, 2, 16));
  EXPECT_EQ(sample->SetMediaType(&type), S_OK);
  AM_MEDIA_TYPE* carried = nullptr;
  ASSERT_EQ(sample->GetMediaType(&carried), S_OK);
  ASSERT_NE(carried, nullptr);
  EXPECT_TRUE(SameMediaType(*carried, type));
  DeleteMediaType(carried);

  sample.Reset();
  sample = Take(allocator.Get());
  EXPECT_EQ(sample->GetTime(&gotStart, &gotStop), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(sample->GetMediaTime(&gotMediaStart, &gotMediaStop), VFW_E_MEDIA_TIME_NOT_SET);
  EXPECT_EQ(sample->GetActualDataLength(), 100);
  EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(sample->IsPreroll(), S_FALSE);
  EXPECT_EQ(sample->IsDiscontinuity(), S_FALSE);
  EXPECT_EQ(sample->GetMediaType(&carried), S_FALSE);
  EXPECT_EQ(carried, nullptr);
}

}  // namespace
