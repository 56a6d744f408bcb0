// The language server's handlers, message by message: what each request
// about a script answers, and how malformed input is answered.
#include "app/lsp/framing.h"
#include "app/lsp/server.h"
#include "app/script/check.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tesselin::lsp {
namespace {

const std::string Uri = "file:///nowhere/scene.tsl";

json Request(int id, const std::string &method, json params)
{
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
}

json Notify(const std::string &method, json params)
{
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

json At(int line, int character) { return {{"textDocument", {{"uri", Uri}}}, {"position", {{"line", line}, {"character", character}}}}; }

// A server initialized with a script open; the last diagnostics it pushed.
struct Session {
    Server server{"file:///doc/manual.htm"};
    json diagnostics;

    explicit Session(const std::string &text, json options = json::object())
    {
        server.Handle(Request(1, "initialize", {{"rootUri", nullptr}, {"initializationOptions", options}}));
        server.Handle(Notify("initialized", json::object()));
        Open(text);
    }
    void Open(const std::string &text)
    {
        auto out = server.Handle(Notify("textDocument/didOpen",
                                        {{"textDocument", {{"uri", Uri}, {"languageId", "tesselin"}, {"version", 1}, {"text", text}}}}));
        EXPECT_EQ(out.size(), 1u);
        diagnostics = out.at(0).at("params").at("diagnostics");
    }
    json Result(const std::string &method, json params)
    {
        auto out = server.Handle(Request(7, method, std::move(params)));
        EXPECT_EQ(out.size(), 1u);
        EXPECT_FALSE(out.at(0).contains("error")) << out.at(0).dump();
        return out.at(0).value("result", json());
    }
};

json R(int line, int from, int to)
{
    return {{"start", {{"line", line}, {"character", from}}}, {"end", {{"line", line}, {"character", to}}}};
}

TEST(LanguageServer, DiagnosticsCoverTheTokenInUtf16Units)
{
    struct Case {
        std::string script;
        json range;
        int severity;
        std::string says;
    } cases[] = {
        {"sphre 10 10 flat\n", R(0, 0, 5), 1, "did you mean \"sphere\""},
        {"canvas 64 48 persp 30 1 100 10\nsphere ten 10 flat\n", R(1, 7, 10), 2, "not a whole number"},
        {"canvas 64 48 persp 30 1 100 10\nsphere 10 10 Flat\n", R(1, 13, 17), 2, "capitals count"},
        {"canvas 64 48\ncube\n", R(1, 0, 4), 1, "no 3D canvas"},
        {"canvas 64 48 persp 30 1 100 10\nmove 1 2\n", R(1, 0, 4), 1, "is written"},
        // é is two bytes and one unit; the emoji four bytes and two units.
        {"# é\nsphère 1\n", R(1, 0, 6), 1, "not a command"},
        {"😀x\n", R(0, 0, 3), 1, "not a command"},
        {"canvas 64 48 persp 30 1 100 10\ntext 0 0 1 é\ncube é\n", R(2, 5, 6), 1, "is written"},
        // A quoted token covers its quotes.
        {"canvas 64 48\npicture l 0 0 1 rel \"no such.png\"\n", R(1, 20, 33), 2, "no such.png"},
        // A byte-order mark before the first line is no part of the keyword.
        {"\xEF\xBB\xBF" "cubee\n", R(0, 1, 6), 1, "did you mean \"cube\""},
        {"\r\n\r\ncanvas 64 48 persp 30 1 100 10\r\nrotat 1 2 3 4\r\n", R(3, 0, 5), 1, "did you mean \"rotate\""},
    };
    for (const Case &c : cases) {
        Session session(c.script);
        ASSERT_FALSE(session.diagnostics.empty()) << c.script;
        const json &first = session.diagnostics.at(0);
        EXPECT_EQ(first.at("range"), c.range) << c.script;
        EXPECT_EQ(first.at("severity"), c.severity) << c.script;
        EXPECT_NE(first.at("message").get<std::string>().find(c.says), std::string::npos) << first.dump();
    }
}

TEST(LanguageServer, DiagnosticsAreTheFindingsOfCheck)
{
    // Every example script: the same findings, in order, with the same words.
    for (const auto &entry : std::filesystem::directory_iterator(TESSELIN_SOURCE_DIR "/examples")) {
        if (entry.path().extension() != ".tsl")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        // A typo on every canvas line makes findings to compare.
        for (std::size_t at = text.find("canvas"); at != std::string::npos; at = text.find("canvas", at + 1))
            text[at + 1] = 'e';
        Session session(text);
        auto findings = CheckText(text, "/nowhere");
        ASSERT_EQ(session.diagnostics.size(), findings.size()) << entry.path();
        for (std::size_t i = 0; i < findings.size(); i++) {
            EXPECT_EQ(session.diagnostics[i].at("message"), findings[i].finding.text);
            EXPECT_EQ(session.diagnostics[i]["range"]["start"]["line"], findings[i].line - 1);
        }
    }
    Session clean("canvas 64 48 persp 30 1 100 10\ncube\nfinish\n");
    EXPECT_TRUE(clean.diagnostics.empty());
}

std::vector<std::string> Labels(const json &items)
{
    std::vector<std::string> labels;
    for (const json &item : items)
        labels.push_back(item.at("label"));
    return labels;
}

TEST(LanguageServer, CompletionOffersKeywordsChoicesAndFiles)
{
    const auto folder = std::filesystem::temp_directory_path() / "tesselin-lsp-completion";
    std::filesystem::create_directories(folder / "pictures");
    std::ofstream(folder / "pictures" / "moon.png") << "x";
    std::ofstream(folder / "points.txt") << "1 2 3";
    struct Case {
        std::string line;
        int character;
        std::vector<std::string> offered;
        std::vector<std::string> notOffered;
    } cases[] = {
        {"sph", 3, {"sphere"}, {"cube"}},
        {"", 0, {"canvas", "cube", "vgrad"}, {}},
        {"Ar", 2, {"array", "arrayf"}, {"sphere"}},
        {"sphere 10 10 ", 13, {"flat", "smooth"}, {"sphere"}},
        {"sphere 10 10 sm", 15, {"smooth"}, {"flat"}},
        {"canvas 64 48 ", 13, {"persp", "ortho"}, {}},
        {"erase ", 6, {"white", "black"}, {}},
        {"picture ", 8, {"l", "r"}, {}},
        {"picture l 0 0 1 ", 16, {"abs", "rel"}, {}},
        {"picture l 0 0 1 rel pictures/m", 30, {"pictures/moon.png"}, {"points.txt"}},
        {"arrayf po", 9, {"points.txt"}, {"pictures/"}},
        {"arrayf ", 7, {"pictures/", "points.txt"}, {}},
        {"# sph", 5, {}, {"sphere"}},
        {"cube ", 5, {}, {"cube"}},
    };
    for (const Case &c : cases) {
        Session session(c.line + "\n");
        json params = At(0, c.character);
        params["textDocument"]["uri"] = "file://" + (folder / "scene.tsl").string();
        session.server.Handle(Notify("textDocument/didOpen",
                                     {{"textDocument", {{"uri", params["textDocument"]["uri"]}, {"text", c.line}}}}));
        auto labels = Labels(session.Result("textDocument/completion", params));
        for (const auto &label : c.offered)
            EXPECT_NE(std::find(labels.begin(), labels.end(), label), labels.end()) << c.line << " lacks " << label;
        for (const auto &label : c.notOffered)
            EXPECT_EQ(std::find(labels.begin(), labels.end(), label), labels.end()) << c.line << " has " << label;
    }
    Session session("sph\n");
    json sphere = session.Result("textDocument/completion", At(0, 3)).at(0);
    EXPECT_EQ(sphere.at("textEdit").at("newText"), "sphere ${1:STACKS} ${2:SLICES} ${3|flat,smooth|}");
    EXPECT_EQ(sphere.at("textEdit").at("range"), R(0, 0, 3));
    std::filesystem::remove_all(folder);
}

TEST(LanguageServer, HoverAndSignatureHelpNameTheFormAndToken)
{
    Session session("canvas 64 48 persp 30 1 100 10\nsphere 10 10 flat\nwire \nnosuch 1\n");
    json hover = session.Result("textDocument/hover", At(1, 2));
    std::string text = hover.at("contents").at("value");
    EXPECT_NE(text.find("sphere STACKS SLICES flat|smooth"), std::string::npos) << text;
    EXPECT_NE(text.find("(file:///doc/manual.htm#cmd-sphere)"), std::string::npos) << text;
    EXPECT_EQ(hover.at("range"), R(1, 0, 6));
    std::string token = session.Result("textDocument/hover", At(1, 14)).at("contents").at("value");
    EXPECT_NE(token.find("flat|smooth"), std::string::npos) << token;
    EXPECT_TRUE(session.Result("textDocument/hover", At(3, 1)).is_null());

    struct Case {
        int line, character;
        int signature, parameter;
        std::size_t signatures;
    } cases[] = {
        {0, 7, 2, 0, 4},   // canvas: the 3D form of the whole line, its WIDTH
        {0, 19, 2, 3, 4},  // its FOV
        {1, 13, 0, 2, 1},  // sphere's shading
        {2, 5, 1, 0, 2},   // wire: only the form with WIDTH takes a token
    };
    for (const Case &c : cases) {
        json help = session.Result("textDocument/signatureHelp", At(c.line, c.character));
        EXPECT_EQ(help.at("signatures").size(), c.signatures);
        EXPECT_EQ(help.at("activeSignature"), c.signature) << c.line;
        EXPECT_EQ(help.at("activeParameter"), c.parameter) << c.line;
    }
    json canvas = session.Result("textDocument/signatureHelp", At(0, 19)).at("signatures").at(2);
    auto offsets = canvas.at("parameters").at(3).at("label");
    EXPECT_EQ(canvas.at("label").get<std::string>().substr(offsets[0], int(offsets[1]) - int(offsets[0])), "FOV");
    EXPECT_TRUE(session.Result("textDocument/signatureHelp", At(1, 3)).is_null());
}

TEST(LanguageServer, SymbolsAreCanvasesWithTheirFramesAndFoldsArePushPop)
{
    Session session("canvas 64 48 persp 30 1 100 10\npush\n  push\n cube\n  pop\npop\nfinish\nsphere 4 4 flat\n"
                    "finish\ncanvas 32 32\npop\npush\n");
    json symbols = session.Result("textDocument/documentSymbol", {{"textDocument", {{"uri", Uri}}}});
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(symbols[0].at("name"), "canvas 64 48 persp 30 1 100 10");
    ASSERT_EQ(symbols[0].at("children").size(), 2u);
    EXPECT_EQ(symbols[0]["children"][1].at("name"), "frame 2");
    EXPECT_EQ(symbols[0]["children"][1].at("range").at("start").at("line"), 7);
    EXPECT_EQ(symbols[0]["children"][1].at("range").at("end").at("line"), 8);
    EXPECT_EQ(symbols[0]["range"]["end"]["line"], 8);
    EXPECT_TRUE(symbols[1].at("children").empty());

    json folds = session.Result("textDocument/foldingRange", {{"textDocument", {{"uri", Uri}}}});
    ASSERT_EQ(folds.size(), 2u); // the unmatched pop and push make none
    EXPECT_EQ(folds[0].at("startLine"), 2);
    EXPECT_EQ(folds[0].at("endLine"), 4);
    EXPECT_EQ(folds[1].at("startLine"), 1);
    EXPECT_EQ(folds[1].at("endLine"), 5);
}

TEST(LanguageServer, CodeActionsOfferTheDidYouMean)
{
    Session session("canvas 64 48 persp 30 1 100 10\nsphre 10 10 flat\ncube\nxyzzy\n");
    json diagnostic = session.diagnostics.at(0);
    json actions = session.Result("textDocument/codeAction",
                                  {{"textDocument", {{"uri", Uri}}},
                                   {"range", {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 3}, {"character", 0}}}}},
                                   {"context", {{"diagnostics", {diagnostic}}}}});
    ASSERT_EQ(actions.size(), 1u); // xyzzy is near no keyword
    EXPECT_EQ(actions[0].at("title"), "Change to \"sphere\"");
    EXPECT_EQ(actions[0].at("diagnostics"), json::array({diagnostic}));
    EXPECT_EQ(actions[0]["edit"]["changes"][Uri], json::array({{{"range", R(1, 0, 5)}, {"newText", "sphere"}}}));
}

