#include "ScriptLimits.h"

#include <cstdlib>
#include <cstring>

namespace webview {

namespace {
DWORD g_tickStart = 0;

// Each block carries its size in front, aligned for any type the engine stores.
const size_t kHeader = alignof(std::max_align_t) > sizeof(size_t) ? alignof(std::max_align_t) : sizeof(size_t);

size_t SizeOf(void* ptr) {
    size_t size;
    memcpy(&size, static_cast<char*>(ptr) - kHeader, sizeof(size));
    return size;
}
}  // namespace

void BeginTick() {
    g_tickStart = GetTickCount();
}

bool TickBudgetLeft() {
    return GetTickCount() - g_tickStart < kTickBudgetMs;
}

void* MeteredAlloc(HeapMeter& meter, size_t size) {
    if (size == 0) return nullptr;
    if (size > meter.limit - meter.used || meter.used > meter.limit) {
        meter.exceeded = true;
        return nullptr;
    }
    char* block = static_cast<char*>(malloc(size + kHeader));
    if (!block) {
        meter.exceeded = true;
        return nullptr;
    }
    memcpy(block, &size, sizeof(size));
    meter.used += size;
    return block + kHeader;
}

void* MeteredRealloc(HeapMeter& meter, void* ptr, size_t size) {
    if (!ptr) return MeteredAlloc(meter, size);
    if (size == 0) {
        MeteredFree(meter, ptr);
        return nullptr;
    }
    size_t old = SizeOf(ptr);
    if (size > old && size - old > meter.limit - meter.used) {
        meter.exceeded = true;
        return nullptr;
    }
    char* block = static_cast<char*>(realloc(static_cast<char*>(ptr) - kHeader, size + kHeader));
    if (!block) {
        meter.exceeded = true;
        return nullptr;
    }
    memcpy(block, &size, sizeof(size));
    meter.used = meter.used - old + size;
    return block + kHeader;
}

void MeteredFree(HeapMeter& meter, void* ptr) {
    if (!ptr) return;
    meter.used -= SizeOf(ptr);
    free(static_cast<char*>(ptr) - kHeader);
}

}  // namespace webview
