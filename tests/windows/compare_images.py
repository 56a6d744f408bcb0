#!/usr/bin/python3
"""Compares an image the Windows module drew under Wine with the one the Linux
host drew for the same script, by the kind of content it holds:

  same     3D drawing and plain fills: nearly every pixel within a few levels
  picture  a photo resampled by two different scalers: close on average
  text     text in two different fonts: the ink (pixels away from the
           background, the commonest colour) of the two is of similar amount
           and starts at the same place, its box is of similar size, and not
           too many pixels differ in all

Prints one line per comparison and exits 1 when one fails.
Usage: compare_images.py KIND WINDOWS_IMAGE LINUX_IMAGE [KIND WIN LINUX ...]
"""
import sys

from PIL import Image, ImageChops

# 3D: llvmpipe through EGL and through OSMesa round a few edges differently.
SAME_LEVEL, SAME_SHARE = 24, 0.005
# Pictures: mean difference per channel in levels, and share of far-off pixels.
PICTURE_MEAN, PICTURE_FAR_LEVEL, PICTURE_FAR_SHARE = 6.0, 64, 0.01
# Text: ink is more than INK_LEVEL away from the background in some channel;
# amounts within INK_RATIO, box corners (left, top) within START_SLACK and box
# sizes within SIZE_SLACK of the image's size, and at most TEXT_SHARE of all
# pixels far apart.
INK_LEVEL, INK_RATIO, START_SLACK, SIZE_SLACK, TEXT_SHARE = 96, 2.0, 0.05, 0.15, 0.25


def load(path):
    return Image.open(path).convert("RGB")


def far_share(a, b, level):
    """Share of pixels whose largest channel difference exceeds level."""
    diff = ImageChops.difference(a, b)
    channels = diff.split()
    largest = ImageChops.lighter(ImageChops.lighter(channels[0], channels[1]), channels[2])
    mask = largest.point(lambda v: 255 if v > level else 0)
    return mask.histogram()[255] / (a.size[0] * a.size[1])


def ink(image):
    """Pixels away from the background: their number and bounding box."""
    background = max(image.getcolors(image.size[0] * image.size[1]))[1]
    diff = ImageChops.difference(image, Image.new("RGB", image.size, background)).split()
    largest = ImageChops.lighter(ImageChops.lighter(diff[0], diff[1]), diff[2])
    mask = largest.point(lambda v: 255 if v > INK_LEVEL else 0)
    return mask.histogram()[255], mask.getbbox()


def compare_same(a, b):
    share = far_share(a, b, SAME_LEVEL)
    return share <= SAME_SHARE, f"{share:.4%} of pixels differ by more than {SAME_LEVEL}"


def compare_picture(a, b):
    diff = ImageChops.difference(a, b)
    total = a.size[0] * a.size[1]
    mean = sum(i * n for channel in diff.split() for i, n in enumerate(channel.histogram())) / (3 * total)
    share = far_share(a, b, PICTURE_FAR_LEVEL)
    ok = mean <= PICTURE_MEAN and share <= PICTURE_FAR_SHARE
    return ok, f"mean difference {mean:.2f}, {share:.4%} of pixels off by more than {PICTURE_FAR_LEVEL}"


def compare_text(a, b):
    count_a, box_a = ink(a)
    count_b, box_b = ink(b)
    if not box_a or not box_b:
        return False, f"ink on Windows {count_a}, on Linux {count_b}: text missing"
    ratio = count_a / count_b
    start = max(abs(box_a[0] - box_b[0]) / a.size[0], abs(box_a[1] - box_b[1]) / a.size[1])
    size = max(abs((box_a[2] - box_a[0]) - (box_b[2] - box_b[0])) / a.size[0],
               abs((box_a[3] - box_a[1]) - (box_b[3] - box_b[1])) / a.size[1])
    share = far_share(a, b, SAME_LEVEL)
    ok = (1 / INK_RATIO <= ratio <= INK_RATIO and start <= START_SLACK and size <= SIZE_SLACK
          and share <= TEXT_SHARE)
    return ok, (f"ink {count_a} against {count_b} (ratio {ratio:.2f}), boxes {box_a} and {box_b}, "
                f"{share:.4%} of pixels differ by more than {SAME_LEVEL}")


KINDS = {"same": compare_same, "picture": compare_picture, "text": compare_text}


def main(args):
    if len(args) % 3 != 0 or not args:
        print(__doc__, file=sys.stderr)
        return 2
    failed = 0
    for kind, windows, linux in zip(args[0::3], args[1::3], args[2::3]):
        a, b = load(windows), load(linux)
        if a.size != b.size:
            ok, what = False, f"sizes {a.size} and {b.size}"
        else:
            ok, what = KINDS[kind](a, b)
        print(f"{'ok' if ok else 'DIFFERENT'} {kind} {windows}: {what}")
        failed += not ok
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
