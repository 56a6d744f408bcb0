// The host's camera turned round the origin: --orbit and --distance, and
// Session::SetCamera between frames.
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

using render::Blob;
using render::Image;
using render::Rgb;

const uint32_t Black = Rgb(0, 0, 0);

// A lit ball of radius 0.5 at (x, y, z) on black, mono or as a stereo pair.
std::string BallScript(double x, double y, double z, bool stereo = false)
{
    std::string canvas = stereo ? "canvas 200 200 0 persp 30 1 100 10 1 0\n" : "canvas 200 200 persp 30 1 100 10\n";
    return canvas + "clear 0 0 0\nlight 0 0 1\nambient 0.5 0.5 0.5\ndiffuse 1 1 1\npush\nmove " + std::to_string(x) +
           " " + std::to_string(y) + " " + std::to_string(z) + "\nscale 0.5 0.5 0.5\nsphere 16 24 smooth\npop\nfinish\n";
}

render::RenderResult Render(const std::string &script, tesselin::Camera camera = {})
{
    render::RenderOptions options;
    options.camera = camera;
    auto run = render::RenderScript(script, options);
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    return run;
}

tesselin::Camera Orbit(double azimuth, double elevation, std::optional<double> distance = {})
{
    tesselin::Camera camera;
    camera.azimuth = azimuth;
    camera.elevation = elevation;
    camera.distance = distance;
    return camera;
}

Blob Ball(const Image &image)
{
    Blob ball = render::FindUnlike(image, Black, 4);
    EXPECT_GT(ball.count, 50);
    return ball;
}

bool SameImage(const Image &a, const Image &b)
{
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

TEST(OrbitCamera, TurnedCameraSeesTheBallWhereItShould)
{
    // Image x grows to the right and y downwards; the centre is at 99.5.
    struct Case {
        double azimuth, elevation;
        double x, y, z;
        int side, height; // sign of the ball's offset from the centre, across and down
    } cases[] = {
        {0, 0, -2, 0, 0, -1, 0},  // the script's own view
        {180, 0, -2, 0, 0, 1, 0}, // from behind, left and right swap
        {90, 0, 0, 0, 2, -1, 0},  // from +x, the front is on the left
        {-90, 0, 0, 0, 2, 1, 0},  // from -x, on the right
        {0, 30, 0, 0, 2, 0, 1},   // from above, the near side sinks
        {0, 30, 0, 0, -2, 0, -1}, // and the far side rises
        {0, -30, 0, 0, 2, 0, -1}, // from below, the other way round
        {0, 90, 0, 2, 0, 0, 0},   // from straight above, +y is nearest, in the middle
        {0, 90, 0, 0, -2, 0, -1}, // and the far side is up the image
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "orbit " << c.azimuth << "," << c.elevation << " ball " << c.x << ","
                                        << c.y << "," << c.z);
        Blob ball = Ball(Render(BallScript(c.x, c.y, c.z), Orbit(c.azimuth, c.elevation)).window);
        double across = ball.x - 99.5, down = ball.y - 99.5;
        if (c.side == 0)
            EXPECT_NEAR(across, 0, 1);
        else
            EXPECT_GT(across * c.side, 20);
        if (c.height == 0)
            EXPECT_NEAR(down, 0, 1);
        else
            EXPECT_GT(down * c.height, 20);
    }
}

TEST(OrbitCamera, UnturnedCameraRendersExactlyTheScriptsView)
{
    for (bool stereo : {false, true}) {
        SCOPED_TRACE(stereo ? "stereo" : "mono");
        std::string script = BallScript(-2, 1, 0.5, stereo);
        auto plain = Render(script);
        auto unturned = Render(script, Orbit(0, 0));
        auto sameDistance = Render(script, Orbit(0, 0, 10));
        EXPECT_TRUE(SameImage(plain.window, unturned.window));
        EXPECT_TRUE(SameImage(plain.right, unturned.right));
        EXPECT_TRUE(SameImage(plain.window, sameDistance.window));
        EXPECT_TRUE(SameImage(plain.right, sameDistance.right));
        // A full turn is the same view, up to rounding.
        auto fullTurn = Render(script, Orbit(360, 0));
        EXPECT_NEAR(Ball(fullTurn.window).x, Ball(plain.window).x, 0.2);
    }
}

