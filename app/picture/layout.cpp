#include "app/picture/layout.h"
#include "app/picture/linear_light.h"
#include "app/names/named_values.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace tesselin {

namespace {

constexpr auto Names = std::to_array<Named<StereoLayout>>({
    {"parallel", StereoLayout::Parallel},
    {"cross-eyed", StereoLayout::CrossEyed},
    {"over-under", StereoLayout::OverUnder},
    {"half-width", StereoLayout::HalfWidth},
    {"half-height", StereoLayout::HalfHeight},
});

void Paste(Image &into, const Image &image, int x0, int y0)
{
    if (image.Empty())
        return;
    int width = std::min(image.width, into.width - x0);
    for (int y = 0; y < image.height && y0 + y < into.height; y++)
        std::memcpy(&into.At(x0, y0 + y), &image.pixels[std::size_t(y) * image.width], std::size_t(width) * 4);
}

// For each of count output cells over a source of length source: the source
// cells it covers and how much of each.
struct Span {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Span> AreaSpans(int source, int count)
{
    std::vector<Span> spans(static_cast<std::size_t>(count));
    double scale = double(source) / count;
    for (int i = 0; i < count; i++) {
        double begin = i * scale, end = (i + 1) * scale;
        if (scale < 1) { // enlarging: the nearest source cell
            spans[i].first = std::min(int((begin + end) / 2), source - 1);
            spans[i].weights = {1.0f};
            continue;
        }
        int first = int(std::floor(begin)), last = std::min(int(std::ceil(end)), source);
        spans[i].first = first;
        for (int s = first; s < last; s++) {
            double cover = std::min(end, double(s + 1)) - std::max(begin, double(s));
            spans[i].weights.push_back(float(cover / scale));
        }
    }
    return spans;
}

} // namespace

std::optional<StereoLayout> StereoLayoutNamed(std::string_view name) { return ValueNamed(Names, name); }

std::string_view NameOf(StereoLayout layout) { return NameIn(Names, layout); }

std::string StereoLayoutNames() { return NamesIn(Names); }

Image Squeezed(const Image &image, int width, int height)
{
    Image out(width, height);
    if (image.Empty() || out.Empty())
        return out;
    auto columns = AreaSpans(image.width, width), rows = AreaSpans(image.height, height);
    std::vector<std::array<float, 3>> line(static_cast<std::size_t>(width));
    for (int y = 0; y < height; y++) {
        std::fill(line.begin(), line.end(), std::array<float, 3>{});
        const Span &row = rows[y];
        for (std::size_t j = 0; j < row.weights.size(); j++) {
            int sy = row.first + int(j);
            for (int x = 0; x < width; x++) {
                const Span &column = columns[x];
                for (std::size_t i = 0; i < column.weights.size(); i++) {
                    uint32_t c = image.At(column.first + int(i), sy);
                    float w = row.weights[j] * column.weights[i];
                    line[x][0] += w * ToLinear(Red(c));
                    line[x][1] += w * ToLinear(Green(c));
                    line[x][2] += w * ToLinear(Blue(c));
                }
            }
        }
        for (int x = 0; x < width; x++)
            out.At(x, y) = Rgb(ToSrgb(line[x][0]), ToSrgb(line[x][1]), ToSrgb(line[x][2]));
    }
    return out;
}

Image ArrangePair(const Image &left, const Image &right, StereoLayout layout)
{
    switch (layout) {
    case StereoLayout::Parallel:
    case StereoLayout::CrossEyed: {
        const Image &first = layout == StereoLayout::Parallel ? left : right;
        const Image &second = layout == StereoLayout::Parallel ? right : left;
        Image out(first.width + second.width, std::max(first.height, second.height));
        Paste(out, first, 0, 0);
        Paste(out, second, first.width, 0);
        return out;
    }
    case StereoLayout::OverUnder: {
        Image out(std::max(left.width, right.width), left.height + right.height);
        Paste(out, left, 0, 0);
        Paste(out, right, 0, left.height);
        return out;
    }
    case StereoLayout::HalfWidth: {
        int half = left.width / 2;
        Image out(left.width, left.height);
        Paste(out, Squeezed(left, half, left.height), 0, 0);
        Paste(out, Squeezed(right, left.width - half, left.height), half, 0);
        return out;
    }
    case StereoLayout::HalfHeight: {
        int half = left.height / 2;
        Image out(left.width, left.height);
        Paste(out, Squeezed(left, left.width, half), 0, 0);
        Paste(out, Squeezed(right, left.width, left.height - half), 0, half);
        return out;
    }
    }
    return left;
}

} // namespace tesselin
