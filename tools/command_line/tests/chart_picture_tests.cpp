// The chart's picture decoded: the plane in its colours.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "tool_run.h"

namespace {

using namespace tool_run;

TEST(ChartPicture, DecodesWithThePlaneInItsColours)
{
    TemporaryFolder folder;
    const Result result = runTool({"--chart", folder / "chart.png", "--size", "120x80", "--steps", "1024"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("wrote " + folder / "chart.png"), std::string::npos) << result.err;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (folder / "chart.png").c_str())) << image.message;
    EXPECT_EQ(image.width, 1200u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;

    // The constant's deep blue covers much of the default plane; chaos is warm.
    size_t constant = 0, warm = 0;
    for (size_t i = 0; i < pixels.size(); i += 3) {
        constant += pixels[i] == 40 && pixels[i + 1] == 70 && pixels[i + 2] == 150;
        warm += pixels[i] > 180 && pixels[i + 2] < 100 && pixels[i + 1] < pixels[i];
    }
    EXPECT_GT(constant, 50000u);
    EXPECT_GT(warm, 500u);
}

}  // namespace
