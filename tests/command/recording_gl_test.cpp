// The recording OpenGL's own promises that other tests lean on.
#include "tests/doubles/recording_gl.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

namespace {

TEST(RecordingGl, QuadricIdsStayInTheirBlockPastAnyNumberOfQuadrics)
{
    // The fuzzer met this after some thousands of canvas commands: the id
    // after a wrap pointed past the block.
    recording_gl::ResetQuadrics();
    int previous = 0;
    for (int i = 0; i < 10000; i++) {
        GLUquadric *q = gluNewQuadric();
        int id = recording_gl::QuadricId(q);
        ASSERT_GT(id, 0) << "quadric " << i;
        ASSERT_NE(id, previous) << "quadric " << i;
        gluDeleteQuadric(q);
        previous = id;
    }
    EXPECT_EQ(recording_gl::LiveQuadrics(), 0);
    recording_gl::ResetQuadrics();
}

}
