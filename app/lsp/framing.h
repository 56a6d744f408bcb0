// The base protocol: messages framed by a Content-Length header.
#ifndef TESSELIN_APP_LSP_FRAMING_H
#define TESSELIN_APP_LSP_FRAMING_H

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

namespace tesselin::lsp {

// The largest message body read; a larger one is skipped unread into memory.
// Whole scripts travel in one message, and 16 MB is far beyond any script.
constexpr std::size_t LargestMessage = 16u << 20;

enum class Framed {
    Message,  // body holds the message
    Malformed, // the header was not understood; reading goes on after it
    TooLarge, // the body was skipped
    End,      // the input ended
};

// Reads the next message's header and body from in.
Framed ReadMessage(std::istream &in, std::string &body, std::size_t largest = LargestMessage);
void WriteMessage(std::ostream &out, std::string_view body);

} // namespace tesselin::lsp

#endif
