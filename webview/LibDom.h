// libdom's headers for C++: they are C (no extern "C" guards) and name parameters `namespace`,
// so the C headers they pull in are included first and the keyword is renamed around them.
#pragma once
#include <assert.h>
#include <inttypes.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

extern "C" {
#define namespace dom_namespace_
#include <libwapcaplet/libwapcaplet.h>
#include <dom/dom.h>
#undef namespace
}
