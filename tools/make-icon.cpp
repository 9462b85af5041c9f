// make-icon: draws the application icon (32 x 32, 32 bits: a gate under an arch on a
// dark red tile) and writes it as a .ico file. res/MarrowgateImporter.ico is its output.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) { out.push_back(v & 0xFF); out.push_back(v >> 8 & 0xFF); }
void Put32(std::vector<uint8_t>& out, uint32_t v) { Put16(out, v & 0xFFFF); Put16(out, v >> 16); }

struct Pixel { uint8_t b, g, r, a; };

Pixel Draw(int x, int y) {  // y counts from the top
    const double cx = 15.5, dx = x - cx;
    // Rounded tile.
    const int inset = 1, radius = 5;
    const int nx = x < inset + radius ? inset + radius - x : (x > 31 - inset - radius ? x - (31 - inset - radius) : 0);
    const int ny = y < inset + radius ? inset + radius - y : (y > 31 - inset - radius ? y - (31 - inset - radius) : 0);
    if (x < inset || y < inset || x > 31 - inset || y > 31 - inset || nx * nx + ny * ny > radius * radius) return {0, 0, 0, 0};
    // Arch: a ring of stone above the gate, and the gate's posts.
    const double distance = std::sqrt(dx * dx + (y - 15.0) * (y - 15.0));
    const bool arch = y <= 15 && distance >= 8.0 && distance <= 11.5;
    const bool posts = y > 15 && y <= 27 && std::fabs(dx) >= 8.0 && std::fabs(dx) <= 11.5;
    const bool bars = y <= 27 && std::fabs(dx) < 8.0 && x % 3 == 0 && (y > 15 || distance < 8.0);
    const bool ground = y >= 27 && y <= 28;
    if (arch || posts || ground) return {60, 190, 235, 255};  // gold
    if (bars) return {150, 150, 150, 255};                    // iron
    return {40, 30, 120, 255};                                // dark red
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-icon OUTPUT.ico\n");
        return 2;
    }
    std::vector<uint8_t> image;
    Put32(image, 40); Put32(image, 32); Put32(image, 64);  // header; height counts colour and mask
    Put16(image, 1); Put16(image, 32); Put32(image, 0); Put32(image, 32 * 32 * 4);
    Put32(image, 0); Put32(image, 0); Put32(image, 0); Put32(image, 0);
    for (int y = 31; y >= 0; --y) {  // bottom-up rows
        for (int x = 0; x < 32; ++x) {
            const Pixel p = Draw(x, y);
            image.insert(image.end(), {p.b, p.g, p.r, p.a});
        }
    }
    image.insert(image.end(), 32 * 4, 0);  // AND mask: the alpha channel decides
    std::vector<uint8_t> file;
    Put16(file, 0); Put16(file, 1); Put16(file, 1);  // icon directory, one image
    file.insert(file.end(), {32, 32, 0, 0});
    Put16(file, 1); Put16(file, 32); Put32(file, static_cast<uint32_t>(image.size())); Put32(file, 22);
    file.insert(file.end(), image.begin(), image.end());
    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
