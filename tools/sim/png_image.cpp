#include "png_image.h"

#include <cmath>
#include <vector>

namespace {

struct CrcTable {
    uint32_t entries[256];
};

CrcTable MakeCrcTable() {
    CrcTable table;
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table.entries[n] = c;
    }
    return table;
}

uint32_t Crc32(const std::string &bytes, size_t start) {
    // A function-local static is built once, safely across server threads.
    static const CrcTable table = MakeCrcTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = start; i < bytes.size(); ++i)
        crc = table.entries[(crc ^ static_cast<unsigned char>(bytes[i])) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const std::string &bytes) {
    uint32_t a = 1, b = 0;
    for (unsigned char c : bytes) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
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

// A zlib stream made of stored (uncompressed) deflate blocks: valid for every
// decoder, and needs no compressor.
std::string StoredZlibStream(const std::string &raw) {
    std::string out;
    out += static_cast<char>(0x78); // deflate, 32 KiB window
    out += static_cast<char>(0x01); // no preset dictionary; 0x7801 % 31 == 0
    size_t offset = 0;
    do {
        size_t length = raw.size() - offset;
        if (length > 65535)
            length = 65535;
        bool last = offset + length == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>((length >> 8) & 0xFF);
        out += static_cast<char>(~length & 0xFF);
        out += static_cast<char>((~length >> 8) & 0xFF);
        out.append(raw, offset, length);
        offset += length;
    } while (offset < raw.size());
    AppendBigEndian32(out, Adler32(raw));
    return out;
}

uint64_t NextRandom(uint64_t &state) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return state >> 33;
}

struct RainCell {
    double x, y, radius;
};

// Light rain green, then yellow, then red in the cell's core.
void RainColour(double intensity, unsigned char rgb[3]) {
    if (intensity < 0.5) {
        rgb[0] = 40;
        rgb[1] = static_cast<unsigned char>(140 + 120 * intensity);
        rgb[2] = 50;
    } else if (intensity < 0.8) {
        rgb[0] = 230;
        rgb[1] = 210;
        rgb[2] = 40;
    } else {
        rgb[0] = 220;
        rgb[1] = 40;
        rgb[2] = 30;
    }
}

} // namespace

std::string RadarPicturePng(uint64_t seed, int width, int height) {
    if (width < 1)
        width = 1;
    if (height < 1)
        height = 1;
    if (width > 1024)
        width = 1024;
    if (height > 1024)
        height = 1024;

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

    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // filter type None
        for (int x = 0; x < width; ++x) {
            unsigned char rgb[3] = {34, 52, 44}; // map background
            if (x % 16 == 0 || y % 16 == 0) {
                rgb[0] = 64;
                rgb[1] = 84;
                rgb[2] = 72;
            }
            double intensity = 0.0;
            for (const RainCell &cell : cells) {
                double distance = std::hypot(x - cell.x, y - cell.y);
                if (distance < cell.radius && 1.0 - distance / cell.radius > intensity)
                    intensity = 1.0 - distance / cell.radius;
            }
            if (intensity > 0.0)
                RainColour(intensity, rgb);
            raw.append(reinterpret_cast<const char *>(rgb), 3);
        }
    }

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    AppendBigEndian32(header, static_cast<uint32_t>(width));
    AppendBigEndian32(header, static_cast<uint32_t>(height));
    header += static_cast<char>(8); // bits per sample
    header += static_cast<char>(2); // truecolour RGB
    header += std::string(3, '\0'); // deflate, adaptive filtering, no interlace
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", StoredZlibStream(raw));
    AppendChunk(png, "IEND", std::string());
    return png;
}
