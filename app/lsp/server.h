// tesselin lsp: the language server. It keeps the open scripts and answers
// each message; the stdio loop around it frames the messages.
#ifndef TESSELIN_APP_LSP_SERVER_H
#define TESSELIN_APP_LSP_SERVER_H

#include "app/lsp/features.h"

#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace tesselin::lsp {

// The protocol's error codes.
enum ErrorCode {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    InternalError = -32603,
    ServerNotInitialized = -32002,
    RequestFailed = -32803,
};

json ErrorResponse(const json &id, int code, const std::string &message);

class Server {
public:
    // manual: the URI hover links to; empty for none.
    explicit Server(std::string manual = {});

    // The answers to one message (a response, and notifications such as
    // diagnostics), in the order they go out.
    std::vector<json> Handle(const json &message);
    // The answers to a message body as it arrived, which may not be JSON.
    std::vector<json> HandleText(const std::string &body);

    bool Exited() const { return exited_; }
    // The process's exit status once exit came: 0 after shutdown.
    int ExitStatus() const { return shutdown_ ? 0 : 1; }

private:
    json Request(const std::string &method, const json &params);
    void Notification(const std::string &method, const json &params, std::vector<json> &out);
    json Initialize(const json &params);
    void Configure(const json &settings);
    const Document &DocumentOf(const json &params) const;
    json Publish(const std::string &uri) const;

    Context context_;
    std::map<std::string, Document> documents_;
    bool initialized_ = false;
    bool shutdown_ = false;
    bool exited_ = false;
};

// Reads messages from in and answers on out until exit or the end of input;
// the exit status.
int Serve(std::istream &in, std::ostream &out, Server &server);
// The lsp sub-command on standard input and output.
int RunLanguageServer();

} // namespace tesselin::lsp

#endif
