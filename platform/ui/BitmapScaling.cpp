// Area-averaging reduction: every source pixel adds its share of coverage to the one or two
// destination columns and rows it falls in.
#include "platform/ui/BitmapScaling.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// For each destination cell along one axis, the source cells it covers with their weights.
struct Span {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Span> spans(int from, int to)
{
    std::vector<Span> result(static_cast<std::size_t>(to));
    double ratio = static_cast<double>(from) / to;
    for (int cell = 0; cell < to; ++cell) {
        double start = cell * ratio;
        double end = std::min<double>(from, start + ratio);
        auto& span = result[static_cast<std::size_t>(cell)];
        span.first = static_cast<int>(std::floor(start));
        for (int source = span.first; source < end; ++source) {
            double covered = std::min<double>(source + 1, end) - std::max<double>(source, start);
            span.weights.push_back(covered / ratio);
        }
    }
    return result;
}

}

Bitmap scaledToCover(const Bitmap& bitmap, int minimumSide)
{
    int shorter = std::min(bitmap.width, bitmap.height);
    if (minimumSide < 1 || shorter <= minimumSide)
        return bitmap;
    double scale = static_cast<double>(minimumSide) / shorter;
    int width = std::max(1, static_cast<int>(std::lround(bitmap.width * scale)));
    int height = std::max(1, static_cast<int>(std::lround(bitmap.height * scale)));
    auto columns = spans(bitmap.width, width);
    auto rows = spans(bitmap.height, height);

    Bitmap scaled;
    scaled.width = width;
    scaled.height = height;
    scaled.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        const Span& row = rows[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            const Span& column = columns[static_cast<std::size_t>(x)];
            double red = 0, green = 0, blue = 0, alpha = 0;
            for (std::size_t j = 0; j < row.weights.size(); ++j) {
                for (std::size_t i = 0; i < column.weights.size(); ++i) {
                    const std::uint8_t* source = bitmap.pixel(
                        column.first + static_cast<int>(i), row.first + static_cast<int>(j));
                    double weight = row.weights[j] * column.weights[i];
                    double opaque = weight * source[3];
                    red += opaque * source[0];
                    green += opaque * source[1];
                    blue += opaque * source[2];
                    alpha += opaque;
                }
            }
            std::uint8_t* target = scaled.pixel(x, y);
            auto channel = [&](double sum) {
                return static_cast<std::uint8_t>(std::clamp(std::lround(sum / alpha), 0L, 255L));
            };
            target[0] = alpha > 0 ? channel(red) : 0;
            target[1] = alpha > 0 ? channel(green) : 0;
            target[2] = alpha > 0 ? channel(blue) : 0;
            target[3] = static_cast<std::uint8_t>(std::clamp(std::lround(alpha), 0L, 255L));
        }
    }
    return scaled;
}

}
