// Writes the media tables (.rmt) and passmasks (.pmp) of the eight Nexlume Q7 / Q7M variants:
// XML documents that the host reads and the installer only copies. Deterministic.
//   nexlume-mediagen OUTPUT_FOLDER
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Variant {
  const char* fileStem;  // "Nexlume Q7 D4 PG"
  const char* model;     // "Nexlume Q7"
  bool compact;          // Q7M: the smaller bed with two heads
  bool dura4;            // DURA-UV4 inks (D4) or DURA-UV2 (D2)
  bool primerGloss;      // PG: primer and gloss channels
};

const Variant kVariants[] = {
    {"Nexlume Q7 D4", "Nexlume Q7", false, true, false},      {"Nexlume Q7 D2", "Nexlume Q7", false, false, false},
    {"Nexlume Q7 D4 PG", "Nexlume Q7", false, true, true},    {"Nexlume Q7 D2 PG", "Nexlume Q7", false, false, true},
    {"Nexlume Q7M D4", "Nexlume Q7M", true, true, false},     {"Nexlume Q7M D4 PG", "Nexlume Q7M", true, true, true},
    {"Nexlume Q7M D2", "Nexlume Q7M", true, false, false},    {"Nexlume Q7M D2 PG", "Nexlume Q7M", true, false, true},
};

struct Medium {
  const char* name;
  const char* category;
  double thickness;    // mm
  bool textured;       // printed at distance (raised head) with the "Distance" profiles
  int lampPercent;     // UV lamp power for the standard mode
  bool needsPrimer;    // glass, metal and ceramics take primer before ink
  bool transparent;    // printed with a white layer under or over the colour
};

const Medium kMedia[] = {
    {"PVC Foam Board", "Rigid", 5.0, false, 70, false, false},
    {"Cast Acrylic", "Rigid", 3.0, false, 80, false, true},
    {"Aluminium Composite Panel", "Rigid", 3.0, false, 85, true, false},
    {"Float Glass", "Rigid", 4.0, false, 90, true, true},
    {"MDF Wood", "Rigid", 9.0, true, 75, false, false},
    {"Polycarbonate", "Rigid", 2.0, false, 80, false, true},
    {"Ceramic Tile", "Rigid", 8.0, true, 95, true, false},
    {"Corrugated Board", "Board", 4.0, true, 60, false, false},
    {"Synthetic Leather", "Flexible", 1.2, true, 65, false, false},
    {"Magnetic Sheet", "Flexible", 0.8, false, 70, false, false},
};

std::string format(const char* fmt, auto... args) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, fmt, args...);
  return buffer;
}

std::vector<std::string> inkChannels(const Variant& v) {
  std::vector<std::string> inks = {"C", "M", "Y", "K", "W"};
  if (v.dura4) inks.push_back("V");  // DURA-UV4 adds a varnish channel
  if (v.primerGloss) inks.insert(inks.end(), {"P", "G"});
  return inks;
}

// Print modes of an ink set: name, resolution, passes, profile suffix.
struct Mode {
  const char* name;
  const char* resolution;
  int passes;
  const char* profileSuffix;
};

std::vector<Mode> modes(const Variant& v) {
  if (v.dura4) {
    return {{"High Speed", "720x720", 4, "HS_v720x720"},
            {"Standard", "720x720", 8, "v720x720"},
            {"Quality", "1440x720", 12, "v1440x720"}};
  }
  return {{"High Speed", "720x720", 4, "HS_v720x720"},
          {"Standard", "720x720", 6, "ST_v720x720"},
          {"Quality", "1440x720", 12, "v1440x720"}};
}

std::string profileName(const Variant& v, const Medium& m, const Mode& mode, const char* white) {
  std::string name = v.dura4 ? "NXQ7DuraUV4_" : "NXQ7DuraUV2_";
  name += m.textured ? "Distance_" : "Generic_";
  name += mode.profileSuffix;
  // DURA-UV2 on flat media has one 1440 profile per pass count; the 12-pass one fits this mode
  if (!v.dura4 && !m.textured && mode.passes == 12 && *white == '\0') name += "_12p";
  name += white;
  return name + ".icc";
}

bool writeFile(const std::string& path, const std::string& content) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(content.data(), 1, content.size(), out) == content.size();
  return std::fclose(out) == 0 && ok;
}

