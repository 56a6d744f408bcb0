#include "app/gl/call_groups.h"
#include "app/gl/call_encoding.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

namespace tesselin::gl {

namespace {

using encoding::ReplayCall;
using encoding::SpanArg;
using Word = CommandStream::Word;
using Thunk = CommandStream::Thunk;

// The routine the boundary records for a call of name with arguments of these types.
#define TESSELIN_THUNK(name, ...) Thunk(&ReplayCall<Fn::name, decltype(&::name), ##__VA_ARGS__>)

enum class Kind { Begin, End, Vertex, VertexV, Normal, NormalV, ColourV, NewList, EndList, Other };

Kind KindOf(Thunk thunk)
{
    static const std::pair<Thunk, Kind> known[] = {
        {TESSELIN_THUNK(glBegin, GLenum), Kind::Begin},
        {TESSELIN_THUNK(glEnd), Kind::End},
        {TESSELIN_THUNK(glVertex3f, GLfloat, GLfloat, GLfloat), Kind::Vertex},
        {TESSELIN_THUNK(glVertex3fv, SpanArg<GLfloat>), Kind::VertexV},
        {TESSELIN_THUNK(glNormal3f, GLfloat, GLfloat, GLfloat), Kind::Normal},
        {TESSELIN_THUNK(glNormal3fv, SpanArg<GLfloat>), Kind::NormalV},
        {TESSELIN_THUNK(glColor4fv, SpanArg<GLfloat>), Kind::ColourV},
        {TESSELIN_THUNK(glNewList, GLuint, GLenum), Kind::NewList},
        {TESSELIN_THUNK(glEndList), Kind::EndList},
    };
    for (const auto &[routine, kind] : known)
        if (routine == thunk)
            return kind;
    return Kind::Other;
}

// The words after a call's routine: its arguments; a span's count comes first.
const float *Floats(const Word *arguments, Kind kind, std::size_t want)
{
    bool span = kind == Kind::VertexV || kind == Kind::NormalV || kind == Kind::ColourV;
    if (span && arguments[0] != want)
        return nullptr;
    return reinterpret_cast<const float *>(arguments + (span ? 1 : 0));
}

// How many vertices make one of a list primitive; 0 for strips, fans, loops and polygons.
int ListStep(uint32_t mode)
{
    switch (mode) {
    case GL_POINTS: return 1;
    case GL_LINES: return 2;
    case GL_TRIANGLES: return 3;
    case GL_QUADS: return 4;
    default: return 0;
    }
}

template <typename P> P Real(Fn fn) { return reinterpret_cast<P>(RealEntry(fn)); }

} // namespace

void DrawGroup(VertexGroup &group)
{
    if (!group.normals.empty() && group.inheritNormals > 0) {
        float now[4];
        Real<decltype(&::glGetFloatv)>(Fn::glGetFloatv)(GL_CURRENT_NORMAL, now);
        for (std::size_t i = 0; i < group.inheritNormals; i++)
            std::copy(now, now + 3, &group.normals[3 * i]);
    }
    if (!group.colours.empty() && group.inheritColours > 0) {
        float now[4];
        Real<decltype(&::glGetFloatv)>(Fn::glGetFloatv)(GL_CURRENT_COLOR, now);
        for (std::size_t i = 0; i < group.inheritColours; i++)
            std::copy(now, now + 4, &group.colours[4 * i]);
    }
    auto enable = Real<decltype(&::glEnableClientState)>(Fn::glEnableClientState);
    auto disable = Real<decltype(&::glDisableClientState)>(Fn::glDisableClientState);
    enable(GL_VERTEX_ARRAY);
    Real<decltype(&::glVertexPointer)>(Fn::glVertexPointer)(3, GL_FLOAT, 0, group.positions.data());
    if (!group.normals.empty()) {
        enable(GL_NORMAL_ARRAY);
        Real<decltype(&::glNormalPointer)>(Fn::glNormalPointer)(GL_FLOAT, 0, group.normals.data());
    }
    if (!group.colours.empty()) {
        enable(GL_COLOR_ARRAY);
        Real<decltype(&::glColorPointer)>(Fn::glColorPointer)(4, GL_FLOAT, 0, group.colours.data());
    }
    auto draw = Real<decltype(&::glDrawArrays)>(Fn::glDrawArrays);
    for (const VertexGroup::Shape &shape : group.shapes)
        draw(shape.mode, shape.first, shape.count);
    disable(GL_VERTEX_ARRAY);
    disable(GL_NORMAL_ARRAY);
    disable(GL_COLOR_ARRAY);
    // The current normal and colour as the calls left them (after drawing
    // from arrays they are not defined).
    if (group.finalNormal)
        Real<decltype(&::glNormal3fv)>(Fn::glNormal3fv)(group.lastNormal);
    if (group.finalColour)
        Real<decltype(&::glColor4fv)>(Fn::glColor4fv)(group.lastColour);
}

namespace {

// Walks a record, making the calls it cannot group and gathering the rest.
class Grouper {
public:
    Grouper(const Word *words, std::vector<VertexGroup> &groups, std::vector<GroupedCalls::Step> &steps)
        : words_(words), groups_(groups), steps_(steps)
    {
    }
    void Walk(std::size_t from, std::size_t to);

private:
    const Word *Take(const Word *p, Kind kind, const Word *arguments);
    void Vertex(const float *position);
    const Word *RunOne(const Word *p);
    void Close();
    void GiveUpShape(const Word *here);

