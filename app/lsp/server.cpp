#include "app/lsp/server.h"
#include "app/lsp/framing.h"

#include <cctype>
#include <iostream>
#include <system_error>

namespace tesselin::lsp {

namespace {

constexpr int FullSync = 1;

int HexDigit(char c)
{
    if (std::isdigit(static_cast<unsigned char>(c)))
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The path of a file: URI, its %XX escapes decoded; empty for another scheme.
std::filesystem::path PathOfUri(const std::string &uri)
{
    if (!uri.starts_with("file://"))
        return {};
    std::string path;
    for (std::size_t i = 7; i < uri.size(); i++) {
        if (uri[i] == '%' && i + 2 < uri.size() && HexDigit(uri[i + 1]) >= 0 && HexDigit(uri[i + 2]) >= 0) {
            path += static_cast<char>(HexDigit(uri[i + 1]) * 16 + HexDigit(uri[i + 2]));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

json Capabilities()
{
    return {{"textDocumentSync", {{"openClose", true}, {"change", FullSync}}},
            {"completionProvider", {{"triggerCharacters", {" ", "/"}}}},
            {"hoverProvider", true},
            {"signatureHelpProvider", {{"triggerCharacters", {" "}}}},
            {"documentSymbolProvider", true},
            {"foldingRangeProvider", true},
            {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
            {"documentFormattingProvider", true}};
}

// A request that cannot be answered with a result.
struct RequestError {
    int code;
    std::string message;
};

std::string Dump(const json &message) { return message.dump(-1, ' ', false, json::error_handler_t::replace); }

} // namespace

json ErrorResponse(const json &id, int code, const std::string &message)
{
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

Server::Server(std::string manual) { context_.manual = std::move(manual); }

std::vector<json> Server::HandleText(const std::string &body)
{
    json message = json::parse(body, nullptr, false);
    if (message.is_discarded())
        return {ErrorResponse(nullptr, ParseError, "the message is not JSON (or not UTF-8)")};
    return Handle(message);
}

std::vector<json> Server::Handle(const json &message)
{
    if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
        // A response to a request of ours would be ignored; we send none.
        if (message.is_object() && message.contains("id") && !message.contains("method") &&
            (message.contains("result") || message.contains("error")))
            return {};
        return {ErrorResponse(message.is_object() ? message.value("id", json()) : json(), InvalidRequest,
                              "not a request or notification")};
    }
    const std::string method = message["method"];
    const json params = message.value("params", json::object());
    std::vector<json> out;
    if (!message.contains("id")) {
        Notification(method, params, out);
        return out;
    }
    const json &id = message["id"];
    if (!id.is_number_integer() && !id.is_string())
        return {ErrorResponse(nullptr, InvalidRequest, "a request's id is a number or a string")};
    if (!initialized_ && method != "initialize")
        return {ErrorResponse(id, ServerNotInitialized, "initialize comes first")};
    if (shutdown_)
        return {ErrorResponse(id, InvalidRequest, "the server is shut down; only exit is left")};
    try {
        out.push_back({{"jsonrpc", "2.0"}, {"id", id}, {"result", Request(method, params)}});
    } catch (const RequestError &error) {
        out.push_back(ErrorResponse(id, error.code, error.message));
    } catch (const json::exception &error) {
        out.push_back(ErrorResponse(id, InvalidParams, std::string("bad parameters: ") + error.what()));
    }
    return out;
}

json Server::Initialize(const json &params)
{
    if (initialized_)
        throw RequestError{InvalidRequest, "initialize came twice"};
    initialized_ = true;
    std::string root;
    if (params.contains("workspaceFolders") && params["workspaceFolders"].is_array() &&
        !params["workspaceFolders"].empty())
        root = params["workspaceFolders"][0].value("uri", "");
    else if (params.contains("rootUri") && params["rootUri"].is_string())
        root = params["rootUri"];
    context_.directory = PathOfUri(root);
    if (context_.directory.empty() && params.contains("rootPath") && params["rootPath"].is_string())
        context_.directory = params["rootPath"].get<std::string>();
    Configure(params.value("initializationOptions", json::object()));
    return {{"capabilities", Capabilities()}, {"serverInfo", {{"name", "tesselin"}}}};
}


void Server::Configure(const json &settings)
{
    if (!settings.is_object())
        return;
    const json &ours = settings.contains("tesselin") ? settings["tesselin"] : settings;
    if (ours.is_object() && ours.contains("indentBlocks") && ours["indentBlocks"].is_boolean())
        context_.indentBlocks = ours["indentBlocks"];
}

const Document &Server::DocumentOf(const json &params) const
{
    static const Document Empty;
    auto found = documents_.find(params.at("textDocument").at("uri").get<std::string>());
    return found == documents_.end() ? Empty : found->second;
}

json Server::Request(const std::string &method, const json &params)
{
    if (method == "initialize")
        return Initialize(params);
    if (method == "shutdown") {
        shutdown_ = true;
        return nullptr;
    }
    Context context = context_;
    if (params.contains("textDocument") && context.directory.empty())
        context.directory = PathOfUri(params["textDocument"].value("uri", "")).parent_path();
    if (method == "textDocument/completion")
        return Completion(DocumentOf(params), context, PositionOf(params));
    if (method == "textDocument/hover")
        return Hover(DocumentOf(params), context, PositionOf(params));
    if (method == "textDocument/signatureHelp")
        return SignatureHelp(DocumentOf(params), PositionOf(params));
    if (method == "textDocument/documentSymbol")
        return DocumentSymbols(DocumentOf(params));
    if (method == "textDocument/foldingRange")
        return FoldingRanges(DocumentOf(params));
    if (method == "textDocument/codeAction")
        return CodeActions(DocumentOf(params), params.at("textDocument").at("uri"), params);
    if (method == "textDocument/formatting")
        return Formatting(DocumentOf(params), context, params.value("options", json::object()));
    throw RequestError{MethodNotFound, "no method " + method};
}

json Server::Publish(const std::string &uri) const
{
    Context context = context_;
    if (context.directory.empty())
        context.directory = PathOfUri(uri).parent_path();
    return {{"jsonrpc", "2.0"},
            {"method", "textDocument/publishDiagnostics"},
            {"params", {{"uri", uri}, {"diagnostics", Diagnostics(documents_.at(uri), context)}}}};
}

void Server::Notification(const std::string &method, const json &params, std::vector<json> &out)
{
    if (method == "exit") {
        exited_ = true;
        return;
    }
    if (!initialized_ || shutdown_)
        return; // notifications before initialize are dropped
    try {
        if (method == "textDocument/didOpen" || method == "textDocument/didChange") {
            const json &document = params.at("textDocument");
            const std::string uri = document.at("uri");
            const std::string text = method == "textDocument/didOpen"
                                         ? document.at("text").get<std::string>()
                                         : params.at("contentChanges").back().at("text").get<std::string>();
            documents_.insert_or_assign(uri, Document(text));
            out.push_back(Publish(uri));
        } else if (method == "textDocument/didClose") {
            const std::string uri = params.at("textDocument").at("uri");
            documents_.erase(uri);
            out.push_back({{"jsonrpc", "2.0"},
                           {"method", "textDocument/publishDiagnostics"},
                           {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
        } else if (method == "workspace/didChangeConfiguration") {
            Configure(params.value("settings", json::object()));
        }
    } catch (const json::exception &) {
        // A notification has no answer; a malformed one changes nothing.
    }
}

int Serve(std::istream &in, std::ostream &out, Server &server)
{
    std::string body;
    while (!server.Exited()) {
        Framed framed = ReadMessage(in, body);
        if (framed == Framed::End)
            break;
        std::vector<json> answers;
        if (framed == Framed::Malformed)
            answers.push_back(ErrorResponse(nullptr, ParseError, "a header without a valid Content-Length"));
        else if (framed == Framed::TooLarge)
            answers.push_back(ErrorResponse(nullptr, InvalidRequest,
                                            "message larger than " + std::to_string(LargestMessage >> 20) + " MB"));
        else
            answers = server.HandleText(body);
        for (const json &answer : answers)
            WriteMessage(out, Dump(answer));
    }
    return server.Exited() ? server.ExitStatus() : 1;
}

int RunLanguageServer()
{
    std::ios::sync_with_stdio(false);
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    std::string manual;
    for (const auto &candidate : {program / "../share/doc/tesselin/manual.htm", program / "../manual.htm"})
        if (std::filesystem::exists(candidate, error)) {
            manual = "file://" + std::filesystem::weakly_canonical(candidate, error).string();
            break;
        }
    Server server(manual);
    return Serve(std::cin, std::cout, server);
}

} // namespace tesselin::lsp
