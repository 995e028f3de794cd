// Render engine: the hint that fetches a control's object into the cache before it paints.
#include "UIRender.h"
#if defined(_MSC_VER)
#include <xmmintrin.h>
#endif

namespace Veneer {

namespace {

const int kPrefetchBytes = 4096;

#if defined(__GNUC__) && defined(__i386__) && !defined(__SSE__)
// The 32-bit build targets processors before SSE, whose instruction set has no prefetch: the
// instruction is compiled here alone and used only where the processor reports SSE. The function
// stays out of inlining and of the optimiser's view of it as doing nothing, where it would vanish.
__attribute__((target("sse"), noipa)) void PrefetchBytes(const char* bytes)
{
    for (int offset = 0; offset < kPrefetchBytes; offset += 64)
        __builtin_prefetch(bytes + offset);
}

const bool g_bCanPrefetch = ::IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
#else
void PrefetchBytes(const char* bytes)
{
    for (int offset = 0; offset < kPrefetchBytes; offset += 64) {
#if defined(__GNUC__)
        __builtin_prefetch(bytes + offset);
#elif defined(_MSC_VER)
        _mm_prefetch(bytes + offset, _MM_HINT_T0);
#endif
    }
}

const bool g_bCanPrefetch = true;
#endif

} // namespace

void CUIPainter::PrefetchControl(const CControlUI* pControl)
{
    // Painting a control reads fields all over its object (a button is about 4 KB), and in a large
    // window the objects are cold in the cache: fetching the next sibling while one paints
    // (microseconds of GDI work) hides most of the misses. Reads nothing; a hint only.
    if (g_bCanPrefetch) PrefetchBytes(reinterpret_cast<const char*>(pControl));
}

} // namespace Veneer
