// Draws the model bitmap of the Nexlume Q7: a flatbed UV printer seen from the front, as a
// 24-bit Windows bitmap. Deterministic: the same file on every run.
//   nexlume-bmpgen OUTPUT.bmp
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 180;

struct Rgb {
  int r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  auto lerp = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
  return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

class Canvas {
 public:
  Canvas() : pixels_(kWidth * kHeight, Rgb{255, 255, 255}) {}

  void set(int x, int y, Rgb c) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels_[y * kWidth + x] = c;
  }
  Rgb get(int x, int y) const { return pixels_[y * kWidth + x]; }

  // A box lit from above: `top` at its upper edge shading to `bottom`, with a darker outline.
  void box(int x0, int y0, int x1, int y1, Rgb top, Rgb bottom) {
    for (int y = y0; y <= y1; ++y) {
      double t = y1 == y0 ? 0.0 : static_cast<double>(y - y0) / (y1 - y0);
      for (int x = x0; x <= x1; ++x) {
        bool edge = x == x0 || x == x1 || y == y0 || y == y1;
        Rgb c = mix(top, bottom, t);
        set(x, y, edge ? mix(c, Rgb{0, 0, 0}, 0.45) : c);
      }
    }
  }

  // A soft glow around a point (the UV lamps).
  void glow(int cx, int cy, double radius, Rgb colour) {
    for (int y = cy - static_cast<int>(radius); y <= cy + static_cast<int>(radius); ++y) {
      for (int x = cx - static_cast<int>(radius * 2); x <= cx + static_cast<int>(radius * 2); ++x) {
        if (x < 0 || x >= kWidth || y < 0 || y >= kHeight) continue;
        double d = std::hypot((x - cx) / 2.0, static_cast<double>(y - cy)) / radius;
        if (d < 1.0) set(x, y, mix(get(x, y), colour, 0.6 * (1.0 - d) * (1.0 - d)));
      }
    }
  }

