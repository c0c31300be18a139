#include <gtest/gtest.h>

#include <string>

#include "platform/Resources.h"

namespace {

TEST(StringTable, LanguageNamesInSlotOrder) {
  const std::pair<int, const char*> names[] = {
      {1, "English"},  {2, "Chinese_Simplified"}, {3, "Chinese_Traditional"}, {4, "French"},
      {5, "German"},   {6, "Italian"},            {7, "Japanese"},            {8, "Korean"},
      {9, "Portuguese"}, {10, "Spanish"},         {14, "Russian"},            {15, "Turkish"},
      {16, "Arabic"}};
  for (const auto& [id, name] : names) {
    EXPECT_EQ(platform::loadString(id), std::optional<std::string>(name)) << "id " << id;
  }
}

TEST(StringTable, TextsAreTakenLiterally) {
  // A trailing backslash and inner spaces survive: paths are composed by plain concatenation.
  EXPECT_EQ(platform::loadString(13), std::optional<std::string>("Tessaprint\\Device\\"));
  EXPECT_EQ(platform::loadString(83), std::optional<std::string>("Profiles\\Nexlume Q7"));
  EXPECT_EQ(platform::loadString(127),
            std::optional<std::string>("Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_v1440x720_W.icc"));
}

TEST(StringTable, UnknownIdsHaveNoText) {
  for (int id : {0, 11, 12, 17, 57344, -1}) EXPECT_FALSE(platform::loadString(id).has_value()) << "id " << id;
}

TEST(EmbeddedFiles, FoundInPlaceWithTheirSize) {
  platform::EmbeddedFile small = platform::findEmbeddedFile(7);
  ASSERT_EQ(small.status, platform::ResourceStatus::Found);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(small.data), small.size), "small");
  // The data lives in the program image: a second lookup gives the same address.
  EXPECT_EQ(platform::findEmbeddedFile(7).data, small.data);

  platform::EmbeddedFile empty = platform::findEmbeddedFile(8);
  EXPECT_EQ(empty.status, platform::ResourceStatus::Found);
  EXPECT_EQ(empty.size, 0u);

  EXPECT_EQ(platform::findEmbeddedFile(9).status, platform::ResourceStatus::NotFound);
}

}  // namespace
