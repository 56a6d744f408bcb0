// A kept frame turned into vertex arrays, so that redrawing it costs what
// drawing from arrays costs instead of one call per vertex. The shapes
// between glBegin and glEnd that give only vertices, normals and colours
// become arrays of the same vertices in the same order, drawn with the same
// primitives, so the pixels are the same; every other call is made as it was
// recorded, in its place.
//
// The grouping is made while the record is first played (it needs the calls
// to run to find where each one ends), and played from then on.
#ifndef TESSELIN_APP_GL_CALL_GROUPS_H
#define TESSELIN_APP_GL_CALL_GROUPS_H

#include "app/gl/call_record.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesselin::gl {

// Vertices drawn as one run of arrays: consecutive shapes of the same kind
// with nothing but vertex data between them.
struct VertexGroup {
    struct Shape {
        uint32_t mode;
        int32_t first, count;
    };
    std::vector<Shape> shapes;
    std::vector<float> positions, normals, colours; // 3, 3 and 4 per vertex; empty when never given
    // Leading vertices that take the normal or colour current when the group starts.
    std::size_t inheritNormals = 0, inheritColours = 0;
    // The normal and colour the group's calls leave current, when they set one.
    bool finalNormal = false, finalColour = false;
    float lastNormal[3] = {}, lastColour[4] = {};
    std::size_t Vertices() const { return positions.size() / 3; }
};

class GroupedCalls {
public:
    // Plays the record's words from..to (call boundaries) in the current
    // context and keeps them grouped; the same words played again through
    // Play give the same OpenGL state and pixels.
    void PlayAndGroup(const CommandStream &stream, std::size_t from, std::size_t to);
    // Plays what PlayAndGroup kept.
    void Play(const CommandStream &stream) const;
    bool Made() const { return made_; }
    std::size_t From() const { return from_; }
    std::size_t To() const { return to_; }
    void Clear() { *this = GroupedCalls(); }
    // How many vertices and groups the arrays hold.
    std::size_t Vertices() const;
    std::size_t Groups() const { return groups_.size(); }

    struct Step {
        bool group;        // a VertexGroup, else recorded calls
        std::size_t a, b;  // the group's index, or the words a..b
    };

private:
    std::vector<Step> steps_;
    mutable std::vector<VertexGroup> groups_;
    std::size_t from_ = 0, to_ = 0;
    bool made_ = false;
};

// Draws group in the current context as the shapes it came from draw.
void DrawGroup(VertexGroup &group);

} // namespace tesselin::gl

#endif
