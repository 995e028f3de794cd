// libcss's public headers for C++: they use C's "restrict". Include this instead of
// <libcss/libcss.h>.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <libwapcaplet/libwapcaplet.h>

#define restrict __restrict
#include <libcss/libcss.h>
#undef restrict