std::string mediaTable(const Variant& v) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  x += format("<MediaTable model=\"%s\" inkSet=\"%s\" variant=\"%s\" version=\"1.2\">\n", v.model,
              v.dura4 ? "DURA-UV4" : "DURA-UV2", v.fileStem + (v.compact ? 12 : 11));
  x += format("  <Bed width=\"%d\" length=\"%d\" maxThickness=\"%d\" unit=\"mm\"/>\n", v.compact ? 1600 : 2500,
              v.compact ? 1000 : 1300, v.compact ? 80 : 100);
  x += "  <InkChannels>\n";
  int index = 0;
  for (const std::string& ink : inkChannels(v)) x += format("    <Channel index=\"%d\" name=\"%s\"/>\n", index++, ink.c_str());
  x += "  </InkChannels>\n";
  int id = 1;
  for (const Medium& m : kMedia) {
    double headGap = m.textured ? 3.5 : 1.5;
    x += format("  <Media id=\"%d\" name=\"%s\" category=\"%s\" thickness=\"%.1f\" headGap=\"%.1f\" vacuum=\"%s\">\n", id++,
                m.name, m.category, m.thickness, headGap, m.category[0] == 'F' ? "high" : "normal");
    for (const Mode& mode : modes(v)) {
      int lamp = m.lampPercent + (mode.passes >= 12 ? -10 : mode.passes <= 4 ? 10 : 0);
      if (lamp > 100) lamp = 100;
      x += format("    <PrintMode name=\"%s\" resolution=\"%s\" passes=\"%d\" direction=\"%s\" lampPower=\"%d\"",
                  mode.name, mode.resolution, mode.passes, mode.passes <= 4 ? "bi" : "uni", lamp);
      x += format(" inkLimit=\"%d\">\n", m.textured ? 240 : 280);
      x += format("      <Profile layer=\"colour\" file=\"%s\"/>\n", profileName(v, m, mode, "").c_str());
      // white on transparent media: DURA-UV4 has profiles for white under and over the colour
      // (not in high-speed mode), DURA-UV2 one profile with white
      bool highSpeed = mode.passes <= 4;
      if (m.transparent && v.dura4 && !highSpeed) {
        x += format("      <Profile layer=\"white-under\" file=\"%s\"/>\n", profileName(v, m, mode, "_underW").c_str());
        x += format("      <Profile layer=\"white-over\" file=\"%s\"/>\n", profileName(v, m, mode, "_onW").c_str());
      } else if (m.transparent && !v.dura4) {
        x += format("      <Profile layer=\"white\" file=\"%s\"/>\n", profileName(v, m, mode, "_W").c_str());
      }
      if (v.primerGloss && m.needsPrimer) x += "      <Layer name=\"primer\" channel=\"P\" coverage=\"100\" passes=\"2\"/>\n";
      if (v.primerGloss) x += "      <Layer name=\"gloss\" channel=\"G\" coverage=\"100\" passes=\"4\" optional=\"true\"/>\n";
      x += "    </PrintMode>\n";
    }
    x += "  </Media>\n";
  }
  x += "</MediaTable>\n";
  return x;
}

// A 16 x 16 ordered (Bayer) threshold, 0..255: spreads the cells of each pass evenly.
int bayer(int x, int y) {
  int value = 0;
  for (int bit = 0; bit < 4; ++bit) {
    int xb = (x >> bit) & 1;
    int yb = (y >> bit) & 1;
    value |= ((xb ^ yb) << (2 * (3 - bit) + 1)) | (yb << (2 * (3 - bit)));
  }
  return value;
}

std::string passMasks(const Variant& v) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  int heads = v.compact ? 2 : 4;
  x += format("<PassMaskSet model=\"%s\" inkSet=\"%s\" heads=\"%d\" nozzlesPerHead=\"1280\" version=\"1.0\">\n",
              v.model, v.dura4 ? "DURA-UV4" : "DURA-UV2", heads);
  std::vector<int> passCounts = {2, 4, 6, 8, 12};
  if (v.primerGloss) passCounts.push_back(16);
  for (int passes : passCounts) {
    x += format("  <PassMask passes=\"%d\" width=\"16\" height=\"16\" feather=\"%s\">\n", passes,
                passes >= 8 ? "gradient" : "linear");
    // each cell names the pass (0-based, hexadecimal) that prints it
    for (int row = 0; row < 16; ++row) {
      x += "    <Row>";
      for (int col = 0; col < 16; ++col) x += "0123456789ABCDEF"[bayer(col, row) * passes / 256];
      x += "</Row>\n";
    }
    // nozzle weights at the band edges, in percent, so the passes blend without banding
    x += "    <EdgeWeights>";
    int steps = passes >= 8 ? 8 : 4;
    for (int i = 1; i <= steps; ++i) x += format(i < steps ? "%d," : "%d", 100 * i / steps);
    x += "</EdgeWeights>\n";
    x += "  </PassMask>\n";
  }
  x += "</PassMaskSet>\n";
  return x;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: nexlume-mediagen OUTPUT_FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  for (const Variant& v : kVariants) {
    std::string stem = folder + "/" + v.fileStem;
    if (!writeFile(stem + ".rmt", mediaTable(v)) || !writeFile(stem + ".pmp", passMasks(v))) {
      std::fprintf(stderr, "nexlume-mediagen: cannot write %s.rmt/.pmp\n", stem.c_str());
      return 1;
    }
  }
  return 0;
}
