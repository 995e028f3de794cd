// Parses one large generated skin with the framework's markup parser and with pugixml, from the
// same UTF-8 bytes in the same process, and prints the median times and their ratio.
//   markup_bench [runs]
#include "UIMarkup.h"
#include <pugixml.hpp>
#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

using namespace Veneer;

namespace {

// About 20 MB and 200,000 elements: containers of controls with the attributes a skin carries.
std::string MakeSkin(int elements)
{
    std::string s = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                    "<Window size=\"800,600\" caption=\"0,0,0,32\" sizebox=\"4,4,4,4\" roundcorner=\"3,3\">\r\n"
                    "  <Font id=\"0\" name=\"\xE5\xAE\x8B\xE4\xBD\x93\" size=\"12\" bold=\"false\" />\r\n";
    int made = 2; // Window and Font
    char buf[600];
    int n = 0;
    while (made < elements) {
        snprintf(buf, sizeof(buf),
                 "  <VerticalLayout name=\"page%d\" padding=\"4,4,4,4\" bkcolor=\"#FFF0F0F0\" inset=\"2,2,2,2\">\r\n", n);
        s += buf;
        ++made;
        for (int i = 0; i < 8 && made < elements; ++i, ++made) {
            snprintf(buf, sizeof(buf),
                     "    <Button name=\"btn%d_%d\" text=\"\xE7\xA1\xAE\xE5\xAE\x9A &amp; %d\" pos=\"%d,%d,%d,%d\" "
                     "normalimage=\"file='btn.png' corner='4,4,4,4'\" />\r\n",
                     n, i, i, i * 10, i * 20, i * 10 + 80, i * 20 + 30);
            s += buf;
        }
        if (made < elements) {
            snprintf(buf, sizeof(buf), "    <Label name=\"lbl%d\" text=\"label %d\" align=\"center\">text of label %d</Label>\r\n",
                     n, n, n);
            s += buf;
            ++made;
        }
        s += "  </VerticalLayout>\r\n";
        ++n;
    }
    s += "</Window>\r\n";
    return s;
}

double Now()
{
    static LARGE_INTEGER freq = {};
    if (freq.QuadPart == 0)
        QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)freq.QuadPart;
}

int CountMarkup(CUIXmlNode node)
{
    int count = 0;
    for (; node.IsValid(); node = node.GetSibling())
        count += 1 + CountMarkup(node.GetChild());
    return count;
}

int CountPugi(pugi::xml_node node)
{
    int count = 0;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            count += 1 + CountPugi(c);
    return count;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 7;
    if (runs < 1)
        runs = 1;
    const int elements = 200000;
    std::string skin = MakeSkin(elements);

    std::vector<double> markupMs, pugiMs, convertMs, touchMs;
    for (int r = 0; r < runs; ++r) {
        {
            // The platform's share: the system's UTF-8 conversion (count, then convert) and
            // faulting in as much fresh memory as the UTF-16 text takes.
            double t0 = Now();
            int cch = MultiByteToWideChar(CP_UTF8, 0, skin.data() + 3, (int)skin.size() - 3, NULL, 0);
            wchar_t* w = static_cast<wchar_t*>(malloc(((size_t)cch + 1) * sizeof(wchar_t)));
            MultiByteToWideChar(CP_UTF8, 0, skin.data() + 3, (int)skin.size() - 3, w, cch);
            double t1 = Now();
            free(w);
            convertMs.push_back(t1 - t0);
            t0 = Now();
            char* fresh = static_cast<char*>(malloc(skin.size() * 2));
            for (size_t i = 0; i < skin.size() * 2; i += 4096)
                fresh[i] = 1;
            t1 = Now();
            free(fresh);
            touchMs.push_back(t1 - t0);
        }
        {
            CUIXmlDoc doc;
            double t0 = Now();
            bool ok = doc.LoadFromBytes(skin.data(), (unsigned)skin.size(), CUIXmlDoc::XMLFILE_ENCODING_UTF8);
            double t1 = Now();
            int count = ok ? CountMarkup(doc.GetRoot()) : -1;
            if (count != elements) {
                fprintf(stderr, "markup parser: %d elements (%ls)\n", count, doc.GetLastErrorMessage());
                return 1;
            }
            markupMs.push_back(t1 - t0);
        }
        {
            pugi::xml_document doc;
            double t0 = Now();
            pugi::xml_parse_result res = doc.load_buffer(skin.data(), skin.size());
            double t1 = Now();
            int count = res ? CountPugi(doc) : -1;
            if (count != elements) {
                fprintf(stderr, "pugixml: %d elements (%s)\n", count, res.description());
                return 1;
            }
            pugiMs.push_back(t1 - t0);
        }
    }
    double m = Median(markupMs), p = Median(pugiMs);
    printf("skin: %.1f MB, %d elements, %d runs each, %d-bit build\n", skin.size() / 1048576.0, elements, runs,
           (int)(sizeof(void*) * 8));
    printf("markup parser (UTF-8 -> UTF-16, in place): median %.1f ms\n", m);
    printf("pugixml %s (UTF-8, in place, defaults):      median %.1f ms\n", "1.13", p);
    printf("ratio markup / pugixml: %.2f\n", m / p);
    printf("for reference: system UTF-8 -> UTF-16 (MultiByteToWideChar, count + convert) median %.1f ms; "
           "faulting in %.0f MB of fresh memory median %.1f ms\n",
           Median(convertMs), skin.size() * 2 / 1048576.0, Median(touchMs));
    return 0;
}
