#include "toolkit/ImageScale.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vgwl {
namespace {

std::uint32_t Grey(int v) {
    const auto b = static_cast<std::uint32_t>(v);
    return b | (b << 8) | (b << 16);
}

int Blue(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

TEST(ImageScale, SameSizeKeepsEveryPixel) {
    std::vector<std::uint32_t> picture;
    for (int i = 0; i < 12; ++i) {
        picture.push_back(0x00102030u + static_cast<std::uint32_t>(i) * 0x010203u);
    }
    EXPECT_EQ(ScalePixels(picture, 4, 3, 4, 3), picture);
}

TEST(ImageScale, FlatColourStaysFlatAtAnySize) {
    const std::vector<std::uint32_t> picture(6 * 5, 0x00C08040u);
    for (auto [w, h] : {std::pair{9, 7}, {2, 2}, {1, 1}, {17, 3}}) {
        const auto scaled = ScalePixels(picture, 6, 5, w, h);
        ASSERT_EQ(scaled.size(), static_cast<std::size_t>(w * h));
        for (std::uint32_t p : scaled) {
            ASSERT_EQ(p, 0x00C08040u) << w << "x" << h;
        }
    }
}

TEST(ImageScale, EnlargingBlendsInsteadOfRepeatingPixels) {
    // Black and white side by side, one and a half times as wide: the
    // middle takes a shade between them, the ends keep their colours.
    const std::vector<std::uint32_t> picture{Grey(0), Grey(0), Grey(255), Grey(255)};
    const auto scaled = ScalePixels(picture, 4, 1, 6, 1);
    ASSERT_EQ(scaled.size(), 6u);
    EXPECT_EQ(Blue(scaled.front()), 0);
    EXPECT_EQ(Blue(scaled.back()), 255);
    bool between = false;
    for (std::size_t i = 1; i < scaled.size(); ++i) {
        EXPECT_GE(Blue(scaled[i]), Blue(scaled[i - 1])) << "not a smooth ramp at " << i;
        between = between || (Blue(scaled[i]) > 0 && Blue(scaled[i]) < 255);
    }
    EXPECT_TRUE(between) << "a nearest-pixel copy, not a filter";
}

TEST(ImageScale, ReducingAveragesEverySourcePixel) {
    // A one-pixel checkerboard halved becomes an even grey, not one of the
    // two colours picked at random.
    std::vector<std::uint32_t> picture;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            picture.push_back((x + y) % 2 ? Grey(255) : Grey(0));
        }
    }
    for (std::uint32_t p : ScalePixels(picture, 8, 8, 4, 4)) {
        EXPECT_NEAR(Blue(p), 128, 32);
    }
}

TEST(ImageScale, BadSizesGiveNothing) {
    const std::vector<std::uint32_t> picture(4, 0);
    EXPECT_TRUE(ScalePixels(picture, 2, 2, 0, 5).empty());
    EXPECT_TRUE(ScalePixels(picture, 2, 2, 5, -1).empty());
    EXPECT_TRUE(ScalePixels(picture, 0, 2, 5, 5).empty());
    // The stated size larger than the pixels given: no read past them.
    EXPECT_TRUE(ScalePixels(picture, 3, 3, 5, 5).empty());
    // A single pixel spread over a wide row.
    EXPECT_EQ(ScalePixels({Grey(77)}, 1, 1, 1000, 1), std::vector<std::uint32_t>(1000, Grey(77)));
}

}  // namespace
}  // namespace vgwl
