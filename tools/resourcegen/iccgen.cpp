// Generates the ICC output profiles of the Nexlume Q7 ink sets with LittleCMS: printer class,
// CMYK data, Lab PCS, AToB0 (CMYK -> Lab) and BToA0 (Lab -> CMYK) tables computed from a
// Yule-Nielsen modified Neugebauer model of the inks on their substrate. Each profile's
// parameters come from its file name (ink set, substrate, print mode, white layer, passes).
// The profiles to write are the ".icc" entries of the string table; the creation date is fixed,
// so every run writes the same bytes.
//   nexlume-iccgen STRINGS_TSV RESOURCES_FOLDER
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr cmsUInt32Number kAToBGridPoints = 9;
constexpr cmsUInt32Number kBToAGridPoints = 13;
constexpr double kYuleNielsen = 2.0;
constexpr double kTotalInkLimit = 3.0;  // 300 % coverage
constexpr double kSurfaceReflection = 0.006;

using Vec3 = std::array<double, 3>;

struct PrintCondition {
  std::string description;
  cmsCIELab paper;               // the substrate, or the white layer under the colour
  std::array<cmsCIELab, 4> ink;  // C, M, Y, K solids on that substrate
  double dotGain;                // mid-tone gain (0.15 = 15 % at 50 % coverage)
  double chromaScale;            // white over the colour (seen through the medium) dulls it
};

cmsCIELab lab(double L, double a, double b) { return cmsCIELab{L, a, b}; }

Vec3 toXYZ(const cmsCIELab& value) {
  cmsCIEXYZ xyz;
  cmsLab2XYZ(cmsD50_XYZ(), &xyz, &value);
  return {xyz.X, xyz.Y, xyz.Z};
}

cmsCIELab xyzToLab(const Vec3& xyz) {
  cmsCIEXYZ in{xyz[0], xyz[1], xyz[2]};
  cmsCIELab out;
  cmsXYZ2Lab(cmsD50_XYZ(), &out, &in);
  return out;
}

// The print condition that a profile's file name describes.
PrintCondition conditionFor(const std::string& name) {
  auto has = [&](const char* part) { return name.find(part) != std::string::npos; };
  PrintCondition c;
  bool dura4 = has("DuraUV4");
  if (dura4) {
    c.ink = {lab(56, -35, -52), lab(48, 76, -4), lab(88, -4, 94), lab(17, 1, 1)};
  } else {
    c.ink = {lab(58, -32, -48), lab(50, 71, -2), lab(87, -3, 88), lab(20, 0, 2)};
  }
  c.paper = has("Distance") ? lab(91, 1, 4) : lab(95, 0, -2);
  c.dotGain = has("_HS_") ? 0.22 : has("v1440x720") ? 0.12 : has("_ST_") ? 0.16 : 0.18;
  c.chromaScale = 1.0;
  if (has("_onW") || has("_W.")) c.paper = lab(93, -1, -3);  // colour printed on a white layer
  if (has("_underW")) {                                       // white behind the colour, seen through the medium
    c.paper = lab(90, -1, -4);
    c.chromaScale = 0.92;
  }
  if (has("_16p")) c.chromaScale *= 1.03, c.dotGain -= 0.02;  // more passes, denser and cleaner dots
  if (has("_12p")) c.chromaScale *= 1.01;
  for (cmsCIELab& solid : c.ink) {
    solid.a *= c.chromaScale;
    solid.b *= c.chromaScale;
    // each solid shifts with the substrate it is printed on
    solid.L += (c.paper.L - 95) * 0.3;
  }
  c.description = "Nexlume Q7 " + std::string(dura4 ? "DURA-UV4" : "DURA-UV2") + " " +
                  name.substr(name.find('_') + 1, name.rfind('.') - name.find('_') - 1);
  return c;
}

// The printer model: CMYK coverage (0..1) to Lab.
class PrinterModel {
 public:
  explicit PrinterModel(const PrintCondition& condition) : condition_(condition) {
    Vec3 paper = toXYZ(condition.paper);
    std::array<Vec3, 4> ratio;
    for (int i = 0; i < 4; ++i) {
      Vec3 solid = toXYZ(condition.ink[i]);
      for (int k = 0; k < 3; ++k) ratio[i][k] = solid[k] / paper[k];
    }
    // the 16 Neugebauer primaries: overprints as the product of the inks' transmittances
    for (int set = 0; set < 16; ++set) {
      Vec3 xyz = paper;
      for (int i = 0; i < 4; ++i)
        if (set & (1 << i))
          for (int k = 0; k < 3; ++k) xyz[k] *= ratio[i][k];
      for (int k = 0; k < 3; ++k) primaries_[set][k] = std::pow(xyz[k], 1.0 / kYuleNielsen);
    }
  }

