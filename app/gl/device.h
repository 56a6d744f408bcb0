// Headless OpenGL: one EGL display without any window system, and rendering
// targets on it, each an OpenGL context (desktop OpenGL, compatibility
// profile) drawing into a framebuffer object of its own (colour + depth).
#ifndef TESSELIN_APP_GL_DEVICE_H
#define TESSELIN_APP_GL_DEVICE_H

#include "app/gl/context_reset.h"

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tesselin {

// The OpenGL functions the host itself calls. They go straight to the real
// implementation, past the boundary, so they are never recorded.
struct RealGl {
#define REAL_GL_CALL(ret, name, params) ret(*name) params = nullptr;
#include "app/gl/real_calls.inc"
#undef REAL_GL_CALL
};

class GlTarget;

class GlDevice {
public:
    // Opens the display, resolves the boundary's real functions and checks
    // that a context can be made. Returns none with the reason in error.
    static std::unique_ptr<GlDevice> Open(std::string &error);
    ~GlDevice();
    GlDevice(const GlDevice &) = delete;
    GlDevice &operator=(const GlDevice &) = delete;

    const RealGl &Gl() const { return gl_; }
    std::string Renderer() const { return renderer_; }
    // A new target of width x height pixels, cleared white; none on failure.
    std::unique_ptr<GlTarget> MakeTarget(int width, int height, std::string &error);
    // Leaves no context current.
    void Release();
    // Samples per pixel of the targets made from now on (1: no multisampling);
    // limited to what OpenGL offers. Returns the number in effect.
    int SetSamples(int samples);
    int Samples() const { return samples_; }

private:
    GlDevice() = default;
    friend class GlTarget;
    void *display_ = nullptr;
    void *spare_ = nullptr; // the context made at start-up, used by the first target
    RealGl gl_{};
    std::string renderer_;
    int samples_ = 1, maxSamples_ = 1;
};

class GlTarget {
public:
    ~GlTarget();
    GlTarget(const GlTarget &) = delete;
    GlTarget &operator=(const GlTarget &) = delete;

    void MakeCurrent();
    // Makes the context current and puts it back as it was born, its frame
    // white; false when it cannot (the context is then fit only for deleting).
    bool Reset();
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Finishes drawing and copies the frame into pixels (0x00BBGGRR, top row
    // first, stride in pixels), upright.
    void ReadInto(uint32_t *pixels, int stride);

private:
    friend class GlDevice;
    GlTarget(GlDevice &device, void *context, int width, int height)
        : device_(device), context_(context), width_(width), height_(height) {}
    GlDevice &device_;
    void *context_;
    int width_, height_;
    GLuint framebuffer_ = 0, colour_ = 0, depth_ = 0;
    // With multisampling, the single-sampled copy the frame is resolved into.
    GLuint resolveFramebuffer_ = 0, resolveColour_ = 0;
    ContextState birth_{}; // as the plug-in first finds it
};

} // namespace tesselin

#endif
