#include "app/picture/stereo_pair.h"

#include <algorithm>
#include <utility>

namespace tesselin {

Image StereoPicture(Image left, Image right, const StereoLook &look, bool arrange,
                    const std::optional<ScriptColours> &script)
{
    if (look.swapEyes)
        std::swap(left, right);
    if (arrange && look.layout)
        return ArrangePair(left, right, *look.layout);
    if (look.anaglyph != AnaglyphMethod::Script)
        return ComposeAnaglyphImage(left, right, look.anaglyph);
    if (!script) // the first eye as drawn, swapped or not
        return look.swapEyes ? right : left;
    int width = std::min(left.width, right.width), height = std::min(left.height, right.height);
    for (int y = 0; y < height; y++)
        ComposeAnaglyph(&left.At(0, y), &right.At(0, y), std::size_t(width), script->left, script->right);
    return left;
}

} // namespace tesselin
