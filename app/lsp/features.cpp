#include "app/lsp/features.h"

#include "app/script/check.h"
#include "app/script/command_forms.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace tesselin::lsp {

namespace {

// The protocol's numbers for what we send.
constexpr int SnippetFormat = 2;
enum CompletionKind { KindValue = 12, KindKeyword = 14, KindFile = 17, KindFolder = 19 };
enum SymbolKind { SymbolNamespace = 3, SymbolEvent = 24 };
// A folder listed for completion shows at most this many names.
constexpr std::size_t MostFileNames = 200;

int SeverityNumber(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return 1;
    case Severity::Warning:
        return 2;
    case Severity::Note:
    case Severity::Report:
        return 3;
    case Severity::Hint:
        break;
    }
    return 4;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// Where the cursor stands among a line's tokens: the index of the token it
// is in or starts (0 for the keyword), and the tokens before it.
struct Cursor {
    std::vector<Token> tokens; // of the line up to the cursor
    int index = 0;
    std::string partial; // the part of the current token before the cursor
    Range replaced;      // what a completion replaces
};

std::optional<Cursor> CursorAt(const Document &document, Position at)
{
    std::string line = document.LineForTokens(at.line);
    std::size_t byte = document.Byte(at.line, at.character);
    std::string before = line.substr(0, byte);
    Cursor cursor;
    cursor.replaced = {at, at};
    auto tokens = TokenizeLine(before);
    if (!tokens) {
        if (before.find('#') != std::string::npos)
            return std::nullopt; // in a comment
        return cursor;
    }
    cursor.tokens = std::move(*tokens);
    const bool inToken = !before.empty() && before.back() != ' ' && before.back() != '\t';
    cursor.index = static_cast<int>(cursor.tokens.size()) - (inToken ? 1 : 0);
    if (inToken) {
        cursor.partial = cursor.tokens.back().text;
        cursor.replaced.start = document.TokenRange(at.line, cursor.tokens.back()).start;
    }
    return cursor;
}

// "sphere ${1:STACKS} ${2:SLICES} ${3|flat,smooth|}"
std::string Snippet(const CommandInfo &command, const Form &form)
{
    std::string text(command.keyword);
    int n = 0;
    for (const TokenSpec &token : form.tokens) {
        std::string name(token.name);
        text += " ${" + std::to_string(++n);
        if (token.kind == TokenKind::Word) {
            std::replace(name.begin(), name.end(), '|', ',');
            text += "|" + name + "|}";
        } else {
            text += ":" + name + "}";
        }
    }
    if (form.hasTail)
        text += " ${" + std::to_string(++n) + ":" + std::string(form.tailShown) + "}";
    return text;
}

json TextEdit(const Range &range, const std::string &text) { return {{"range", ToJson(range)}, {"newText", text}}; }

void AddKeywords(json &items, const Cursor &cursor)
{
    for (const CommandInfo &command : Commands()) {
        if (!StartsWithFolded(command.keyword, cursor.partial))
            continue;
        for (std::size_t i = 0; i < command.forms.size(); i++) {
            const Form &form = command.forms[i];
            items.push_back({{"label", i == 0 ? std::string(command.keyword) : form.Written(command.keyword)},
                             {"kind", KindKeyword},
                             {"detail", form.Written(command.keyword)},
                             {"documentation", std::string(form.purpose)},
                             {"filterText", std::string(command.keyword)},
                             {"sortText", std::string(command.keyword) + char('0' + i)},
                             {"insertTextFormat", SnippetFormat},
                             {"textEdit", TextEdit(cursor.replaced, Snippet(command, form))}});
        }
    }
}

// The files and folders whose path starts with partial, as the plug-in would
// look for it from directory.
void AddFiles(json &items, const Cursor &cursor, const std::filesystem::path &directory)
{
    std::string partial = cursor.partial;
    std::size_t slash = partial.rfind('/');
    std::string folder = slash == std::string::npos ? "" : partial.substr(0, slash + 1);
    std::string start = partial.substr(folder.size());
    std::filesystem::path where = folder.empty() ? directory : directory / folder;
    std::error_code error;
    std::vector<std::pair<std::string, bool>> names;
    for (auto it = std::filesystem::directory_iterator(where, error);
         !error && it != std::filesystem::directory_iterator() && names.size() < MostFileNames; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.starts_with(start) && (start.starts_with('.') || !name.starts_with('.')))
            names.emplace_back(name, it->is_directory(error));
    }
    std::sort(names.begin(), names.end());
    for (const auto &[name, isFolder] : names) {
        std::string path = folder + name + (isFolder ? "/" : "");
        items.push_back({{"label", path}, {"kind", isFolder ? KindFolder : KindFile},
                         {"textEdit", TextEdit(cursor.replaced, path)}});
    }
}