  cmsCIELab toLab(const std::array<double, 4>& cmyk) const {
    std::array<double, 4> area;
    for (int i = 0; i < 4; ++i) {
      double c = std::clamp(cmyk[i], 0.0, 1.0);
      area[i] = std::clamp(c + 4.0 * condition_.dotGain * c * (1.0 - c), 0.0, 1.0);
    }
    Vec3 sum{0, 0, 0};
    for (int set = 0; set < 16; ++set) {
      double weight = 1.0;  // Demichel: the fraction of the area covered by exactly this ink set
      for (int i = 0; i < 4; ++i) weight *= (set & (1 << i)) ? area[i] : 1.0 - area[i];
      for (int k = 0; k < 3; ++k) sum[k] += weight * primaries_[set][k];
    }
    // light reflected at the ink surface keeps the deepest black above L* 0
    const cmsCIEXYZ* white = cmsD50_XYZ();
    const Vec3 flare = {white->X, white->Y, white->Z};
    for (int k = 0; k < 3; ++k) sum[k] = std::pow(sum[k], kYuleNielsen) + kSurfaceReflection * flare[k];
    return xyzToLab(sum);
  }

 private:
  PrintCondition condition_;
  std::array<Vec3, 16> primaries_;
};

// Lab -> CMYK: black from lightness (grey component replacement), then the four coverages that
// reproduce the colour, found by damped Gauss-Newton and kept near that black; out-of-gamut colours
// end at the closest printable one. The total coverage is limited to kTotalInkLimit.
std::array<double, 4> separate(const PrinterModel& model, const cmsCIELab& target) {
  const double blackStart = 60.0;
  double wantedBlack = target.L < blackStart ? std::pow((blackStart - target.L) / blackStart, 1.5) : 0.0;
  std::array<double, 4> x = {0.3, 0.3, 0.3, wantedBlack};
  auto residuals = [&](const std::array<double, 4>& v) {
    cmsCIELab got = model.toLab(v);
    return std::array<double, 4>{got.L - target.L, got.a - target.a, got.b - target.b, 8.0 * (v[3] - wantedBlack)};
  };
  double lambda = 1e-3;
  auto cost = [](const std::array<double, 4>& r) { return r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + r[3] * r[3]; };
  std::array<double, 4> r = residuals(x);
  for (int iteration = 0; iteration < 40; ++iteration) {
    double J[4][4];
    for (int j = 0; j < 4; ++j) {
      std::array<double, 4> step = x;
      double h = step[j] > 0.5 ? -1e-4 : 1e-4;
      step[j] += h;
      std::array<double, 4> rs = residuals(step);
      for (int i = 0; i < 4; ++i) J[i][j] = (rs[i] - r[i]) / h;
    }
    // (J^T J + lambda I) delta = -J^T r, solved by Gaussian elimination
    double A[4][5];
    for (int a = 0; a < 4; ++a) {
      for (int b = 0; b < 4; ++b) {
        A[a][b] = 0;
        for (int i = 0; i < 4; ++i) A[a][b] += J[i][a] * J[i][b];
      }
      A[a][a] += lambda * (1.0 + A[a][a]);
      A[a][4] = 0;
      for (int i = 0; i < 4; ++i) A[a][4] -= J[i][a] * r[i];
    }
    for (int p = 0; p < 4; ++p) {
      int best = p;
      for (int q = p + 1; q < 4; ++q)
        if (std::fabs(A[q][p]) > std::fabs(A[best][p])) best = q;
      for (int col = 0; col < 5; ++col) std::swap(A[p][col], A[best][col]);
      if (std::fabs(A[p][p]) < 1e-12) A[p][p] = 1e-12;
      for (int q = p + 1; q < 4; ++q) {
        double f = A[q][p] / A[p][p];
        for (int col = p; col < 5; ++col) A[q][col] -= f * A[p][col];
      }
    }
    std::array<double, 4> delta;
    for (int p = 3; p >= 0; --p) {
      double s = A[p][4];
      for (int col = p + 1; col < 4; ++col) s -= A[p][col] * delta[col];
      delta[p] = s / A[p][p];
    }
    std::array<double, 4> next;
    for (int i = 0; i < 4; ++i) next[i] = std::clamp(x[i] + delta[i], 0.0, 1.0);
    std::array<double, 4> rn = residuals(next);
    if (cost(rn) < cost(r)) {
      x = next, r = rn;
      lambda = std::max(lambda * 0.3, 1e-7);
    } else {
      lambda *= 10.0;
    }
  }
  double total = x[0] + x[1] + x[2] + x[3];
  if (total > kTotalInkLimit) {
    double scale = (kTotalInkLimit - x[3]) / (x[0] + x[1] + x[2]);
    for (int i = 0; i < 3; ++i) x[i] *= scale;
  }
  return x;
}

