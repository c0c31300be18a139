#include "model/SeparationInfo.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr double kSampleStep = 4095.0 / 255.0;
constexpr std::size_t kStoredBytes = kOutputTableSamples * 2;

// The sample positions, from the same running sum the writer and reader both use.
std::array<std::size_t, kOutputTableSamples> samplePositions() {
  std::array<std::size_t, kOutputTableSamples> positions{};
  double x = 0.0;
  for (std::size_t& position : positions) {
    position = static_cast<std::size_t>(x + 0.5);
    x += kSampleStep;
  }
  return positions;
}
const std::array<std::size_t, kOutputTableSamples>& positions() {
  static const std::array<std::size_t, kOutputTableSamples> table = samplePositions();
  return table;
}
// The parts of the output table's spline that depend only on the knots' X (spread over 0..65535 with
// the divisor 256), the same for every table: computed once.
struct SplineKnots {
  static constexpr std::size_t n = kOutputTableSamples;
  std::array<double, n> stepBefore{}, stepAfter{}, span{}, sig{}, p{};
  std::array<double, n> elimination{};  // the second derivative's factor left by the forward elimination
  // Where each entry h of the table falls between knots lo and lo + 1, and its weights.
  struct Point {
    std::size_t lo = 0;
    double a = 0.0, b = 0.0, aCubic = 0.0, bCubic = 0.0, stepSquared = 0.0;
  };
  std::array<Point, kOutputTableSize> points{};

  SplineKnots() {
    std::array<double, n> x{};
    for (std::size_t i = 0; i < n; ++i) x[i] = 65535.0 * static_cast<double>(i) / 256.0;
    elimination[0] = 0.0;
    for (std::size_t i = 1; i + 1 < n; ++i) {
      stepBefore[i] = x[i] - x[i - 1];
      stepAfter[i] = x[i + 1] - x[i];
      span[i] = x[i + 1] - x[i - 1];
      sig[i] = stepBefore[i] / span[i];
      p[i] = sig[i] * elimination[i - 1] + 2.0;
      elimination[i] = (sig[i] - 1.0) / p[i];
    }
    elimination[n - 1] = 0.0;
    const double first = std::trunc(x[0]);
    const double last = std::trunc(x[n - 1]);
    std::size_t k = 0;  // the first knot with x[k] >= w; w only grows with h, so k only moves forward
    for (std::size_t h = 0; h < kOutputTableSize; ++h) {
      const double w = std::clamp(std::trunc(65535.0 * static_cast<double>(h) / 4095.0), first, last);
      while (x[k] < w) ++k;
      Point& point = points[h];
      point.lo = k == 0 ? 0 : k - 1;
      const std::size_t hi = point.lo + 1;
      const double step = x[hi] - x[point.lo];
      point.a = (x[hi] - w) / step;
      point.b = (w - x[point.lo]) / step;
      point.aCubic = point.a * point.a * point.a - point.a;
      point.bCubic = point.b * point.b * point.b - point.b;
      point.stepSquared = step * step;
    }
  }
};

const SplineKnots& splineKnots() {
  static const SplineKnots knots;
  return knots;
}

}  // namespace

std::size_t outputTableSamplePosition(std::size_t sample) { return positions()[sample]; }

std::string encodeOutputTable(const OutputTable& table) {
  std::array<std::uint8_t, kStoredBytes> bytes{};
  for (std::size_t i = 0; i < kOutputTableSamples; ++i) {
    const std::uint16_t sample = table[positions()[i]];
    bytes[2 * i] = static_cast<std::uint8_t>(sample >> 8);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(sample & 0xFFu);
  }
  std::string text;
  CBase64().Encode(bytes.data(), bytes.size(), text);
  return text;
}

void decodeOutputTable(std::string_view text, OutputTable& table) {
  std::vector<std::uint8_t> bytes;
  if (CBase64().Decode(text.data(), text.size(), bytes) != 0) {
    throw form::ReadError("not a Base64 text");
  }
  if (bytes.size() < 2 * kOutputTableSamples)
    noteRepair("an output table of " + std::to_string(bytes.size() / 2) + " samples padded with zeros to " +
               std::to_string(kOutputTableSamples));
  std::array<double, kOutputTableSamples> samples{};
  for (std::size_t i = 0; i < kOutputTableSamples && 2 * i + 1 < bytes.size(); ++i) {
    samples[i] = static_cast<double>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
  }

  // Y: the samples scaled from 12 to 16 bits. Everything that depends only on the knots' X comes from
  // the tables above, computed by the same operations in the same order, so the results are the same.
  const SplineKnots& knots = splineKnots();
  constexpr std::size_t n = kOutputTableSamples;
  std::array<double, n> y{}, secondDerivative{}, u{};
  for (std::size_t i = 0; i < n; ++i) y[i] = 65535.0 * samples[i] / 4096.0;
  // Natural cubic spline: zero second derivative at both ends, the tridiagonal system solved by forward
  // elimination and back substitution.
  secondDerivative[0] = u[0] = 0.0;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const double slopes = (y[i + 1] - y[i]) / knots.stepAfter[i] - (y[i] - y[i - 1]) / knots.stepBefore[i];
    u[i] = (6.0 * slopes / knots.span[i] - knots.sig[i] * u[i - 1]) / knots.p[i];
  }
  secondDerivative[n - 1] = 0.0;
  for (std::size_t k = n - 1; k-- > 0;) secondDerivative[k] = knots.elimination[k] * secondDerivative[k + 1] + u[k];

  for (std::size_t h = 0; h < kOutputTableSize; ++h) {
    const SplineKnots::Point& at = knots.points[h];
    const double value = at.a * y[at.lo] + at.b * y[at.lo + 1] +
                         (at.aCubic * secondDerivative[at.lo] + at.bCubic * secondDerivative[at.lo + 1]) *
                             at.stepSquared / 6.0;
    std::uint32_t entry = 0;
    if (value >= 65535.0) {
      entry = 65535;
    } else if (value >= 0.0) {
      entry = static_cast<std::uint32_t>(value);
    }
    table[h] = static_cast<std::uint16_t>(entry >> 4);
  }
  // The samples themselves come back exactly.
  for (std::size_t i = 0; i < n; ++i) table[positions()[i]] = static_cast<std::uint16_t>(samples[i]);
}

dom::Node writeOutputTableField(const form::Field<SeparationTable>& f, Placement where,
                                const SeparationTable& table) {
  return writeStringElement(where, f.name,
                            table.eType == kStoredOutputTable ? encodeOutputTable(table.usOutputTable) : "");
}

void noteOutputTableText(const form::Field<SeparationTable>&, const dom::Node& e, SeparationTable&,
                         SeparationTableNotes& notes) {
  notes.outputTableText = e;
}

void visitOutputTable(const form::Field<SeparationTable>& f, const SeparationTable& table,
                      form::FieldVisitor& out) {
  out.beginArray(f.name);
  for (const std::uint16_t entry : table.usOutputTable) out.integer({}, entry);
  out.endArray();
}

void restoreOutputTable(SeparationTable& table, SeparationTableNotes& notes) {
  if (table.eType != kStoredOutputTable || !notes.outputTableText) return;
  const std::string text = readStringValue(notes.outputTableText);
  if (text.empty()) return;
  form::withContext("usOutputTable", [&] { decodeOutputTable(text, table.usOutputTable); });
}