// The document after the formatting edits (each replaces one line's text).
std::string Formatted(const std::string &text, const json &edits)
{
    Document document(text);
    std::vector<std::string> lines;
    for (int i = 0; i < document.LineCount(); i++)
        lines.emplace_back(document.Line(i));
    for (const json &edit : edits) {
        int line = edit["range"]["start"]["line"];
        EXPECT_EQ(edit["range"]["end"]["line"], line);
        std::size_t from = document.Byte(line, edit["range"]["start"]["character"]);
        lines[line] = lines[line].substr(0, from) + edit["newText"].get<std::string>();
    }
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); i++)
        joined += lines[i] + (i + 1 < lines.size() ? "\n" : "");
    return joined;
}

TEST(LanguageServer, FormattingSpacesTokensAndIndentsOnlyWhenAsked)
{
    const std::string script = "canvas  64\t48 persp 30 1 100 10\n\n   # a comment  \npush\n   cube\n"
                               "picture l 0 0 1 rel \"my  file.png\"\npop\n  \nfinish   \n";
    struct Case {
        json settings;
        json options;
        std::string expected;
    } cases[] = {
        {json::object(), {{"tabSize", 4}, {"insertSpaces", true}},
         "canvas 64 48 persp 30 1 100 10\n\n   # a comment  \npush\ncube\npicture l 0 0 1 rel \"my  file.png\"\npop\n\n"
         "finish\n"},
        {{{"tesselin", {{"indentBlocks", true}}}}, {{"tabSize", 2}, {"insertSpaces", true}},
         "canvas 64 48 persp 30 1 100 10\n\n# a comment  \npush\n  cube\n  picture l 0 0 1 rel \"my  file.png\"\npop\n\n"
         "finish\n"},
        {{{"indentBlocks", true}}, {{"tabSize", 8}, {"insertSpaces", false}},
         "canvas 64 48 persp 30 1 100 10\n\n# a comment  \npush\n\tcube\n\tpicture l 0 0 1 rel \"my  file.png\"\npop\n\n"
         "finish\n"},
    };
    for (const Case &c : cases) {
        Session session(script, c.settings);
        json edits = session.Result("textDocument/formatting", {{"textDocument", {{"uri", Uri}}}, {"options", c.options}});
        EXPECT_EQ(Formatted(script, edits), c.expected);
        Session again(c.expected, c.settings);
        EXPECT_TRUE(again.Result("textDocument/formatting", {{"textDocument", {{"uri", Uri}}}, {"options", c.options}}).empty());
    }
    // Settings that arrive later count too.
    Session later(script);
    later.server.Handle(Notify("workspace/didChangeConfiguration", {{"settings", {{"tesselin", {{"indentBlocks", true}}}}}}));
    json edits = later.Result("textDocument/formatting", {{"textDocument", {{"uri", Uri}}}, {"options", {{"tabSize", 2}}}});
    EXPECT_NE(Formatted(script, edits).find("\n  cube\n"), std::string::npos);
}

