// Putting a used rendering context back as it was born: every state a
// record may change comes back equal to a new context's, the frame white;
// a record that changed state the reset does not know is never reset.
#include "app/gl/boundary.h"
#include "app/gl/context_reset.h"
#include "app/gl/device.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using tesselin::gl::CommandStream;

struct Calls {
    const char *name;
    std::function<void()> make; // OpenGL calls through the host's entry points
};

const float Colour[4] = {0.2f, 0.4f, 0.6f, 0.8f};
const float Place[4] = {1, -2, 3, 1};

// Each undoable by a reset.
const Calls Undoable[] = {
    {"lights placed and aimed under a turned modelview",
     [] {
         glMatrixMode(GL_MODELVIEW);
         glRotatef(30, 1, 0, 0);
         glTranslatef(1, 2, 3);
         glEnable(GL_LIGHTING);
         glEnable(GL_LIGHT3);
         glLightfv(GL_LIGHT3, GL_POSITION, Place);
         glLightfv(GL_LIGHT3, GL_SPOT_DIRECTION, Place);
         glLightf(GL_LIGHT3, GL_SPOT_CUTOFF, 20);
         glLighti(GL_LIGHT3, GL_SPOT_EXPONENT, 7);
         glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0.5f);
         glLightfv(GL_LIGHT0, GL_AMBIENT, Colour);
         glLightfv(GL_LIGHT7, GL_DIFFUSE, Colour);
     }},
    {"materials, colour material and the light model",
     [] {
         glEnable(GL_COLOR_MATERIAL);
         glColorMaterial(GL_FRONT, GL_SPECULAR);
         glColor4f(0.9f, 0.1f, 0.3f, 0.5f);
         glMaterialfv(GL_BACK, GL_EMISSION, Colour);
         glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, 50);
         glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, Colour);
         glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
         glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
         glLightModelfv(GL_LIGHT_MODEL_AMBIENT, Colour);
         glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
     }},
    {"every matrix stack pushed past its end and changed",
     [] {
         for (GLenum mode : {GL_TEXTURE, GL_MODELVIEW, GL_PROJECTION}) {
             glMatrixMode(mode);
             for (int i = 0; i < 40; i++) {
                 glPushMatrix();
                 glScalef(2, 3, 4);
             }
         }
         glFrustum(-1, 1, -1, 1, 1, 10);
         glMultMatrixd(std::vector<double>(16, 0.5).data());
     }},
    {"every capability the reset knows switched the other way",
     [] {
         for (GLenum cap : tesselin::ResettableCapabilities) {
             if (glIsEnabled(cap))
                 glDisable(cap);
             else
                 glEnable(cap);
         }
     }},
    {"a shape left open",
     [] {
         glBegin(GL_TRIANGLES);
         glNormal3f(0, 1, 0);
         glVertex3f(0, 0, 0);
         glVertex3f(1, 0, 0);
     }},
    {"raster settings, current attributes and a drawn frame",
     [] {
         glPolygonMode(GL_FRONT, GL_LINE);
         glPolygonMode(GL_BACK, GL_POINT);
         glPointSize(5);
         glLineWidth(3);
         glShadeModel(GL_FLAT);
         glDepthFunc(GL_GEQUAL);
         glCullFace(GL_FRONT);
         glFrontFace(GL_CW);
         glBlendFunc(GL_SRC_ALPHA, GL_ONE);
         glViewport(5, 5, 10, 10);
         glClearColor(0, 1, 0, 1);
         glClearDepth(0.25);
         glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
         glColor3f(1, 0, 0);
         glRectf(-1, -1, 1, 1);
         glDepthMask(GL_FALSE);
         glNormal3f(1, 2, 3);
         glTexCoord2f(0.5f, 0.25f);
     }},
    {"errors left pending",
     [] {
         glPopMatrix();
         glMatrixMode(0x1234);
         glEnd();
     }},
};

// Each changes state the reset does not put back.
const Calls NotUndoable[] = {
    {"an evaluator switched on", [] { glEnable(GL_MAP1_VERTEX_3); }},
    {"a capability switched off", [] { glDisable(GL_MAP2_NORMAL); }},
    {"fog set", [] { glFogf(GL_FOG_DENSITY, 2); }},
    {"a display list", [] { glNewList(1, GL_COMPILE); glEndList(); }},
    {"attributes pushed", [] { glPushAttrib(GL_ALL_ATTRIB_BITS); }},
    {"a texture bound", [] { glBindTexture(GL_TEXTURE_2D, 1); }},
    {"pixel unpacking", [] { glPixelStorei(GL_UNPACK_ALIGNMENT, 1); }},
    {"the colour mask", [] { glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_TRUE); }},
    {"a scissor box", [] { glScissor(1, 2, 3, 4); }},
    {"a hint", [] { glHint(GL_FOG_HINT, GL_NICEST); }},
};

class ContextReset : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        device_ = tesselin::GlDevice::Open(error);
        ASSERT_TRUE(device_) << error;
        fresh_ = device_->MakeTarget(Width, Height, error);
        ASSERT_TRUE(fresh_) << error;
        newborn_ = tesselin::CaptureState(device_->Gl());
    }
    void TearDown() override
    {
        tesselin::gl::RecordInto(nullptr);
        tesselin::gl::SetContextCurrent(false);
    }
    // A new target with calls made in it through the boundary, recorded into stream.
    std::unique_ptr<tesselin::GlTarget> Used(const Calls &calls, CommandStream &stream)
    {
        std::string error;
        auto target = device_->MakeTarget(Width, Height, error);
        EXPECT_TRUE(target) << error;
        target->MakeCurrent();
        tesselin::gl::SetContextCurrent(true);
        tesselin::gl::RecordInto(&stream);
        calls.make();
        tesselin::gl::RecordInto(nullptr);
        return target;
    }

    static constexpr int Width = 48, Height = 32;
    std::unique_ptr<tesselin::GlDevice> device_;
    std::unique_ptr<tesselin::GlTarget> fresh_;
    tesselin::ContextState newborn_{};
};

TEST_F(ContextReset, PutsEveryStateAUsedContextChangedBackAsANewOneHasIt)
{
    for (const Calls &calls : Undoable) {
        SCOPED_TRACE(calls.name);
        CommandStream stream;
        auto target = Used(calls, stream);
        ASSERT_TRUE(target);
        EXPECT_TRUE(tesselin::ResetUndoes(stream));
        ASSERT_TRUE(target->Reset());
        EXPECT_TRUE(tesselin::CaptureState(device_->Gl()) == newborn_);
        EXPECT_EQ(device_->Gl().GetError(), GLenum(GL_NO_ERROR));
        std::vector<uint32_t> pixels(Width * Height);
        target->ReadInto(pixels.data(), Width);
        EXPECT_EQ(std::vector<uint32_t>(Width * Height, 0x00FFFFFFu), pixels) << "the frame is not white again";
    }
}

TEST_F(ContextReset, ARecordOfStateItDoesNotKnowIsNotReset)
{
    for (const Calls &calls : NotUndoable) {
        SCOPED_TRACE(calls.name);
        CommandStream stream;
        auto target = Used(calls, stream);
        ASSERT_TRUE(target);
        EXPECT_FALSE(tesselin::ResetUndoes(stream));
        // Once the calls are forgotten, nothing stands in the way.
        stream.Clear();
        EXPECT_TRUE(tesselin::ResetUndoes(stream));
    }
}

} // namespace
