#include "app/gl/device.h"
#include "app/gl/boundary.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tesselin {

namespace {

EGLContext CreateContext(EGLDisplay display)
{
    const EGLint attributes[] = {
        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
        EGL_NONE,
    };
    return eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
}

bool HasExtension(const char *list, const char *name)
{
    if (!list)
        return false;
    std::size_t length = std::strlen(name);
    for (const char *p = list; (p = std::strstr(p, name)); p += length)
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0'))
            return true;
    return false;
}

template <typename F> void Resolve(F &slot, const char *name)
{
    slot = reinterpret_cast<F>(eglGetProcAddress(name));
}

void ResolveRealGl(RealGl &gl)
{
#define REAL_GL_CALL(ret, name, params) Resolve(gl.name, "gl" #name);
#include "app/gl/real_calls.inc"
#undef REAL_GL_CALL
}

// The first context, current, on a display that makes contexts without
// windows or configurations; none, with the reason in error, otherwise.
EGLContext FirstContext(EGLDisplay display, std::string &error)
{
    const char *extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (!HasExtension(extensions, "EGL_KHR_surfaceless_context") ||
        !HasExtension(extensions, "EGL_KHR_no_config_context")) {
        error = "EGL cannot make a context without a window (no surfaceless, configless contexts)";
        return EGL_NO_CONTEXT;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL offers no desktop OpenGL";
        return EGL_NO_CONTEXT;
    }
    EGLContext context = CreateContext(display);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = "EGL cannot make a desktop OpenGL compatibility context";
        if (context != EGL_NO_CONTEXT)
            eglDestroyContext(display, context);
        return EGL_NO_CONTEXT;
    }
    return context;
}


// The display: Mesa's surfaceless platform needs no window system at all;
// failing that, the first EGL device.
EGLDisplay OpenDisplay(std::string &error)
{
    const char *clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        error = "EGL cannot open a display without a window system (no eglGetPlatformDisplayEXT)";
        return EGL_NO_DISPLAY;
    }
    if (HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr))
            return display;
    }
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (queryDevices && HasExtension(clientExtensions, "EGL_EXT_platform_device")) {
        EGLDeviceEXT devices[8];
        EGLint count = 0;
        if (queryDevices(8, devices, &count) && count > 0) {
            EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[0], nullptr);
            if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr))
                return display;
        }
    }
    error = "EGL found neither Mesa's surfaceless platform nor a device to render on "
            "(install libegl-mesa0 and libgl1-mesa-dri)";
    return EGL_NO_DISPLAY;
}

} // namespace

std::unique_ptr<GlDevice> GlDevice::Open(std::string &error)
{
    EGLDisplay display = OpenDisplay(error);
    if (display == EGL_NO_DISPLAY)
        return nullptr;
    std::unique_ptr<GlDevice> device(new GlDevice);
    device->display_ = display;
    EGLContext context = FirstContext(display, error);
    if (context == EGL_NO_CONTEXT)
        return nullptr;
    device->spare_ = context;

    auto missing = gl::ResolveEntryPoints([](const char *name) {
        return reinterpret_cast<void *>(eglGetProcAddress(name));
    });
    if (!missing.empty()) {
        error = "OpenGL lacks " + missing.front();
        return nullptr;
    }
    RealGl &gl = device->gl_;
    ResolveRealGl(gl);
    if (!gl.GenFramebuffers || !gl.CheckFramebufferStatus || !gl.RenderbufferStorage) {
        error = "OpenGL has no framebuffer objects";
        return nullptr;
    }
    const GLubyte *renderer = gl.GetString(GL_RENDERER);
    const GLubyte *version = gl.GetString(GL_VERSION);
    device->renderer_ = std::string(renderer ? reinterpret_cast<const char *>(renderer) : "?") + ", OpenGL " +
                        (version ? reinterpret_cast<const char *>(version) : "?");
    if (gl.RenderbufferStorageMultisample && gl.BlitFramebuffer && gl.GetIntegerv)
        gl.GetIntegerv(GL_MAX_SAMPLES, &device->maxSamples_);
    device->Release();
    return device;
}

int GlDevice::SetSamples(int samples)
{
    samples_ = std::clamp(samples, 1, std::max(maxSamples_, 1));
    return samples_;
}

GlDevice::~GlDevice()
{
    Release();
    if (spare_)
        eglDestroyContext(display_, spare_);
    eglTerminate(display_);
}

void GlDevice::Release()
{
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    gl::SetContextCurrent(false);
}