TEST(OrbitCamera, DistanceOverridesTheScriptsAndMovesTheZeroParallaxPlane)
{
    Blob near = Ball(Render(BallScript(0, 0, 0)).window);
    Blob far = Ball(Render(BallScript(0, 0, 0), Orbit(0, 0, 20)).window);
    EXPECT_NEAR(far.x, 99.5, 0.5);
    // Twice as far, half as wide (and about a quarter of the pixels).
    double nearWidth = near.bounds.right - near.bounds.left, farWidth = far.bounds.right - far.bounds.left;
    EXPECT_NEAR(farWidth / nearWidth, 0.5, 0.08);
    // The plane without parallax follows the camera: a ball at the origin
    // lands on the same pixels in both eyes at any distance.
    auto pair = Render(BallScript(0, 0, 0, true), Orbit(0, 0, 20));
    ASSERT_FALSE(pair.right.Empty());
    EXPECT_NEAR(Ball(pair.window).x, Ball(pair.right).x, 0.1);
}

TEST(OrbitCamera, StereoEyesSitAlongTheTurnedCamerasOwnXAxis)
{
    // Turning the camera 90 degrees to +x and putting the ball at +x shows
    // what the unturned camera shows of the ball at +z: the same parallax in
    // both eyes and no vertical disparity.
    auto straight = Render(BallScript(0, 0, 2, true));
    auto turned = Render(BallScript(2, 0, 0, true), Orbit(90, 0));
    auto raised = Render(BallScript(0, 2, 0, true), Orbit(0, 90));
    ASSERT_FALSE(straight.right.Empty());
    double disparity = Ball(straight.window).x - Ball(straight.right).x;
    EXPECT_GT(disparity, 5); // in front of the plane: the left eye sees it further right
    for (const auto *run : {&turned, &raised}) {
        ASSERT_FALSE(run->right.Empty());
        Blob left = Ball(run->window), right = Ball(run->right);
        EXPECT_NEAR(left.x - right.x, disparity, 0.5);
        EXPECT_NEAR(left.y, right.y, 0.5);
    }
}

TEST(OrbitCamera, SetCameraTurnsLaterFramesOnly)
{
    render::RenderSession session;
    std::string script = BallScript(-2, 0, 0);
    auto runAll = [&session, &script] { session.Lines(script); };
    runAll();
    session.Session().SetCamera(Orbit(180, 0));
    runAll();
    session.Session().SetCamera(Orbit(0, 0));
    runAll();
    auto run = session.Finish();
    ASSERT_EQ(run.frames.size(), 3u);
    EXPECT_LT(Ball(run.frames[0]).x, 99.5);
    EXPECT_GT(Ball(run.frames[1]).x, 99.5);
    EXPECT_TRUE(SameImage(run.frames[0], run.frames[2]));
}

TEST(OrbitCamera, ProgramTakesOrbitAndDistance)
{
    std::string directory = render::ScratchDirectory();
    std::string script = directory + "/ball.tsl";
    std::ofstream(script) << BallScript(-2, 0, 0);
    auto image = [&](std::vector<std::string> extra, const std::string &name) {
        std::vector<std::string> args = {"run", script, "-o", directory + "/" + name};
        args.insert(args.end(), extra.begin(), extra.end());
        auto result = render::RunTesselin(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return render::LoadPng(directory + "/" + name);
    };
    auto plain = image({}, "plain.png"), unturned = image({"--orbit", "0,0"}, "unturned.png");
    auto behind = image({"--orbit=180,0", "--distance", "12"}, "behind.png");
    ASSERT_TRUE(plain && unturned && behind);
    EXPECT_TRUE(SameImage(*plain, *unturned));
    EXPECT_GT(Ball(*behind).x, 120);

    struct Refused {
        std::vector<std::string> args;
        const char *says;
    } refused[] = {
        {{"--orbit", "30"}, "AZIMUTH,ELEVATION"},    {{"--orbit", "30,"}, "AZIMUTH,ELEVATION"},
        {{"--orbit", "a,b"}, "AZIMUTH,ELEVATION"},   {{"--orbit", "nan,0"}, "AZIMUTH,ELEVATION"},
        {{"--orbit", "1,2,3"}, "AZIMUTH,ELEVATION"}, {{"--distance", "0"}, "above 0"},
        {{"--distance", "-4"}, "above 0"},           {{"--distance", "inf"}, "above 0"},
        {{"--distance"}, "needs a value"},
    };
    for (const Refused &r : refused) {
        std::vector<std::string> args = {"run", script, "-o", directory + "/refused.png"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        auto result = render::RunTesselin(args);
        EXPECT_EQ(result.status, 2) << r.args[0];
        EXPECT_NE(result.err.find(r.says), std::string::npos) << result.err;
    }
}

} // namespace