int ErrorCodeOf(const std::vector<json> &out)
{
    return out.size() == 1 && out[0].contains("error") ? out[0]["error"].value("code", 0) : 0;
}

TEST(LanguageServer, MalformedMessagesGetErrorAnswers)
{
    Server server;
    EXPECT_EQ(ErrorCodeOf(server.Handle(Request(1, "textDocument/hover", At(0, 0)))), ServerNotInitialized);
    EXPECT_TRUE(server.Handle(Notify("textDocument/didOpen", {{"textDocument", {{"uri", Uri}, {"text", "x"}}}})).empty());
    server.Handle(Request(2, "initialize", json::object()));
    struct Case {
        std::string body;
        int code;
    } cases[] = {
        {"{\"jsonrpc\":\"2.0\",\"id\":3,", ParseError},
        {"{\"jsonrpc\":\"2.0\",\"id\":3,\"method\":\"x\xff\"}", ParseError},
        {"[1,2]", InvalidRequest},
        {"{\"jsonrpc\":\"2.0\",\"id\":{},\"method\":\"shutdown\"}", InvalidRequest},
        {R"({"jsonrpc":"2.0","id":4,"method":"textDocument/frobnicate"})", MethodNotFound},
        {R"({"jsonrpc":"2.0","id":5,"method":"textDocument/hover","params":{"position":3}})", InvalidParams},
        {R"({"jsonrpc":"2.0","id":6,"method":"textDocument/codeAction","params":{"textDocument":{"uri":"u"}}})", InvalidParams},
        {R"({"jsonrpc":"2.0","id":7,"method":"initialize","params":{}})", InvalidRequest},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ErrorCodeOf(server.HandleText(c.body)), c.code) << c.body;
    // A malformed notification changes nothing and is not answered.
    EXPECT_TRUE(server.HandleText(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":1}})").empty());
    // A document never opened answers as an empty one.
    EXPECT_TRUE(server.Handle(Request(8, "textDocument/documentSymbol", {{"textDocument", {{"uri", "file:///x"}}}}))[0]["result"].empty());
    server.Handle(Request(9, "shutdown", nullptr));
    EXPECT_EQ(ErrorCodeOf(server.Handle(Request(10, "textDocument/hover", At(0, 0)))), InvalidRequest);
}

