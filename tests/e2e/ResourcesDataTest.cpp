// The data under resources/: every file of the plan is there and real, the profiles are CMYK
// output profiles that LittleCMS opens and uses, and the generators reproduce what is committed.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <filesystem>
#include <pugixml.hpp>
#include <string>

#include "E2eSupport.h"

namespace {

using e2e::expectedFiles;
using testfiles::readFile;

const std::string kResources = std::string(NEXLUME_SOURCE_DIR) + "/resources";

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST(ResourcesData, EveryExpectedFileIsThereAndOfItsKind) {
  auto expected = expectedFiles();
  ASSERT_EQ(expected.size(), 52u);
  int profiles = 0;
  for (const auto& file : expected) {
    std::string content = readFile(file.sourcePath);
    ASSERT_FALSE(content.empty()) << file.relativePath;
    // the folder mirrors the installed tree
    EXPECT_TRUE(endsWith(file.sourcePath, e2e::nativeRelative(file.relativePath))) << file.sourcePath;
    if (endsWith(file.relativePath, ".bmp")) {
      EXPECT_EQ(content.substr(0, 2), "BM");
    } else if (endsWith(file.relativePath, ".icc")) {
      ++profiles;
      EXPECT_EQ(content.substr(36, 4), "acsp") << file.relativePath;
    } else {
      // media tables, passmasks and descriptions are well-formed XML; descriptions are at least
      // 1024 bytes so that a second run merges them
      pugi::xml_document document;
      pugi::xml_parse_result parsed = document.load_buffer(content.data(), content.size());
      EXPECT_TRUE(parsed) << file.relativePath << ": " << parsed.description();
      if (endsWith(file.relativePath, ".dsr")) {
        EXPECT_STREQ(document.document_element().name(), "DeviceSeries") << file.relativePath;
        EXPECT_GE(content.size(), 1024u) << file.relativePath;
      }
    }
  }
  EXPECT_EQ(profiles, 27);
}

TEST(ResourcesData, ProfilesAreCmykOutputProfilesThatTransform) {
  int checked = 0;
  for (const auto& file : expectedFiles()) {
    if (!endsWith(file.relativePath, ".icc")) continue;
    ++checked;
    cmsHPROFILE profile = cmsOpenProfileFromFile(file.sourcePath.c_str(), "r");
    ASSERT_NE(profile, nullptr) << file.sourcePath;
    EXPECT_EQ(cmsGetDeviceClass(profile), cmsSigOutputClass) << file.relativePath;
    EXPECT_EQ(cmsGetColorSpace(profile), cmsSigCmykData) << file.relativePath;
    EXPECT_EQ(cmsGetPCS(profile), cmsSigLabData) << file.relativePath;
    EXPECT_TRUE(cmsIsTag(profile, cmsSigAToB0Tag)) << file.relativePath;
    EXPECT_TRUE(cmsIsTag(profile, cmsSigBToA0Tag)) << file.relativePath;

    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(profile, TYPE_CMYK_DBL, lab, TYPE_Lab_DBL, INTENT_PERCEPTUAL, 0);
    cmsHTRANSFORM toCmyk = cmsCreateTransform(lab, TYPE_Lab_DBL, profile, TYPE_CMYK_DBL, INTENT_PERCEPTUAL, 0);
    ASSERT_NE(toLab, nullptr) << file.relativePath;
    ASSERT_NE(toCmyk, nullptr) << file.relativePath;
    double paper[4] = {0, 0, 0, 0}, black[4] = {0, 0, 0, 100}, cyan[4] = {100, 0, 0, 0};
    cmsCIELab paperLab, blackLab, cyanLab;
    cmsDoTransform(toLab, paper, &paperLab, 1);
    cmsDoTransform(toLab, black, &blackLab, 1);
    cmsDoTransform(toLab, cyan, &cyanLab, 1);
    EXPECT_GT(paperLab.L, 85) << file.relativePath;
    EXPECT_LT(blackLab.L, 30) << file.relativePath;
    EXPECT_LT(cyanLab.b, -30) << file.relativePath;  // cyan is blue-green
    // A mid grey in gamut comes back close through both tables.
    cmsCIELab grey{50, 0, 0}, back;
    double separated[4];
    cmsDoTransform(toCmyk, &grey, separated, 1);
    cmsDoTransform(toLab, separated, &back, 1);
    EXPECT_LT(cmsDeltaE(&grey, &back), 3.0) << file.relativePath;
    cmsDeleteTransform(toLab);
    cmsDeleteTransform(toCmyk);
    cmsCloseProfile(lab);
    cmsCloseProfile(profile);
  }
  EXPECT_EQ(checked, 27);
}

// Byte-equal output of every generator against the committed files.
TEST(ResourcesData, TheGeneratorsReproduceTheCommittedFiles) {
  testfiles::TempFolder out;
  std::filesystem::create_directories(out / "Tessaprint/Device");
  auto run = [](const std::string& command) { return std::system(command.c_str()); };
  ASSERT_EQ(run(e2e::shellQuoted(NEXLUME_BMPGEN_EXE) + " " + e2e::shellQuoted(out / "Tessaprint/Device/Nexlume Q7.bmp")), 0);
  ASSERT_EQ(run(e2e::shellQuoted(NEXLUME_MEDIAGEN_EXE) + " " + e2e::shellQuoted(out / "Tessaprint/Device")), 0);
  ASSERT_EQ(run(e2e::shellQuoted(NEXLUME_ICCGEN_EXE) + " " + e2e::shellQuoted(kResources + "/strings.tsv") + " " +
                e2e::shellQuoted(out.path()) + " >/dev/null"),
            0);
  int compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(out.path())) {
    if (!entry.is_regular_file()) continue;
    std::string relative = std::filesystem::relative(entry.path(), out.path()).string();
    EXPECT_TRUE(readFile(entry.path().string()) == readFile(kResources + "/" + relative)) << relative;
    ++compared;
  }
  EXPECT_EQ(compared, 1 + 8 + 8 + 27);
}

}  // namespace