  // 5x7 capitals and digits for the name plate.
  void text(int x, int y, const char* s, Rgb c) {
    struct Glyph {
      char ch;
      std::uint8_t rows[7];
    };
    static const Glyph kFont[] = {
        {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}}, {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
        {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
        {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
        {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
        {' ', {0, 0, 0, 0, 0, 0, 0}}};
    for (; *s; ++s, x += 6) {
      for (const Glyph& g : kFont) {
        if (g.ch != *s) continue;
        for (int row = 0; row < 7; ++row)
          for (int col = 0; col < 5; ++col)
            if (g.rows[row] & (0x10 >> col)) set(x + col, y + row, c);
      }
    }
  }

  bool save(const char* path) const {
    const int rowSize = (kWidth * 3 + 3) & ~3;
    const std::uint32_t imageSize = static_cast<std::uint32_t>(rowSize * kHeight);
    std::vector<std::uint8_t> file;
    auto put16 = [&](std::uint32_t v) { file.push_back(v & 0xFF), file.push_back((v >> 8) & 0xFF); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    // BITMAPFILEHEADER
    file.push_back('B'), file.push_back('M');
    put32(54 + imageSize), put32(0), put32(54);
    // BITMAPINFOHEADER: 24 bits, uncompressed, 2835 pixels per metre (72 dpi)
    put32(40), put32(kWidth), put32(kHeight), put16(1), put16(24), put32(0), put32(imageSize);
    put32(2835), put32(2835), put32(0), put32(0);
    for (int y = kHeight - 1; y >= 0; --y) {  // bottom-up rows
      for (int x = 0; x < kWidth; ++x) {
        Rgb c = get(x, y);
        file.push_back(static_cast<std::uint8_t>(c.b));
        file.push_back(static_cast<std::uint8_t>(c.g));
        file.push_back(static_cast<std::uint8_t>(c.r));
      }
      for (int pad = kWidth * 3; pad < rowSize; ++pad) file.push_back(0);
    }
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr) return false;
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && ok;
  }

 private:
  std::vector<Rgb> pixels_;
};

void drawPrinter(Canvas& c) {
  // backdrop and floor shadow
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) c.set(x, y, mix(Rgb{246, 247, 250}, Rgb{214, 218, 226}, y / double(kHeight)));
  for (int x = 22; x < 218; ++x)
    for (int y = 166; y < 172; ++y) c.set(x, y, mix(c.get(x, y), Rgb{120, 124, 132}, 0.35));

  // cabinet with legs and the name plate
  c.box(28, 112, 212, 160, Rgb{92, 98, 108}, Rgb{52, 56, 64});
  c.box(32, 160, 44, 168, Rgb{40, 42, 48}, Rgb{24, 26, 30});
  c.box(196, 160, 208, 168, Rgb{40, 42, 48}, Rgb{24, 26, 30});
  c.box(36, 122, 204, 124, Rgb{240, 128, 32}, Rgb{200, 96, 20});  // accent stripe
  c.text(40, 134, "NEXLUME Q7", Rgb{236, 238, 242});
  for (int i = 0; i < 4; ++i) c.box(150 + i * 13, 134, 159 + i * 13, 150, Rgb{120, 126, 136}, Rgb{80, 86, 96});  // drawers

  // vacuum bed with a printed sheet: colour patches in C, M, Y, K and a gradient
  c.box(20, 100, 220, 112, Rgb{196, 200, 206}, Rgb{150, 154, 162});
  c.box(60, 96, 150, 101, Rgb{255, 255, 255}, Rgb{236, 236, 236});
  const Rgb patches[] = {{0, 160, 223}, {228, 0, 124}, {255, 228, 0}, {30, 30, 30}};
  for (int i = 0; i < 4; ++i) c.box(64 + i * 12, 97, 73 + i * 12, 100, patches[i], patches[i]);
  for (int x = 114; x < 146; ++x)
    for (int y = 97; y <= 100; ++y) c.set(x, y, mix(Rgb{0, 160, 223}, Rgb{228, 0, 124}, (x - 114) / 32.0));

  // gantry: two towers and the beam
  c.box(16, 40, 34, 100, Rgb{226, 229, 234}, Rgb{176, 180, 188});
  c.box(206, 40, 224, 100, Rgb{226, 229, 234}, Rgb{176, 180, 188});
  c.box(16, 40, 224, 58, Rgb{236, 238, 242}, Rgb{188, 192, 200});
  c.box(20, 54, 220, 56, Rgb{240, 128, 32}, Rgb{200, 96, 20});

  // carriage with print heads and the two UV lamps, lit
  c.box(92, 56, 148, 86, Rgb{70, 74, 82}, Rgb{40, 42, 48});
  for (int i = 0; i < 4; ++i) c.box(104 + i * 8, 86, 109 + i * 8, 90, patches[i], patches[i]);
  c.box(84, 62, 92, 88, Rgb{60, 50, 90}, Rgb{40, 30, 70});
  c.box(148, 62, 156, 88, Rgb{60, 50, 90}, Rgb{40, 30, 70});
  c.glow(88, 92, 9.0, Rgb{150, 80, 255});
  c.glow(152, 92, 9.0, Rgb{150, 80, 255});

  // control panel on the right tower: screen and three keys
  c.box(208, 62, 222, 74, Rgb{30, 90, 160}, Rgb{20, 50, 110});
  for (int i = 0; i < 3; ++i) c.box(209 + i * 5, 78, 212 + i * 5, 81, Rgb{90, 200, 120}, Rgb{40, 140, 70});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: nexlume-bmpgen OUTPUT.bmp\n");
    return 2;
  }
  Canvas canvas;
  drawPrinter(canvas);
  if (!canvas.save(argv[1])) {
    std::fprintf(stderr, "nexlume-bmpgen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