void AddChoices(json &items, const Cursor &cursor, const Context &context)
{
    const CommandInfo *command = FindCommand(cursor.tokens.empty() ? "" : cursor.tokens[0].text);
    if (!command)
        return;
    std::vector<std::string> seen;
    bool filesAdded = false;
    for (const Form &form : command->forms) {
        const TokenSpec *spec = form.TokenAt(cursor.index);
        if (!spec)
            continue;
        if (spec->kind == TokenKind::PictureFile || spec->kind == TokenKind::NumberFile) {
            if (!filesAdded)
                AddFiles(items, cursor, context.directory);
            filesAdded = true;
            continue;
        }
        if (spec->kind != TokenKind::Word)
            continue;
        std::string_view names = spec->name;
        for (std::size_t from = 0; from <= names.size();) {
            std::size_t bar = std::min(names.find('|', from), names.size());
            std::string word(names.substr(from, bar - from));
            from = bar + 1;
            if (!word.starts_with(cursor.partial) || std::find(seen.begin(), seen.end(), word) != seen.end())
                continue;
            seen.push_back(word);
            items.push_back({{"label", word}, {"kind", KindValue}, {"detail", std::string(spec->name)},
                             {"textEdit", TextEdit(cursor.replaced, word)}});
        }
    }
}

// The token of line number that holds the byte at, and its index.
std::optional<std::pair<Token, int>> TokenAtByte(const Document &document, int number, std::size_t at)
{
    auto tokens = document.Tokens(number);
    if (!tokens)
        return std::nullopt;
    for (std::size_t i = 0; i < tokens->size(); i++) {
        const Token &token = (*tokens)[i];
        std::size_t first = token.column - 1;
        if (at >= first && at <= first + token.width)
            return std::pair{token, static_cast<int>(i)};
    }
    return std::nullopt;
}

std::string_view KindName(TokenKind kind)
{
    switch (kind) {
    case TokenKind::Integer:
        return "a whole number";
    case TokenKind::Number:
        return "a number";
    case TokenKind::Word:
        return "a choice word";
    case TokenKind::Text:
        return "text";
    case TokenKind::PictureFile:
        return "a picture file";
    case TokenKind::NumberFile:
        return "a number file";
    }
    return "";
}

std::string KeywordHover(const CommandInfo &command, const Context &context)
{
    std::string text = "**" + std::string(command.keyword) + "**: " + std::string(command.summary) + "\n\n```\n" +
                       command.FormsPage() + "```\n";
    if (!context.manual.empty())
        text += "\n[The manual on " + std::string(command.keyword) + "](" + context.manual + "#cmd-" +
                std::string(command.keyword) + ")";
    return text;
}

std::string TokenHover(const CommandInfo &command, int index, int count)
{
    const Form *form = command.FormFor(count);
    if (!form)
        return {};
    const TokenSpec *spec = form->TokenAt(index);
    if (!spec)
        return {};
    std::string text = "**" + std::string(spec->name) + "**, " + std::string(KindName(spec->kind)) + ", in `" +
                       form->Written(command.keyword) + "`";
    if (spec->kind == TokenKind::Word)
        text += ": `" + std::string(spec->special) + "`, or anything else for " + std::string(spec->otherwise);
    return text;
}

json Signature(const CommandInfo &command, const Form &form)
{
    std::string label(command.keyword);
    json parameters = json::array();
    auto add = [&](std::string_view name) {
        label += " ";
        int start = static_cast<int>(label.size());
        label += name;
        parameters.push_back({{"label", {start, static_cast<int>(label.size())}}});
    };
    for (const TokenSpec &token : form.tokens)
        add(token.name);
    if (form.hasTail)
        add(form.tailShown);
    return {{"label", label}, {"documentation", std::string(form.purpose)}, {"parameters", parameters}};
}