    const Word *words_;
    std::vector<VertexGroup> &groups_;
    std::vector<GroupedCalls::Step> &steps_;
    VertexGroup group_;
    bool open_ = false, inShape_ = false, rawShape_ = false;
    int lists_ = 0;
    const Word *shapeStart_ = nullptr;
    uint32_t mode_ = 0;
    std::size_t shapeFirst_ = 0;
    VertexGroup atShape_; // the tracking as the shape began (its arrays left empty)
};

// Makes the call at p as recorded, as a step of its own or the last one's continuation.
const Word *Grouper::RunOne(const Word *p)
{
    Thunk thunk;
    std::memcpy(&thunk, p, sizeof thunk);
    const Word *next = thunk(p + 2);
    std::size_t a = std::size_t(p - words_), b = std::size_t(next - words_);
    if (!steps_.empty() && !steps_.back().group && steps_.back().b == a)
        steps_.back().b = b;
    else
        steps_.push_back({false, a, b});
    return next;
}

void Grouper::Close()
{
    if (!open_)
        return;
    open_ = false;
    std::size_t vertices = group_.Vertices();
    if (group_.inheritNormals == vertices)
        group_.normals.clear();
    if (group_.inheritColours == vertices)
        group_.colours.clear();
    if (group_.shapes.empty()) {
        // Only attributes: the calls that set them are made as arrays would leave them.
        if (group_.finalNormal || group_.finalColour)
            DrawGroup(group_);
    } else {
        DrawGroup(group_);
    }
    steps_.push_back({true, groups_.size(), 0});
    groups_.push_back(std::move(group_));
    group_ = VertexGroup();
}

void Grouper::Vertex(const float *position)
{
    group_.positions.insert(group_.positions.end(), position, position + 3);
    group_.normals.insert(group_.normals.end(), group_.lastNormal, group_.lastNormal + 3);
    group_.colours.insert(group_.colours.end(), group_.lastColour, group_.lastColour + 4);
    group_.inheritNormals += !group_.finalNormal;
    group_.inheritColours += !group_.finalColour;
}

// A call inside a shape that arrays cannot give: the group so far is drawn,
// and the shape's calls are made as recorded from its glBegin on.
void Grouper::GiveUpShape(const Word *here)
{
    std::size_t keep = shapeFirst_;
    group_.positions.resize(3 * keep);
    group_.normals.resize(3 * keep);
    group_.colours.resize(4 * keep);
    group_.inheritNormals = std::min(group_.inheritNormals, keep);
    group_.inheritColours = std::min(group_.inheritColours, keep);
    group_.finalNormal = atShape_.finalNormal;
    group_.finalColour = atShape_.finalColour;
    std::copy(atShape_.lastNormal, atShape_.lastNormal + 3, group_.lastNormal);
    std::copy(atShape_.lastColour, atShape_.lastColour + 4, group_.lastColour);
    Close();
    inShape_ = false;
    rawShape_ = true;
    for (const Word *p = shapeStart_; p < here;)
        p = RunOne(p);
}

// Handles one call that the grouping understands; where the next starts.
const Word *Grouper::Take(const Word *p, Kind kind, const Word *arguments)
{
    const float *value = nullptr;
    std::size_t words = 0;
    switch (kind) {
    case Kind::Vertex: case Kind::Normal: value = Floats(arguments, kind, 3); words = 3; break;
    case Kind::VertexV: case Kind::NormalV: value = Floats(arguments, kind, 3); words = 4; break;
    case Kind::ColourV: value = Floats(arguments, kind, 4); words = 5; break;
    case Kind::Begin: words = 1; break;
    default: break;
    }
    bool vertex = kind == Kind::Vertex || kind == Kind::VertexV;
    if ((kind != Kind::Begin && kind != Kind::End && !value) || (vertex && !inShape_) ||
        (kind == Kind::Begin && inShape_)) {
        if (inShape_)
            GiveUpShape(p);
        else
            Close();
        return RunOne(p);
    }
    if (kind == Kind::Begin) {
        if (!open_)
            open_ = true;
        inShape_ = true;
        shapeStart_ = p;
        std::memcpy(&mode_, arguments, sizeof mode_);
        shapeFirst_ = group_.Vertices();
        atShape_.finalNormal = group_.finalNormal;
        atShape_.finalColour = group_.finalColour;
        std::copy(group_.lastNormal, group_.lastNormal + 3, atShape_.lastNormal);
        std::copy(group_.lastColour, group_.lastColour + 4, atShape_.lastColour);
    } else if (kind == Kind::End) {
        if (!inShape_) {
            Close();
            return RunOne(p);
        }
        inShape_ = false;
        int32_t first = int32_t(shapeFirst_), count = int32_t(group_.Vertices() - shapeFirst_);
        auto &shapes = group_.shapes;
        int step = ListStep(mode_);
        if (!shapes.empty() && step && shapes.back().mode == mode_ && shapes.back().count % step == 0)
            shapes.back().count += count;
        else
            shapes.push_back({mode_, first, count});
    } else if (vertex) {
        Vertex(value);
    } else {
        // An attribute: inside a shape or between shapes of an open group it
        // goes into the arrays; before any shape it is made as recorded.
        if (!open_)
            return RunOne(p);
        bool normal = kind != Kind::ColourV;
        std::copy(value, value + (normal ? 3 : 4), normal ? group_.lastNormal : group_.lastColour);
        (normal ? group_.finalNormal : group_.finalColour) = true;
    }
    return arguments + words;
}

void Grouper::Walk(std::size_t from, std::size_t to)
{
    const Word *p = words_ + from, *end = words_ + to;
    while (p < end) {
        Thunk thunk;
        std::memcpy(&thunk, p, sizeof thunk);
        Kind kind = KindOf(thunk);
        if (kind == Kind::NewList)
            lists_++;
        else if (kind == Kind::EndList && lists_ > 0)
            lists_--;
        // Calls compiled into a display list, and a shape already given up, go as they are.
        if (lists_ > 0 || kind == Kind::NewList || kind == Kind::EndList || kind == Kind::Other || rawShape_) {
            if (inShape_)
                GiveUpShape(p);
            else
                Close();
            if (rawShape_ && kind == Kind::End)
                rawShape_ = false;
            p = RunOne(p);
            continue;
        }
        p = Take(p, kind, p + 2);
    }
    // A record ends at a call boundary; a shape still open is made as recorded.
    if (inShape_)
        GiveUpShape(end);
    Close();
}

} // namespace

void GroupedCalls::PlayAndGroup(const CommandStream &stream, std::size_t from, std::size_t to)
{
    Clear();
    Grouper grouper(stream.Data(), groups_, steps_);
    grouper.Walk(from, std::min(to, stream.Words()));
    from_ = from;
    to_ = to;
    made_ = true;
}

void GroupedCalls::Play(const CommandStream &stream) const
{
    for (const Step &step : steps_) {
        if (step.group)
            DrawGroup(groups_[step.a]);
        else
            stream.Replay(step.a, step.b);
    }
}

std::size_t GroupedCalls::Vertices() const
{
    std::size_t vertices = 0;
    for (const VertexGroup &group : groups_)
        vertices += group.Vertices();
    return vertices;
}

} // namespace tesselin::gl
