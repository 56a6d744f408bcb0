// Makes the pictures that the example scripts show: a small ray-traced scene
// of balls on a tiled floor under a sky, once as a wide "photo" and once as a
// stereo pair taken by two parallel cameras a quarter of a unit apart. The
// pair has no convergence of its own: a stereo amount on the canvas sets the
// depth that appears on the screen plane.
//
//   build/tools/example_images DIRECTORY
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Vec {
    double x = 0, y = 0, z = 0;
    Vec operator+(Vec o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec operator-(Vec o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator*(double s) const { return {x * s, y * s, z * s}; }
    Vec operator*(Vec o) const { return {x * o.x, y * o.y, z * o.z}; }
    double Dot(Vec o) const { return x * o.x + y * o.y + z * o.z; }
    Vec Unit() const { return *this * (1.0 / std::sqrt(Dot(*this))); }
};

Vec Mix(Vec a, Vec b, double t) { return a * (1 - t) + b * t; }

struct Ball {
    Vec centre;
    double radius;
    Vec colour;
};

// Linear-light colours; the balls stand at different depths so that the pair
// shows each at its own parallax.
const Ball Balls[] = {
    {{-1.1, 0.45, -3.2}, 0.45, {0.80, 0.25, 0.05}},
    {{0.9, 0.7, -5.0}, 0.7, {0.10, 0.45, 0.60}},
    {{-0.4, 1.0, -7.5}, 1.0, {0.75, 0.60, 0.15}},
    {{2.6, 0.5, -8.5}, 0.5, {0.45, 0.15, 0.55}},
    {{0.25, 0.25, -2.4}, 0.25, {0.85, 0.85, 0.80}},
};
const Vec SunDirection = Vec{-0.55, 0.75, 0.35}.Unit();
const Vec Zenith{0.18, 0.35, 0.75}, Horizon{0.75, 0.82, 0.90};

struct Hit {
    double distance;
    Vec point, normal, colour;
    double shine;
};

std::optional<Hit> Trace(Vec origin, Vec direction)
{
    std::optional<Hit> nearest;
    for (const Ball &ball : Balls) {
        Vec to = origin - ball.centre;
        double b = to.Dot(direction), c = to.Dot(to) - ball.radius * ball.radius, d = b * b - c;
        if (d < 0)
            continue;
        double t = -b - std::sqrt(d);
        if (t > 1e-6 && (!nearest || t < nearest->distance)) {
            Vec point = origin + direction * t;
            nearest = Hit{t, point, (point - ball.centre).Unit(), ball.colour, 0.6};
        }
    }
    if (direction.y < 0) {
        double t = -origin.y / direction.y;
        if (t > 1e-6 && (!nearest || t < nearest->distance)) {
            Vec point = origin + direction * t;
            bool light = (int(std::floor(point.x)) + int(std::floor(point.z))) % 2 == 0;
            nearest = Hit{t, point, {0, 1, 0}, light ? Vec{0.55, 0.55, 0.50} : Vec{0.12, 0.20, 0.10}, 0.0};
        }
    }
    return nearest;
}

Vec Shade(Vec origin, Vec direction)
{
    Vec sky = Mix(Horizon, Zenith, std::clamp(direction.y * 2.5, 0.0, 1.0));
    std::optional<Hit> hit = Trace(origin, direction);
    if (!hit)
        return sky;
    double diffuse = std::max(0.0, hit->normal.Dot(SunDirection));
    if (diffuse > 0 && Trace(hit->point + hit->normal * 1e-4, SunDirection))
        diffuse = 0;
    Vec colour = hit->colour * (0.22 + 0.85 * diffuse);
    if (hit->shine > 0 && diffuse > 0) {
        Vec reflected = direction - hit->normal * (2 * direction.Dot(hit->normal));
        double highlight = std::pow(std::max(0.0, reflected.Dot(SunDirection)), 60) * hit->shine;
        colour = colour + Vec{1, 1, 1} * highlight;
    }
    return Mix(colour, Horizon, 1 - std::exp(-hit->distance * 0.035));
}

unsigned char Encode(double linear)
{
    return static_cast<unsigned char>(std::lround(255 * std::pow(std::clamp(linear, 0.0, 1.0), 1 / 2.2)));
}

// A camera at (eyeX, 1.1, 0) looking down the -z axis, tilted down a little,
// with the given horizontal field of view; 3 x 3 samples a pixel.
std::vector<unsigned char> Render(int width, int height, double eyeX, double fieldOfView)
{
    std::vector<unsigned char> rgb(size_t(width) * height * 3);
    double half = std::tan(fieldOfView * M_PI / 360), tilt = -0.12;
    Vec eye{eyeX, 1.1, 0};
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            Vec sum;
            for (int s = 0; s < 9; s++) {
                double u = (2 * (x + (s % 3 + 0.5) / 3) / width - 1) * half;
                double v = (1 - 2 * (y + (s / 3 + 0.5) / 3) / height) * half * height / width;
                Vec direction = Vec{u, v * std::cos(tilt) + std::sin(tilt), -std::cos(tilt) + v * std::sin(tilt)};
                sum = sum + Shade(eye, direction.Unit());
            }
            unsigned char *p = &rgb[(size_t(y) * width + x) * 3];
            p[0] = Encode(sum.x / 9);
            p[1] = Encode(sum.y / 9);
            p[2] = Encode(sum.z / 9);
        }
    return rgb;
}

bool WriteJpeg(const std::filesystem::path &path, const std::vector<unsigned char> &rgb, int width, int height)
{
    std::unique_ptr<void, int (*)(tjhandle)> encoder(tjInitCompress(), tjDestroy);
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    if (!encoder ||
        tjCompress2(encoder.get(), rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 85, 0) != 0)
        return false;
    std::unique_ptr<unsigned char, void (*)(unsigned char *)> owned(jpeg, tjFree);
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    return file && std::fwrite(jpeg, 1, size, file.get()) == size;
}

}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const double separation = 0.25;
    bool ok = WriteJpeg(dir / "balls.jpg", Render(480, 240, 0, 75), 480, 240) &&
              WriteJpeg(dir / "balls_left.jpg", Render(320, 240, -separation / 2, 60), 320, 240) &&
              WriteJpeg(dir / "balls_right.jpg", Render(320, 240, separation / 2, 60), 320, 240);
    if (!ok) {
        std::fprintf(stderr, "could not write the pictures in %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