json Symbol(const std::string &name, const std::string &detail, int kind, const Range &range,
            const Range &selection)
{
    return {{"name", name}, {"detail", detail}, {"kind", kind}, {"range", ToJson(range)},
            {"selectionRange", ToJson(selection)}, {"children", json::array()}};
}

std::string Joined(const Document &document, int number, const std::vector<Token> &tokens)
{
    std::string line = document.LineForTokens(number), joined;
    for (const Token &token : tokens) {
        if (!joined.empty())
            joined += ' ';
        joined += line.substr(token.column - 1, token.width);
    }
    return joined;
}

std::string Keyword(const std::optional<std::vector<Token>> &tokens)
{
    return tokens && !tokens->empty() ? tokens->front().text : std::string();
}

} // namespace

json ToJson(const Range &range)
{
    return {{"start", {{"line", range.start.line}, {"character", range.start.character}}},
            {"end", {{"line", range.end.line}, {"character", range.end.character}}}};
}

Position PositionOf(const json &params)
{
    const json &at = params.at("position");
    return {std::max(0, at.at("line").get<int>()), std::max(0, at.at("character").get<int>())};
}

json Diagnostics(const Document &document, const Context &context)
{
    // The mark turned into blanks keeps the columns of the first line.
    std::string text;
    for (int number = 0; number < document.LineCount(); number++)
        (text += document.LineForTokens(number)) += '\n';
    json diagnostics = json::array();
    for (const LineFinding &found : CheckText(text, context.directory)) {
        const int number = found.line - 1;
        Range range = document.LineRange(number);
        if (auto token = TokenAtByte(document, number, found.finding.column - 1))
            range = document.TokenRange(number, token->first);
        diagnostics.push_back({{"range", ToJson(range)},
                               {"severity", SeverityNumber(found.finding.severity)},
                               {"source", "tesselin"},
                               {"message", found.finding.text}});
    }
    return diagnostics;
}

json Completion(const Document &document, const Context &context, Position at)
{
    json items = json::array();
    auto cursor = CursorAt(document, at);
    if (!cursor)
        return items;
    if (cursor->index == 0)
        AddKeywords(items, *cursor);
    else
        AddChoices(items, *cursor, context);
    return items;
}

json Hover(const Document &document, const Context &context, Position at)
{
    auto found = TokenAtByte(document, at.line, document.Byte(at.line, at.character));
    auto tokens = document.Tokens(at.line);
    const CommandInfo *command = FindCommand(Keyword(tokens));
    if (!found || !command)
        return nullptr;
    std::string text = found->second == 0 ? KeywordHover(*command, context)
                                          : TokenHover(*command, found->second, static_cast<int>(tokens->size()));
    if (text.empty())
        return nullptr;
    return {{"contents", {{"kind", "markdown"}, {"value", text}}},
            {"range", ToJson(document.TokenRange(at.line, found->first))}};
}

json SignatureHelp(const Document &document, Position at)
{
    auto cursor = CursorAt(document, at);
    auto tokens = document.Tokens(at.line);
    const CommandInfo *command = FindCommand(Keyword(tokens));
    if (!cursor || !command || cursor->index == 0)
        return nullptr;
    // The form the whole line is written in, unless the cursor is past its
    // end: then the first form that has a token there.
    const Form *fits = command->FormFor(static_cast<int>(tokens->size()));
    if (!fits || !fits->TokenAt(cursor->index))
        for (const Form &form : command->forms)
            if (form.TokenAt(cursor->index)) {
                fits = &form;
                break;
            }
    json signatures = json::array();
    int active = 0;
    for (std::size_t i = 0; i < command->forms.size(); i++) {
        signatures.push_back(Signature(*command, command->forms[i]));
        if (&command->forms[i] == fits)
            active = static_cast<int>(i);
    }
    const Form &form = command->forms[active];
    int parameter = std::min(cursor->index - 1, static_cast<int>(form.tokens.size()) - (form.hasTail ? 0 : 1));
    return {{"signatures", signatures}, {"activeSignature", active}, {"activeParameter", std::max(parameter, 0)}};
}

