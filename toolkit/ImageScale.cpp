#include "toolkit/ImageScale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace vgwl {
namespace {

// Weights of the source samples that make up each destination sample along
// one axis.
struct Tap {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Tap> Taps(int from, int to) {
    std::vector<Tap> taps(static_cast<std::size_t>(to));
    const double scale = static_cast<double>(to) / from;
    // Enlarging: a plain linear blend of the two nearest pixels; reducing:
    // the triangle stretched over the pixels that fold into one.
    const double support = scale >= 1.0 ? 1.0 : 1.0 / scale;
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        const int lo = std::max(0, static_cast<int>(std::floor(centre - support)) + 1);
        const int hi = std::min(from - 1, static_cast<int>(std::ceil(centre + support)) - 1);
        Tap& tap = taps[static_cast<std::size_t>(i)];
        tap.first = lo;
        double total = 0.0;
        for (int j = lo; j <= hi; ++j) {
            const double w = std::max(0.0, 1.0 - std::abs(j - centre) / support);
            tap.weights.push_back(static_cast<float>(w));
            total += w;
        }
        if (tap.weights.empty() || total <= 0.0) {
            // Past the edge: the nearest pixel.
            tap.first = std::clamp(static_cast<int>(std::lround(centre)), 0, from - 1);
            tap.weights.assign(1, 1.0f);
            total = 1.0;
        }
        for (float& w : tap.weights) {
            w = static_cast<float>(w / total);
        }
    }
    return taps;
}

std::uint8_t Channel(float v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

std::vector<std::uint32_t> ScalePixels(const std::vector<std::uint32_t>& source, int sourceWidth,
                                       int sourceHeight, int width, int height) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0 ||
        source.size() < static_cast<std::size_t>(sourceWidth) * sourceHeight) {
        return {};
    }
    const std::vector<Tap> across = Taps(sourceWidth, width);
    const std::vector<Tap> down = Taps(sourceHeight, height);
    // Rows first, into floats, then columns.
    std::vector<float> rows(static_cast<std::size_t>(width) * sourceHeight * 3);
    for (int y = 0; y < sourceHeight; ++y) {
        const std::uint32_t* in = source.data() + static_cast<std::size_t>(y) * sourceWidth;
        float* out = rows.data() + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const Tap& tap = across[static_cast<std::size_t>(x)];
            float c[3] = {0, 0, 0};
            for (std::size_t k = 0; k < tap.weights.size(); ++k) {
                const std::uint32_t p = in[static_cast<std::size_t>(tap.first) + k];
                for (int ch = 0; ch < 3; ++ch) {
                    c[ch] += tap.weights[k] * static_cast<float>((p >> (8 * ch)) & 0xFF);
                }
            }
            std::copy(c, c + 3, out + static_cast<std::size_t>(x) * 3);
        }
    }
    std::vector<std::uint32_t> result(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const Tap& tap = down[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            float c[3] = {0, 0, 0};
            for (std::size_t k = 0; k < tap.weights.size(); ++k) {
                const float* p =
                    rows.data() + ((static_cast<std::size_t>(tap.first) + k) * width + x) * 3;
                for (int ch = 0; ch < 3; ++ch) {
                    c[ch] += tap.weights[k] * p[ch];
                }
            }
            result[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint32_t>(Channel(c[0])) |
                (static_cast<std::uint32_t>(Channel(c[1])) << 8) |
                (static_cast<std::uint32_t>(Channel(c[2])) << 16);
        }
    }
    return result;
}

}  // namespace vgwl