cmsStage* identityCurves(cmsUInt32Number channels) {
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  std::vector<cmsToneCurve*> curves(channels, linear);
  cmsStage* stage = cmsStageAllocToneCurves(nullptr, channels, curves.data());
  cmsFreeToneCurve(linear);
  return stage;
}

int forwardSampler(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
  const auto* model = static_cast<const PrinterModel*>(cargo);
  cmsCIELab value = model->toLab({in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0, in[3] / 65535.0});
  cmsFloat2LabEncoded(out, &value);
  return TRUE;
}

int inverseSampler(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
  const auto* model = static_cast<const PrinterModel*>(cargo);
  cmsCIELab target;
  cmsLabEncoded2Float(&target, in);
  std::array<double, 4> cmyk = separate(*model, target);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<cmsUInt16Number>(std::lround(cmyk[i] * 65535.0));
  return TRUE;
}

bool setText(cmsHPROFILE profile, cmsTagSignature tag, const std::string& text) {
  cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
  bool ok = cmsMLUsetASCII(mlu, "en", "US", text.c_str()) && cmsWriteTag(profile, tag, mlu);
  cmsMLUfree(mlu);
  return ok;
}

bool writeProfile(const std::string& fileName, const std::string& path) {
  PrintCondition condition = conditionFor(fileName);
  PrinterModel model(condition);

  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(profile, 4.3);
  cmsSetDeviceClass(profile, cmsSigOutputClass);
  cmsSetColorSpace(profile, cmsSigCmykData);
  cmsSetPCS(profile, cmsSigLabData);
  cmsSetHeaderRenderingIntent(profile, INTENT_PERCEPTUAL);
  bool ok = setText(profile, cmsSigProfileDescriptionTag, condition.description) &&
            setText(profile, cmsSigCopyrightTag, "Sample data of the Nexlume Q7 support installer") &&
            cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());

  cmsPipeline* aToB = cmsPipelineAlloc(nullptr, 4, 3);
  cmsStage* forward = cmsStageAllocCLut16bit(nullptr, kAToBGridPoints, 4, 3, nullptr);
  ok = ok && cmsStageSampleCLut16bit(forward, forwardSampler, &model, 0) &&
       cmsPipelineInsertStage(aToB, cmsAT_END, identityCurves(4)) && cmsPipelineInsertStage(aToB, cmsAT_END, forward) &&
       cmsPipelineInsertStage(aToB, cmsAT_END, identityCurves(3)) && cmsWriteTag(profile, cmsSigAToB0Tag, aToB);

  cmsPipeline* bToA = cmsPipelineAlloc(nullptr, 3, 4);
  cmsStage* inverse = cmsStageAllocCLut16bit(nullptr, kBToAGridPoints, 3, 4, nullptr);
  ok = ok && cmsStageSampleCLut16bit(inverse, inverseSampler, &model, 0) &&
       cmsPipelineInsertStage(bToA, cmsAT_END, identityCurves(3)) && cmsPipelineInsertStage(bToA, cmsAT_END, inverse) &&
       cmsPipelineInsertStage(bToA, cmsAT_END, identityCurves(4)) && cmsWriteTag(profile, cmsSigBToA0Tag, bToA);
  cmsPipelineFree(aToB);
  cmsPipelineFree(bToA);

  cmsUInt32Number size = 0;
  ok = ok && cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<char> bytes(size);
  ok = ok && cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  if (!ok || size < 128) return false;
  // a fixed creation date (2026-01-01 00:00:00) in place of the current time: reproducible output
  const unsigned char date[12] = {0x07, 0xEA, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
  std::memcpy(bytes.data() + 24, date, sizeof date);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

void makeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0777);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: nexlume-iccgen STRINGS_TSV RESOURCES_FOLDER\n");
    return 2;
  }
  std::ifstream table(argv[1]);
  if (!table) {
    std::fprintf(stderr, "nexlume-iccgen: cannot read %s\n", argv[1]);
    return 1;
  }
  int written = 0;
  for (std::string line; std::getline(table, line);) {
    std::size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos || !line.ends_with(".icc")) continue;
    std::string relative = line.substr(tab + 1);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    std::string path = std::string(argv[2]) + "/" + relative;
    makeFolders(path);
    if (!writeProfile(relative.substr(relative.rfind('/') + 1), path)) {
      std::fprintf(stderr, "nexlume-iccgen: cannot write %s\n", path.c_str());
      return 1;
    }
    ++written;
  }
  std::printf("%d profiles written\n", written);
  return 0;
}