json DocumentSymbols(const Document &document)
{
    json symbols = json::array();
    json *canvas = nullptr;
    int frameStart = 0, frames = 0;
    for (int number = 0; number < document.LineCount(); number++) {
        auto tokens = document.Tokens(number);
        const std::string keyword = Keyword(tokens);
        if (keyword != "canvas" && keyword != "finish")
            continue;
        const Range selection = document.TokenRange(number, tokens->front());
        const std::string line = Joined(document, number, *tokens);
        if (keyword == "canvas") {
            symbols.push_back(Symbol(line, "canvas", SymbolNamespace, document.LineRange(number), selection));
            canvas = &symbols.back();
            frameStart = number + 1;
            frames = 0;
            continue;
        }
        json frame = Symbol("frame " + std::to_string(++frames), line, SymbolEvent,
                            {{frameStart, 0}, document.LineRange(number).end}, selection);
        frameStart = number + 1;
        if (canvas) {
            (*canvas)["range"]["end"] = ToJson(document.LineRange(number)).at("end");
            (*canvas)["children"].push_back(std::move(frame));
        } else {
            symbols.push_back(std::move(frame));
        }
    }
    return symbols;
}

json FoldingRanges(const Document &document)
{
    json ranges = json::array();
    std::vector<int> open;
    for (int number = 0; number < document.LineCount(); number++) {
        const std::string keyword = Keyword(document.Tokens(number));
        if (keyword == "push") {
            open.push_back(number);
        } else if (keyword == "pop" && !open.empty()) {
            ranges.push_back({{"startLine", open.back()}, {"endLine", number}, {"kind", "region"}});
            open.pop_back();
        }
    }
    return ranges;
}

json CodeActions(const Document &document, const std::string &uri, const json &params)
{
    json actions = json::array();
    const json &range = params.at("range");
    const int first = std::max(0, range.at("start").at("line").get<int>());
    const int last = std::min(document.LineCount() - 1, range.at("end").at("line").get<int>());
    for (int number = first; number <= last; number++) {
        auto tokens = document.Tokens(number);
        if (!tokens || tokens->empty() || FindCommand(tokens->front().text) || tokens->front().text.starts_with('.'))
            continue;
        std::string_view near = NearestKeyword(tokens->front().text);
        if (near.empty())
            continue;
        const Range where = document.TokenRange(number, tokens->front());
        json fixed = json::array();
        for (const json &diagnostic : params.value("context", json::object()).value("diagnostics", json::array()))
            if (diagnostic.value("range", json()) == ToJson(where))
                fixed.push_back(diagnostic);
        actions.push_back({{"title", "Change to \"" + std::string(near) + "\""},
                           {"kind", "quickfix"},
                           {"isPreferred", true},
                           {"diagnostics", fixed},
                           {"edit", {{"changes", {{uri, {TextEdit(where, std::string(near))}}}}}}});
    }
    return actions;
}

json Formatting(const Document &document, const Context &context, const json &options)
{
    const int tabSize = std::clamp(options.value("tabSize", 4), 1, 16);
    const std::string unit = options.value("insertSpaces", true) ? std::string(tabSize, ' ') : std::string("\t");
    json edits = json::array();
    int depth = 0;
    for (int number = 0; number < document.LineCount(); number++) {
        const std::string line = document.LineForTokens(number);
        auto tokens = TokenizeLine(line);
        std::string formatted;
        const std::string keyword = Keyword(tokens);
        if (keyword == "pop")
            depth = std::max(0, depth - 1);
        std::string indent;
        for (int i = 0; context.indentBlocks && i < depth; i++)
            indent += unit;
        if (!tokens) {
            std::size_t text = line.find_first_not_of(" \t");
            formatted = text == std::string::npos ? "" : context.indentBlocks ? indent + line.substr(text) : line;
        } else {
            formatted = indent + Joined(document, number, *tokens);
        }
        if (keyword == "push")
            depth++;
        // A byte-order mark at the start stays where it is.
        const std::size_t kept = number == 0 && document.Line(0).starts_with("\xEF\xBB\xBF") ? 3 : 0;
        if (line.substr(kept) == formatted)
            continue;
        Range range = document.LineRange(number);
        range.start.character = document.Character(number, kept);
        edits.push_back(TextEdit(range, formatted));
    }
    return edits;
}

} // namespace tesselin::lsp
