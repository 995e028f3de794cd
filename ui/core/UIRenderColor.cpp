// Render engine: the hue/saturation/lightness colour model behind the skin's "colorhsl" and "hsl"
// switches.
#include "UIRender.h"

namespace Veneer {

void CUIPainter::RGBtoHSL(DWORD colour, float* H, float* S, float* L)
{
    const float r = (float)((colour >> 16) & 0xFF) / 255.0f;
    const float g = (float)((colour >> 8) & 0xFF) / 255.0f;
    const float b = (float)(colour & 0xFF) / 255.0f;
    const float mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    const float mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    float h = 0, s = 0;
    const float l = (mx + mn) / 2.0f;
    if (mx != mn) {
        const float d = mx - mn;
        s = (2.0f * l <= 1.0f) ? d / (mx + mn) : d / (2.0f - mx - mn);
        if (mx == r) h = (g - b) / d + (g < b ? 6.0f : 0.0f);
        else if (mx == g) h = (b - r) / d + 2.0f;
        else h = (r - g) / d + 4.0f;
        h *= 60.0f;
    }
    *H = h;
    *S = s;
    *L = l;
}

static float HueToChannel(float p, float q, float t)
{
    if (t < 0) t += 1.0f;
    if (t > 1) t -= 1.0f;
    if (t < 1.0f / 6.0f) return p + (q - p) * 6.0f * t;
    if (t < 0.5f) return q;
    if (t < 2.0f / 3.0f) return p + (q - p) * (2.0f / 3.0f - t) * 6.0f;
    return p;
}

static BYTE ToByte(float v)
{
    float x = v * 255.0f;
    if (x < 0) x = 0;
    if (x > 255) x = 255;
    return (BYTE)x;
}

void CUIPainter::HSLtoRGB(DWORD* colour, float H, float S, float L)
{
    float r, g, b;
    if (S == 0) {
        r = g = b = L;
    } else {
        const float q = L < 0.5f ? L * (1.0f + S) : L + S - L * S;
        const float p = 2.0f * L - q;
        const float h = H / 360.0f;
        r = HueToChannel(p, q, h + 1.0f / 3.0f);
        g = HueToChannel(p, q, h);
        b = HueToChannel(p, q, h - 1.0f / 3.0f);
    }
    *colour = (*colour & 0xFF000000) | ((DWORD)ToByte(r) << 16) | ((DWORD)ToByte(g) << 8) | ToByte(b);
}

DWORD CUIPainter::AdjustColor(DWORD colour, short H, short S, short L)
{
    if (H == 180 && S == 100 && L == 100) return colour;
    float h, s, l;
    RGBtoHSL(colour, &h, &s, &l);
    h += H - 180;
    if (h <= 0) h += 360;
    else if (h > 360) h -= 360;
    s = s * S / 100;
    l = l * L / 100;
    HSLtoRGB(&colour, h, s, l);
    return colour;
}

} // namespace Veneer