std::string Framed(const std::string &body) { return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body; }

// The answers Serve writes for input, and its exit status.
std::pair<std::vector<json>, int> Served(const std::string &input)
{
    std::istringstream in(input);
    std::ostringstream out;
    Server server;
    int status = Serve(in, out, server);
    std::istringstream written(out.str());
    std::vector<json> answers;
    std::string body;
    while (ReadMessage(written, body) == Framed::Message)
        answers.push_back(json::parse(body));
    return {answers, status};
}

TEST(LanguageServer, FramingSurvivesBadHeadersAndEndsWithTheRightStatus)
{
    const std::string init = Framed(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})");
    const std::string shutdown = Framed(R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})");
    const std::string exit = Framed(R"({"jsonrpc":"2.0","method":"exit"})");
    auto [clean, status] = Served(init + shutdown + exit + init);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(clean.size(), 2u); // nothing is read after exit
    EXPECT_EQ(Served(init + exit).second, 1);
    EXPECT_EQ(Served(init).second, 1); // the input ended without exit
    auto [bad, badStatus] = Served("Content-Length: twelve\r\n\r\n" + init + "Content-Type: x\r\n\r\n" + shutdown + exit);
    EXPECT_EQ(badStatus, 0);
    ASSERT_EQ(bad.size(), 4u);
    EXPECT_EQ(bad[0]["error"]["code"], ParseError);
    EXPECT_TRUE(bad[1].contains("result"));
    EXPECT_EQ(bad[2]["error"]["code"], ParseError);
    // A body cut short by the end of input is no message.
    EXPECT_TRUE(Served(init.substr(0, init.size() - 3)).first.empty());

    // A message over the bound is skipped, and the next one is read.
    std::istringstream in(Framed(std::string(5000, 'x')) + init);
    std::string body;
    EXPECT_EQ(ReadMessage(in, body, 1000), Framed::TooLarge);
    EXPECT_LT(body.capacity(), 1000u);
    EXPECT_EQ(ReadMessage(in, body, 1000), Framed::Message);
    EXPECT_EQ(json::parse(body)["id"], 1);
    std::istringstream huge("Content-Length: 104857600\r\n\r\n");
    EXPECT_EQ(ReadMessage(huge, body), Framed::TooLarge);
    std::istringstream endless(std::string(1 << 20, 'h'));
    EXPECT_EQ(ReadMessage(endless, body), Framed::End); // a header line the input cut short
}

} // namespace
} // namespace tesselin::lsp
