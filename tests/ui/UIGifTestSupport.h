// A small GIF writer for the animation tests: solid frames from a four-colour table, each with
// its own delay. Every frame's graphic-control extension directly precedes its image (no
// application extension in between), so GDI+ reads each frame's delay.
#pragma once
#include <windows.h>
#include <vector>

namespace giftest {

struct Frame {
    BYTE colour;      // index into the table: 0 red, 1 green, 2 blue, 3 black
    WORD delay;       // hundredths of a second
};

inline void Put16(std::vector<BYTE>& out, WORD v)
{
    out.push_back((BYTE)(v & 0xFF));
    out.push_back((BYTE)(v >> 8));
}

// LZW data of one solid image. A clear code before every pixel keeps the code width at three
// bits, so the stream needs no dictionary at all.
inline std::vector<BYTE> SolidLzw(int pixels, BYTE colour)
{
    std::vector<BYTE> bytes;
    unsigned acc = 0;
    int bits = 0;
    auto emit = [&](unsigned code) {
        acc |= code << bits;
        bits += 3;
        while (bits >= 8) {
            bytes.push_back((BYTE)(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (int i = 0; i < pixels; ++i) {
        emit(4);   // clear
        emit(colour);
    }
    emit(5);       // end of information
    if (bits > 0) bytes.push_back((BYTE)(acc & 0xFF));
    return bytes;
}

inline std::vector<BYTE> MakeGif(int w, int h, const std::vector<Frame>& frames)
{
    std::vector<BYTE> out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, (WORD)w);
    Put16(out, (WORD)h);
    out.push_back(0x81);   // global table of 4 entries
    out.push_back(0);
    out.push_back(0);
    const BYTE table[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
    out.insert(out.end(), table, table + 12);
    for (const Frame& f : frames) {
        const BYTE gce[4] = {0x21, 0xF9, 0x04, 0x04};   // dispose: leave nothing behind
        out.insert(out.end(), gce, gce + 4);
        Put16(out, f.delay);
        out.push_back(0);
        out.push_back(0);
        out.push_back(0x2C);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, (WORD)w);
        Put16(out, (WORD)h);
        out.push_back(0);
        out.push_back(2);   // minimum code size
        std::vector<BYTE> data = SolidLzw(w * h, f.colour);
        for (size_t i = 0; i < data.size(); i += 255) {
            size_t n = data.size() - i < 255 ? data.size() - i : 255;
            out.push_back((BYTE)n);
            out.insert(out.end(), data.begin() + i, data.begin() + i + n);
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

} // namespace giftest
