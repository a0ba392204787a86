#include "png_image.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// zlib's checksums: the chunk CRC of the PNG format and the stream's Adler-32.
uint32_t Crc32(const std::string &bytes, size_t start) {
    return static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef *>(bytes.data() + start),
                                       static_cast<uInt>(bytes.size() - start)));
}

void AppendBigEndian32(std::string &out, uint32_t value) {
    out += static_cast<char>((value >> 24) & 0xFF);
    out += static_cast<char>((value >> 16) & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void AppendChunk(std::string &png, const char *type, const std::string &data) {
    AppendBigEndian32(png, static_cast<uint32_t>(data.size()));
    size_t typeStart = png.size();
    png += type;
    png += data;
    AppendBigEndian32(png, Crc32(png, typeStart)); // over type and data
}

uint64_t NextRandom(uint64_t &state) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return state >> 33;
}

struct RainCell {
    double x, y, radius;
};

} // namespace

std::string RadarPicturePng(uint64_t seed, int width, int height) {
    width = std::min(1024, std::max(1, width));
    height = std::min(1024, std::max(1, height));
    uint64_t state = seed | 1;
    std::vector<RainCell> cells;
    int cellCount = 2 + static_cast<int>(NextRandom(state) % 4);
    for (int i = 0; i < cellCount; ++i) {
        RainCell cell;
        cell.x = static_cast<double>(NextRandom(state) % static_cast<uint64_t>(width));
        cell.y = static_cast<double>(NextRandom(state) % static_cast<uint64_t>(height));
        cell.radius = 6.0 + static_cast<double>(NextRandom(state) % 18);
        cells.push_back(cell);
    }
    std::vector<uint8_t> rgba;
    rgba.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double intensity = 0.0;
            for (const RainCell &cell : cells)
                intensity =
                    std::max(intensity, 1.0 - std::hypot(x - cell.x, y - cell.y) / cell.radius);
            // A map grid under rain: light rain green, then yellow, then red in a cell's core.
            uint8_t grid = x % 16 == 0 || y % 16 == 0 ? 30 : 0;
            uint8_t pixel[4] = {static_cast<uint8_t>(34 + grid), static_cast<uint8_t>(52 + grid),
                                static_cast<uint8_t>(44 + grid), 255};
            if (intensity >= 0.8)
                pixel[0] = 220, pixel[1] = 40, pixel[2] = 30;
            else if (intensity >= 0.5)
                pixel[0] = 230, pixel[1] = 210, pixel[2] = 40;
            else if (intensity > 0.0)
                pixel[0] = 40, pixel[1] = static_cast<uint8_t>(140 + 120 * intensity),
                pixel[2] = 50;
            rgba.insert(rgba.end(), pixel, pixel + 4);
        }
    }
    return RgbaPng(width, height, rgba);
}

