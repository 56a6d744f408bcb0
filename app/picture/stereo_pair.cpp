#include "app/picture/stereo_pair.h"

#include <utility>

namespace tesselin {

void OrderEyes(Image &left, Image &right, const StereoLook &look)
{
    if (look.swapEyes)
        std::swap(left, right);
}

Image StereoPicture(Image left, Image right, const StereoLook &look, bool arrange,
                    const std::optional<ScriptColours> &script)
{
    OrderEyes(left, right, look);
    if (arrange && look.layout)
        return ArrangePair(left, right, *look.layout);
    if (look.anaglyph != AnaglyphMethod::Script)
        return ComposeAnaglyphImage(left, right, look.anaglyph);
    if (!script) // the first eye as drawn, swapped or not
        return look.swapEyes ? right : left;
    return ScriptAnaglyphImage(std::move(left), right, *script);
}

Image SideBySidePicture(Image left, Image right, const StereoLook &look)
{
    StereoLook sideBySide = look;
    sideBySide.layout = StereoLayout::Parallel;
    return StereoPicture(std::move(left), std::move(right), sideBySide, true, std::nullopt);
}

} // namespace tesselin
