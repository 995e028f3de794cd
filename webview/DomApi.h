// libdom's public headers for C++: they are C, without C linkage guards, and some parameters are
// named "namespace". Include this instead of <dom/dom.h>.
#pragma once
// What libdom's headers include, made ready before the keyword is renamed.
#include <cassert>
#include <cinttypes>
#include <cstdarg>
#include <cstdbool>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libwapcaplet/libwapcaplet.h>

#define namespace dom_namespace_
extern "C" {
#include <dom/dom.h>
}
#undef namespace