namespace {

// A zlib stream from zlib itself: the overlays are mostly empty and shrink a hundredfold.
std::string CompressedZlibStream(const std::string &raw) {
    uLongf length = compressBound(static_cast<uLong>(raw.size()));
    std::string out(length, '\0');
    if (compress2(reinterpret_cast<Bytef *>(&out[0]), &length,
                  reinterpret_cast<const Bytef *>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        return std::string();
    out.resize(length);
    return out;
}

std::string PngHeaderChunkData(uint32_t width, uint32_t height, int colourType) {
    std::string header;
    AppendBigEndian32(header, width);
    AppendBigEndian32(header, height);
    header += static_cast<char>(8);          // bits per sample
    header += static_cast<char>(colourType); // 2 truecolour, 6 truecolour with alpha
    header += std::string(3, '\0');          // deflate, adaptive filtering, no interlace
    return header;
}

int Clamp(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

// --- overlays

struct Rgb {
    unsigned char r, g, b;
};

// Four steps from light to heavy precipitation, for each colour scheme.
const Rgb kRainPalettes[9][4] = {
    {{0x40, 0x40, 0x40}, {0x80, 0x80, 0x80}, {0xC0, 0xC0, 0xC0}, {0xFF, 0xFF, 0xFF}},
    {{0x00, 0xA0, 0xF0}, {0x00, 0xD0, 0x60}, {0xF0, 0xD0, 0x00}, {0xE0, 0x20, 0x20}},
    {{0x88, 0xDD, 0xEE}, {0x00, 0x99, 0xCC}, {0x00, 0x55, 0x88}, {0xFF, 0xEE, 0x00}},
    {{0x6E, 0xD0, 0x6E}, {0x2E, 0x9A, 0x2E}, {0xF2, 0xC1, 0x1C}, {0xD7, 0x30, 0x27}},
    {{0x9E, 0xCA, 0xE1}, {0x42, 0x92, 0xC6}, {0x08, 0x51, 0x9C}, {0x08, 0x30, 0x6B}},
    {{0x7F, 0xCD, 0xBB}, {0x41, 0xB6, 0xC4}, {0xF7, 0x68, 0xA1}, {0xAE, 0x01, 0x7E}},
    {{0xA1, 0xD9, 0x9B}, {0xFE, 0xE0, 0x8B}, {0xFC, 0x8D, 0x59}, {0xD7, 0x19, 0x1C}},
    {{0x00, 0x80, 0x00}, {0xFF, 0xFF, 0x00}, {0xFF, 0x80, 0x00}, {0xFF, 0x00, 0xFF}},
    {{0x99, 0xBB, 0xFF}, {0x33, 0x77, 0xFF}, {0xCC, 0x33, 0xCC}, {0xFF, 0x33, 0x33}},
};
const Rgb kSnowPalette[4] = {
    {0xE0, 0xF0, 0xFF}, {0xB0, 0xD8, 0xFF}, {0x70, 0xB0, 0xFF}, {0x30, 0x70, 0xE0}};

struct OverlayCell {
    double x, y, radius, dx, dy;
    bool snow;
};

// 5 x 7 letters for the zoom message, one row a byte, the leftmost column the highest bit.
struct Glyph {
    char letter;
    unsigned char rows[7];
};

const Glyph kGlyphs[] = {
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
};

const unsigned char *GlyphRows(char letter) {
    for (const Glyph &glyph : kGlyphs) {
        if (glyph.letter == letter)
            return glyph.rows;
    }
    return nullptr; // a blank
}

void SetPixel(std::vector<uint8_t> &rgba, int size, int x, int y, Rgb colour, int alpha) {
    if (x < 0 || y < 0 || x >= size || y >= size)
        return;
    size_t at = (static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x)) * 4;
    rgba[at] = colour.r;
    rgba[at + 1] = colour.g;
    rgba[at + 2] = colour.b;
    rgba[at + 3] = static_cast<uint8_t>(alpha);
}

} // namespace

std::string RgbaPng(int width, int height, const std::vector<uint8_t> &rgba) {
    width = Clamp(width, 1, 1024);
    height = Clamp(height, 1, 1024);
    size_t rowBytes = 4 * static_cast<size_t>(width);
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + rowBytes));
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // filter type None
        size_t start = static_cast<size_t>(y) * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i)
            raw += static_cast<char>(start + i < rgba.size() ? rgba[start + i] : 0);
    }
    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR",
                PngHeaderChunkData(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 6));
    AppendChunk(png, "IDAT", CompressedZlibStream(raw));
    AppendChunk(png, "IEND", std::string());
    return png;
}

