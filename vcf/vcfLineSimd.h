// The processor-specific forms of the line splitter, chosen by vcfLine.cpp at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__x86_64__)
#define ZEL_HAVE_SPLIT_AVX2 1
size_t VcfSplitLineAVX2(const char* p, size_t len, std::vector<uint32_t>& starts);
size_t VcfSplitLineCheckedAVX2(const char* p, size_t len, std::vector<uint32_t>& starts, bool& ctrl,
                               uint32_t& colons);
#endif
