// The web view's side of bench/webview-conformance.sh: loads each page of the corpus in an
// 800 x 600 view, lets the page's own measuring script (bench/conformance/measure.js) hand its
// JSON of element boxes over, character by character, through the bound conformanceEmit, and
// writes that JSON and the view's picture (a 32-bit BMP) into the output folder:
//   OUT/NAME.ours.json, OUT/NAME.ours.bmp
// A page whose script did not finish gets no JSON file; the script counts it as unmeasured.
//   webview_conformance BASE-URL OUT-FOLDER NAME...     (the page is BASE-URL + NAME)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "webview.h"

namespace {

std::wstring g_text;  // the page's JSON so far
bool g_done = false;  // the page emitted its end mark (-1)
bool g_loaded = false;

jsValue Emit(jsExecState es) {
    int c = wkeJSToInt(es, wkeJSParam(es, 0));
    if (c < 0)
        g_done = true;
    else
        g_text += (wchar_t)c;
    return wkeJSUndefined(es);
}

void OnFinish(wkeWebView, void*, wkeString, int, wkeString) { g_loaded = true; }

template <class F> bool Pump(DWORD ms, F done) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (::GetTickCount() - start >= ms) return false;
        ::Sleep(5);
    }
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

std::string Utf8(const std::wstring& w) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string s(n > 0 ? n : 0, '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

// The view's picture as a top-down 32-bit BMP.
bool SavePicture(wkeWebView v, int w, int h, const std::string& path) {
    wkeRepaintIfNeededAfterInterval(v);
    HDC dc = wkeGetViewDC(v);
    HBITMAP bmp = dc ? (HBITMAP)::GetCurrentObject(dc, OBJ_BITMAP) : NULL;
    if (!bmp) return false;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<unsigned char> pixels((size_t)w * h * 4);
    if (::GetDIBits(dc, bmp, 0, h, pixels.data(), &bi, DIB_RGB_COLORS) != h) return false;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    fh.bfSize = fh.bfOffBits + (DWORD)pixels.size();
    std::string file((const char*)&fh, sizeof fh);
    file.append((const char*)&bi.bmiHeader, sizeof(BITMAPINFOHEADER));
    file.append((const char*)pixels.data(), pixels.size());
    return WriteFile(path, file.data(), file.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: webview_conformance BASE-URL OUT-FOLDER NAME...\n");
        return 2;
    }
    const int kWidth = 800, kHeight = 600;
    const std::string base = argv[1], out = argv[2];
    wkeInitialize();
    wkeJSBindFunction("conformanceEmit", Emit, 1);
    int failures = 0;
    for (int i = 3; i < argc; ++i) {
        const std::string name = argv[i], url = base + name;
        g_text.clear();
        g_done = g_loaded = false;
        wkeWebView v = wkeCreateWebView();
        wkeResize(v, kWidth, kHeight);
        wkeOnLoadingFinish(v, OnFinish, nullptr);
        wkeLoadW(v, std::wstring(url.begin(), url.end()).c_str());
        bool measured = Pump(30000, [] { return g_done; });
        if (measured) {
            std::string json = Utf8(g_text);
            measured = WriteFile(out + "/" + name + ".ours.json", json.data(), json.size());
        }
        bool pictured = SavePicture(v, kWidth, kHeight, out + "/" + name + ".ours.bmp");
        printf("%s %s %s\n", name.c_str(), measured ? "measured" : (g_loaded ? "no-measure" : "not-loaded"),
               pictured ? "pictured" : "no-picture");
        fflush(stdout);
        failures += measured ? 0 : 1;
        wkeDestroyWebView(v);
    }
    wkeFinalize();
    return failures ? 1 : 0;
}
