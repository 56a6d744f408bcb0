// Writes the editor syntax files from the command table, so that they name
// exactly the keywords the host knows: a TextMate grammar and a Vim syntax
// file, into the folder given.
#include "app/script/command_forms.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>
#include <string>

namespace {

using tesselin::Commands;

// The choice words the forms take (ortho, flat, white, r, abs, ...).
std::set<std::string> ChoiceWords()
{
    std::set<std::string> words;
    for (const auto &command : Commands())
        for (const auto &form : command.forms)
            for (const auto &token : form.tokens)
                if (token.kind == tesselin::TokenKind::Word) {
                    std::string_view names = token.name;
                    for (std::size_t from = 0; from <= names.size();) {
                        std::size_t bar = std::min(names.find('|', from), names.size());
                        words.emplace(names.substr(from, bar - from));
                        from = bar + 1;
                    }
                }
    return words;
}

template <typename Words> std::string Joined(const Words &words, std::string_view between)
{
    std::string text;
    for (const auto &word : words) {
        if (!text.empty())
            text += between;
        text += word;
    }
    return text;
}

std::string TextMate()
{
    std::vector<std::string> keywords;
    for (const auto &command : Commands())
        keywords.emplace_back(command.keyword);
    using nlohmann::json;
    // A keyword is the first token of a line; choice words come after it.
    json grammar = {
        {"name", "Tesselin script"},
        {"scopeName", "source.tesselin"},
        {"fileTypes", {"tsl"}},
        {"patterns",
         {{{"name", "comment.line.number-sign.tesselin"}, {"match", "^\\s*#.*$"}},
          {{"name", "keyword.control.tesselin"}, {"match", "^\\s*(" + Joined(keywords, "|") + ")(?=\\s|$)"}},
          {{"name", "constant.language.tesselin"}, {"match", "(?<=\\s)(" + Joined(ChoiceWords(), "|") + ")(?=\\s|$)"}},
          {{"name", "constant.numeric.tesselin"},
           {"match", "(?<=\\s)[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?(?=\\s|$)"}},
          {{"name", "string.quoted.double.tesselin"}, {"match", "\"[^\"]*\""}}}}};
    return grammar.dump(2) + "\n";
}

std::string Vim()
{
    std::string text = "\" Vim syntax file for Tesselin scripts, written from the command table.\n"
                       "if exists(\"b:current_syntax\")\n  finish\nendif\n\n";
    for (const auto &command : Commands())
        text += "syntax match tesselinKeyword /^\\s*\\zs" + std::string(command.keyword) + "\\>/\n";
    text += "syntax match tesselinChoice /\\s\\zs\\(" + Joined(ChoiceWords(), "\\|") + "\\)\\ze\\(\\s\\|$\\)/\n"
            "syntax match tesselinNumber /\\s\\zs[-+]\\=\\(\\d\\+\\.\\=\\d*\\|\\.\\d\\+\\)\\([eE][-+]\\=\\d\\+\\)\\=\\ze\\(\\s\\|$\\)/\n"
            "syntax region tesselinString start=/\"/ end=/\"/ oneline\n"
            "syntax match tesselinComment /^\\s*#.*$/\n\n"
            "highlight default link tesselinKeyword Keyword\n"
            "highlight default link tesselinChoice Constant\n"
            "highlight default link tesselinNumber Number\n"
            "highlight default link tesselinString String\n"
            "highlight default link tesselinComment Comment\n\n"
            "let b:current_syntax = \"tesselin\"\n";
    return text;
}

bool Write(const std::filesystem::path &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "tesselin_syntax_files: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: tesselin_syntax_files FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return Write(folder / "tesselin.tmLanguage.json", TextMate()) && Write(folder / "tesselin.vim", Vim()) ? 0 : 1;
}
