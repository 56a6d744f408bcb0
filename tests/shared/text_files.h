// Small helpers the test programs share: whether a text holds a fragment, and
// a file's bytes read or written whole. Header-only, so every test program
// (linked with the host or not) can use them.
#ifndef TESSELIN_TESTS_SHARED_TEXT_FILES_H
#define TESSELIN_TESTS_SHARED_TEXT_FILES_H

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

inline bool Contains(std::string_view text, std::string_view fragment)
{
    return text.find(fragment) != std::string_view::npos;
}

// The whole file as it is on disk; empty when it cannot be read.
inline std::string ReadFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Writes text as the whole of the file at path; the path, for chaining.
inline std::string WriteFile(const std::string &path, std::string_view text)
{
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

#endif