std::unique_ptr<GlTarget> GlDevice::MakeTarget(int width, int height, std::string &error)
{
    EGLContext context = spare_ ? spare_ : CreateContext(display_);
    spare_ = nullptr;
    if (context == EGL_NO_CONTEXT) {
        error = "EGL cannot make another OpenGL context";
        return nullptr;
    }
    std::unique_ptr<GlTarget> target(new GlTarget(*this, context, width, height));
    target->MakeCurrent();
    gl_.GenFramebuffers(1, &target->framebuffer_);
    gl_.BindFramebuffer(GL_FRAMEBUFFER, target->framebuffer_);
    // With multisampling, colour and depth hold several samples per pixel;
    // a plain colour buffer beside them receives the resolved frame.
    auto storage = [&](GLenum format) {
        if (samples_ > 1)
            gl_.RenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, format, width, height);
        else
            gl_.RenderbufferStorage(GL_RENDERBUFFER, format, width, height);
    };
    gl_.GenRenderbuffers(1, &target->colour_);
    gl_.BindRenderbuffer(GL_RENDERBUFFER, target->colour_);
    storage(GL_RGBA8);
    gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target->colour_);
    gl_.GenRenderbuffers(1, &target->depth_);
    gl_.BindRenderbuffer(GL_RENDERBUFFER, target->depth_);
    storage(GL_DEPTH_COMPONENT24);
    gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target->depth_);
    bool complete = gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete && samples_ > 1) {
        gl_.GenFramebuffers(1, &target->resolveFramebuffer_);
        gl_.BindFramebuffer(GL_FRAMEBUFFER, target->resolveFramebuffer_);
        gl_.GenRenderbuffers(1, &target->resolveColour_);
        gl_.BindRenderbuffer(GL_RENDERBUFFER, target->resolveColour_);
        gl_.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target->resolveColour_);
        complete = gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        gl_.BindFramebuffer(GL_FRAMEBUFFER, target->framebuffer_);
    }
    gl_.BindRenderbuffer(GL_RENDERBUFFER, 0);
    if (!complete) {
        error = "OpenGL cannot make a framebuffer of " + std::to_string(width) + " x " + std::to_string(height);
        return nullptr;
    }
    // A new 3D canvas starts white, like a new canvas; the clear colour goes
    // back to OpenGL's default so the plug-in finds a fresh context.
    gl_.Viewport(0, 0, width, height);
    gl_.ClearColor(1, 1, 1, 1);
    gl_.ClearDepth(1);
    gl_.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl_.ClearColor(0, 0, 0, 0);
    target->birth_ = CaptureState(gl_);
    return target;
}

GlTarget::~GlTarget()
{
    MakeCurrent();
    const RealGl &gl = device_.gl_;
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    GLuint framebuffers[2] = {framebuffer_, resolveFramebuffer_};
    gl.DeleteFramebuffers(2, framebuffers);
    GLuint buffers[3] = {colour_, depth_, resolveColour_};
    gl.DeleteRenderbuffers(3, buffers);
    device_.Release();
    eglDestroyContext(device_.display_, context_);
}

void GlTarget::MakeCurrent()
{
    if (eglGetCurrentContext() != context_)
        eglMakeCurrent(device_.display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_);
}

bool GlTarget::Reset()
{
    MakeCurrent();
    return ResetContext(device_.gl_, birth_);
}

void GlTarget::ReadInto(uint32_t *pixels, int stride)
{
    MakeCurrent();
    const RealGl &gl = device_.gl_;
    // A multisampled frame is resolved (each pixel the mean of its samples)
    // into the plain buffer, and read from there.
    if (resolveFramebuffer_) {
        gl.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
        gl.BlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        gl.BindFramebuffer(GL_READ_FRAMEBUFFER, resolveFramebuffer_);
    }
    // The plug-in may have changed how pixels are packed; read tightly.
    gl.PixelStorei(GL_PACK_ALIGNMENT, 4);
    gl.PixelStorei(GL_PACK_ROW_LENGTH, stride);
    gl.PixelStorei(GL_PACK_SKIP_ROWS, 0);
    gl.PixelStorei(GL_PACK_SKIP_PIXELS, 0);
    gl.ReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    gl.PixelStorei(GL_PACK_ROW_LENGTH, 0);
    if (resolveFramebuffer_)
        gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    // OpenGL's rows run bottom to top; RGBA bytes read as 0xAABBGGRR.
    std::vector<uint32_t> row(static_cast<std::size_t>(width_));
    for (int y = 0; y < height_; y++) {
        uint32_t *line = pixels + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width_; x++)
            line[x] &= 0x00FFFFFFu;
    }
    for (int top = 0, bottom = height_ - 1; top < bottom; top++, bottom--) {
        uint32_t *a = pixels + static_cast<std::size_t>(top) * stride;
        uint32_t *b = pixels + static_cast<std::size_t>(bottom) * stride;
        std::memcpy(row.data(), a, row.size() * 4);
        std::memcpy(a, b, row.size() * 4);
        std::memcpy(b, row.data(), row.size() * 4);
    }
}

} // namespace tesselin