std::string RadarOverlayPng(uint64_t seed, long long frame, const OverlayStyle &style) {
    int size = Clamp(style.size, 1, 1024);
    const Rgb *rain = kRainPalettes[Clamp(style.colorScheme, 0, 8)];
    double scale = size / 256.0;
    uint64_t state = seed | 1;
    // Cells wrap round a field a little larger than the picture, so rain keeps passing.
    double field = size * 1.3;
    std::vector<OverlayCell> cells;
    int cellCount = 4 + static_cast<int>(NextRandom(state) % 4);
    // The whole field drifts one way, as weather does; each cell a little differently.
    double heading = static_cast<double>(NextRandom(state) % 360) * 3.14159265358979 / 180.0;
    for (int i = 0; i < cellCount; ++i) {
        OverlayCell cell;
        cell.x = static_cast<double>(NextRandom(state) % 1000) / 1000.0 * field;
        cell.y = static_cast<double>(NextRandom(state) % 1000) / 1000.0 * field;
        cell.radius = (10.0 + static_cast<double>(NextRandom(state) % 30)) * scale;
        double speed = (3.0 + static_cast<double>(NextRandom(state) % 4)) * scale;
        cell.dx = std::cos(heading) * speed;
        cell.dy = std::sin(heading) * speed;
        cell.snow = style.snow && NextRandom(state) % 3 == 0;
        cells.push_back(cell);
    }
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * static_cast<size_t>(size) * 4, 0);
    long long step = frame % 100000;
    for (OverlayCell &cell : cells) {
        cell.x = std::fmod(cell.x + cell.dx * static_cast<double>(step), field);
        cell.y = std::fmod(cell.y + cell.dy * static_cast<double>(step), field);
        if (cell.x < 0)
            cell.x += field;
        if (cell.y < 0)
            cell.y += field;
        cell.x -= size * 0.15;
        cell.y -= size * 0.15;
    }
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double intensity = 0.0;
            const OverlayCell *strongest = nullptr;
            for (const OverlayCell &cell : cells) {
                double distance = std::hypot(x - cell.x, y - cell.y);
                double value = 1.0 - distance / cell.radius;
                if (value > intensity) {
                    intensity = value;
                    strongest = &cell;
                }
            }
            if (strongest == nullptr)
                continue;
            const Rgb *palette = strongest->snow ? kSnowPalette : rain;
            int level = Clamp(static_cast<int>(intensity * 4.0), 0, 3);
            int alpha = 220;
            if (style.smooth && intensity < 0.25)
                alpha = static_cast<int>(220.0 * intensity / 0.25);
            if (alpha > 0)
                SetPixel(rgba, size, x, y, palette[level], alpha);
        }
    }
    return RgbaPng(size, size, rgba);
}

std::string ZoomNotSupportedPng(int size) {
    size = Clamp(size, 1, 1024);
    static const char kText[] = "ZOOM LEVEL NOT SUPPORTED";
    const int letters = static_cast<int>(sizeof kText) - 1;
    int pixel = size / 192 > 0 ? size / 192 : 1; // the text takes up to 3/4 of the width
    int textWidth = letters * 6 * pixel - pixel;
    int left = (size - textWidth) / 2;
    int top = size / 2 - 7 * pixel / 2;
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * static_cast<size_t>(size) * 4, 0);
    const Rgb band = {0x20, 0x20, 0x20};
    const Rgb ink = {0xFF, 0xFF, 0xFF};
    for (int y = top - 4 * pixel; y < top + 11 * pixel; ++y) {
        for (int x = 0; x < size; ++x)
            SetPixel(rgba, size, x, y, band, 180);
    }
    for (int i = 0; i < letters; ++i) {
        const unsigned char *rows = GlyphRows(kText[i]);
        if (rows == nullptr)
            continue;
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (!(rows[row] & (0x10 >> column)))
                    continue;
                for (int dy = 0; dy < pixel; ++dy) {
                    for (int dx = 0; dx < pixel; ++dx)
                        SetPixel(rgba, size, left + (i * 6 + column) * pixel + dx,
                                 top + row * pixel + dy, ink, 255);
                }
            }
        }
    }
    return RgbaPng(size, size, rgba);
}

std::string OversizedPng() {
    const uint32_t side = 65535;
    // Four rows' worth of transparent pixels; the header promises 65535 of them.
    std::string raw;
    for (int row = 0; row < 4; ++row) {
        raw += '\0';
        raw += std::string(4 * static_cast<size_t>(side), '\0');
    }
    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", PngHeaderChunkData(side, side, 6));
    AppendChunk(png, "IDAT", CompressedZlibStream(raw));
    AppendChunk(png, "IEND", std::string());
    return png;
}
