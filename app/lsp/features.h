// What the language server answers about one script: each function takes the
// document and the request's parameters and gives the result the protocol
// expects, as JSON.
#ifndef TESSELIN_APP_LSP_FEATURES_H
#define TESSELIN_APP_LSP_FEATURES_H

#include "app/lsp/document.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

namespace tesselin::lsp {

using nlohmann::json;

// What the features need beyond the document: where the script's files are
// looked for, where the manual is, and the client's formatting setting.
struct Context {
    std::filesystem::path directory;
    std::string manual;          // URI of manual.htm; hover links to its sections
    bool indentBlocks = false;   // formatting indents push ... pop
};

json ToJson(const Range &range);
// The position params names (its "position"), clamped to the document.
Position PositionOf(const json &params);

// The findings of tesselin check, as diagnostics.
json Diagnostics(const Document &document, const Context &context);
json Completion(const Document &document, const Context &context, Position at);
json Hover(const Document &document, const Context &context, Position at);
json SignatureHelp(const Document &document, Position at);
json DocumentSymbols(const Document &document);
json FoldingRanges(const Document &document);
json CodeActions(const Document &document, const std::string &uri, const json &params);
json Formatting(const Document &document, const Context &context, const json &options);

} // namespace tesselin::lsp

#endif
