#include "app/script/command_forms.h"
#include "app/names/nearest.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <vector>

namespace tesselin {

namespace {

constexpr TokenSpec Num(std::string_view name) { return {name, TokenKind::Number}; }
constexpr TokenSpec Int(std::string_view name) { return {name, TokenKind::Integer}; }
constexpr TokenSpec Txt(std::string_view name) { return {name, TokenKind::Text}; }
constexpr TokenSpec Choice(std::string_view name, std::string_view special, std::string_view otherwise)
{
    return {name, TokenKind::Word, special, otherwise};
}

constexpr TokenSpec Shading = Choice("flat|smooth", "flat", "smooth");
constexpr TokenSpec Projection = Choice("persp|ortho", "ortho", "perspective");

// A form whose tokens are all given.
constexpr Form Fixed(std::string_view purpose, std::span<const TokenSpec> tokens)
{
    return Form{purpose, tokens};
}

// A form ending in a run of at least least tokens like tail.
constexpr Form Run(std::string_view purpose, std::span<const TokenSpec> tokens, TokenSpec tail, int least,
                   std::string_view shown)
{
    return Form{purpose, tokens, true, tail, least, shown};
}

constexpr std::array<TokenSpec, 0> None{};
constexpr std::array Rgb{Num("R"), Num("G"), Num("B")};
constexpr std::array Xyz{Num("X"), Num("Y"), Num("Z")};

constexpr std::array HelpForms{Fixed("open the manual", None)};
constexpr std::array CopyForms{Fixed("copy the canvas window", None)};
constexpr std::array AnaglyphTokens{Num("LEFT_R"), Num("LEFT_G"),  Num("LEFT_B"),
                                    Num("RIGHT_R"), Num("RIGHT_G"), Num("RIGHT_B")};
constexpr std::array AnaglyphForms{
    Fixed("mix the left and right canvases into one anaglyph, each eye in its colour (0 to 1)", AnaglyphTokens)};
constexpr std::array StopText{Txt("TEXT")};
constexpr std::array StopForms{Fixed("stop the script", None),
                               Fixed("stop the script and show TEXT (quote it when it has spaces)", StopText)};

constexpr std::array CanvasFlat{Int("WIDTH"), Int("HEIGHT")};
constexpr std::array CanvasFlatPair{Int("WIDTH"), Int("HEIGHT"), Int("SHIFT")};
constexpr std::array Canvas3d{Int("WIDTH"), Int("HEIGHT"), Projection, Num("FOV"),
                              Num("NEAR"),  Num("FAR"),    Num("DISTANCE")};
constexpr std::array Canvas3dPair{Int("WIDTH"), Int("HEIGHT"), Int("SHIFT"),      Projection,
                                  Num("FOV"),   Num("NEAR"),   Num("FAR"),        Num("DISTANCE"),
                                  Num("EYES"),  Int("SCENE_SHIFT")};
constexpr std::array CanvasForms{
    Fixed("a flat canvas for pictures", CanvasFlat),
    Fixed("a stereo pair of flat canvases, the right picture shifted by SHIFT pixels", CanvasFlatPair),
    Fixed("a 3D canvas; FOV is the vertical angle in degrees (ortho: half the visible height), "
          "the camera DISTANCE from the origin",
          Canvas3d),
    Fixed("a stereo pair of 3D canvases, the eyes EYES apart", Canvas3dPair)};

constexpr std::array EraseTokens{Choice("white|black", "white", "black")};
constexpr std::array EraseForms{Fixed("fill the canvases with white or black", EraseTokens)};
constexpr std::array PictureTokens{Choice("l|r", "r", "the left canvas"),
                                   Int("X"),
                                   Int("Y"),
                                   Num("SCALE"),
                                   Choice("abs|rel", "abs", "relative to the current directory"),
                                   TokenSpec{"FILE", TokenKind::PictureFile}};
constexpr std::array PictureForms{
    Fixed("show a picture file on the left (l) or right (r) canvas, moved X, Y pixels and scaled", PictureTokens)};

constexpr std::array ClearForms{Fixed("clear the depth buffer", None),
                                Fixed("clear the canvas to the colour R G B (0 to 1)", Rgb)};
constexpr std::array FinishForms{Fixed("finish the 3D frame and show it", None)};
constexpr std::array LightForms{Fixed("switch the light on", None),
                                Fixed("switch the light on, shining from the direction X Y Z", Xyz)};
constexpr std::array AmbientForms{Fixed("the light's ambient colour", Rgb)};
constexpr std::array PushForms{Fixed("keep the current placement", None)};
constexpr std::array PopForms{Fixed("go back to the placement kept by push", None)};
constexpr std::array RotateTokens{Num("ANGLE"), Num("X"), Num("Y"), Num("Z")};
constexpr std::array RotateForms{Fixed("turn by ANGLE degrees about the axis X Y Z", RotateTokens)};
constexpr std::array ScaleForms{Fixed("stretch along x, y and z", Xyz)};
constexpr std::array MoveForms{Fixed("move by X Y Z", Xyz)};
constexpr std::array ColorForms{Fixed("the colour of unlit drawing", Rgb)};
constexpr std::array DiffuseForms{Fixed("the colour of lit surfaces", Rgb)};
constexpr std::array ShineTokens{Int("EXPONENT"), Num("R"), Num("G"), Num("B")};
constexpr std::array ShineForms{Fixed("highlights: sharpness EXPONENT (0 to 128) and colour R G B", ShineTokens)};
constexpr std::array EmitForms{Fixed("the colour a surface glows with (0 0 0 for none)", Rgb)};
constexpr std::array OutForms{Fixed("surfaces face outwards", None)};
constexpr std::array InForms{Fixed("surfaces face inwards", None)};
constexpr std::array SolidForms{Fixed("draw filled surfaces", None)};
constexpr std::array WireTokens{Num("WIDTH")};
constexpr std::array WireForms{Fixed("draw lines", None), Fixed("draw lines WIDTH pixels wide", WireTokens)};
constexpr std::array DotTokens{Num("SIZE")};
constexpr std::array DotForms{Fixed("draw points", None), Fixed("draw points SIZE pixels wide", DotTokens)};

constexpr std::array TwoNumbers{Num("X"), Num("Y")};
constexpr std::array TriadLast2{Num("X1"), Num("Y1"), Num("X2"), Num("Y2")};
constexpr std::array TriadForms{Fixed("the triangle (0,0) (1,0) (0,1)", None),
                                Fixed("the triangle (0,0) (1,0) (X,Y)", TwoNumbers),
                                Fixed("the triangle (0,0) (X1,Y1) (X2,Y2)", TriadLast2)};
constexpr std::array QuadSize{Num("W"), Num("H")};
constexpr std::array QuadLast2{Num("X2"), Num("Y2"), Num("X3"), Num("Y3")};
constexpr std::array QuadLast3{Num("X1"), Num("Y1"), Num("X2"), Num("Y2"), Num("X3"), Num("Y3")};
constexpr std::array QuadForms{Fixed("the unit square", None), Fixed("the rectangle (0,0) to (W,H)", QuadSize),
                               Fixed("the quadrilateral (0,0) (1,0) (X2,Y2) (X3,Y3)", QuadLast2),
                               Fixed("the quadrilateral (0,0) (X1,Y1) (X2,Y2) (X3,Y3)", QuadLast3)};
constexpr std::array PolygonForms{
    Run("a flat polygon from the origin through the points", None, Num("X"), 0, "[X1 Y1 X2 Y2 ...]")};
constexpr std::array DiskTokens{Num("INNER"), Int("LOOPS"), Num("SWEEP"), Int("SLICES")};
constexpr std::array DiskForms{
    Fixed("a disk of radius 1 with a hole of radius INNER, over SWEEP degrees", DiskTokens)};
constexpr std::array PipeOffset{Num("DX"), Num("DY"), Num("DZ")};
constexpr std::array PipeForms{
    Fixed("the walls of the unit square pushed along DX DY DZ", PipeOffset),
    Run("the walls of a path from the origin pushed along DX DY DZ", PipeOffset, Num("X"), 1, "X1 Y1 X2 Y2 ...")};
constexpr std::array HornApex{Num("AX"), Num("AY"), Num("AZ")};
constexpr std::array HornForms{
    Fixed("a pyramid over the unit square with its apex at AX AY AZ", HornApex),
    Run("triangles from a path from the origin to the apex AX AY AZ", HornApex, Num("X"), 1, "X1 Y1 X2 Y2 ...")};
constexpr std::array CubeForms{Fixed("the unit cube", None)};
constexpr std::array SphereTokens{Int("STACKS"), Int("SLICES"), Shading};
constexpr std::array SphereForms{Fixed("a sphere of radius 1", SphereTokens)};
constexpr std::array CylinderTokens{Num("TOP"), Int("RINGS"), Num("SWEEP"), Int("SEGMENTS"), Shading};
constexpr std::array CylinderForms{
    Fixed("a tube of radius 1 at the bottom and TOP at the top, height 1, over SWEEP degrees", CylinderTokens)};
constexpr std::array TorusTokens{Num("RADIUS"), Num("TUBE_START"), Num("TUBE_END"), Int("BANDS"), Shading,
                                 Num("SWEEP"),  Int("SEGMENTS"),  Shading};
constexpr std::array TorusForms{
    Fixed("a ring of tube radius 1 around a circle of RADIUS, from TUBE_START to TUBE_END degrees across the tube "
          "and SWEEP degrees around",
          TorusTokens)};
constexpr std::array ArrayForms{Run("store the numbers as the next array (x, then y, then z)", None, Num("NUMBER"),
                                    0, "[NUMBER ...]")};
constexpr std::array ArrayfTokens{TokenSpec{"FILE", TokenKind::NumberFile}, Int("STRIDE"), Int("START")};
constexpr std::array ArrayfForms{
    Fixed("store every STRIDE-th number of a number file, from number START (counted from 0)", ArrayfTokens)};
constexpr std::array LineForms{Fixed("draw the stored arrays as one line, then forget them", None)};
constexpr std::array DotsForms{Fixed("draw the stored arrays as points, then forget them", None)};
constexpr std::array TextTokens{Num("AX"), Num("AY"), Num("DEPTH")};
constexpr std::array TextForms{
    Run("write the words in cells DEPTH deep, placed by AX AY (0 centres)", TextTokens, Txt("WORD"), 1, "WORD ...")};
constexpr std::array GradTokens{Num("R"), Num("G"), Num("B"), Num("LENGTH")};
constexpr std::array GradTicks{Num("R"), Num("G"), Num("B"), Num("LENGTH"), Num("SPACING")};
constexpr std::array HgradForms{
    Fixed("no ticks", GradTokens),
    Run("ticks SPACING apart along x, one per label", GradTicks, Txt("LABEL"), 2, "LABEL1 LABEL2 ...")};
constexpr std::array VgradForms{
    Fixed("no ticks", GradTokens),
    Run("ticks SPACING apart up y, one per label", GradTicks, Txt("LABEL"), 2, "LABEL1 LABEL2 ...")};

constexpr std::array Table{
    CommandInfo{"help", Gate::None, HelpForms, "open the manual"},
    CommandInfo{"copy", Gate::None, CopyForms, "copy the canvas window"},
    CommandInfo{"anaglyph", Gate::None, AnaglyphForms, "make an anaglyph of a stereo pair"},
    CommandInfo{"stop", Gate::None, StopForms, "stop the script"},
    CommandInfo{"canvas", Gate::None, CanvasForms, "make new canvases"},
    CommandInfo{"erase", Gate::Canvas, EraseForms, "fill the canvases"},
    CommandInfo{"picture", Gate::Canvas, PictureForms, "show a picture file"},
    CommandInfo{"clear", Gate::Modeling, ClearForms, "clear the 3D frame"},
    CommandInfo{"finish", Gate::Modeling, FinishForms, "finish and show the 3D frame"},
    CommandInfo{"light", Gate::Modeling, LightForms, "switch the light on"},
    CommandInfo{"ambient", Gate::Modeling, AmbientForms, "ambient light colour"},
    CommandInfo{"push", Gate::Modeling, PushForms, "keep the placement"},
    CommandInfo{"pop", Gate::Modeling, PopForms, "restore the placement"},
    CommandInfo{"rotate", Gate::Modeling, RotateForms, "turn"},
    CommandInfo{"scale", Gate::Modeling, ScaleForms, "stretch"},
    CommandInfo{"move", Gate::Modeling, MoveForms, "move"},
    CommandInfo{"color", Gate::Modeling, ColorForms, "unlit colour"},
    CommandInfo{"diffuse", Gate::Modeling, DiffuseForms, "lit colour"},
    CommandInfo{"shine", Gate::Modeling, ShineForms, "highlights"},
    CommandInfo{"emit", Gate::Modeling, EmitForms, "glow"},
    CommandInfo{"out", Gate::Modeling, OutForms, "face outwards"},
    CommandInfo{"in", Gate::Modeling, InForms, "face inwards"},
    CommandInfo{"solid", Gate::Modeling, SolidForms, "filled surfaces"},
    CommandInfo{"wire", Gate::Modeling, WireForms, "lines"},
    CommandInfo{"dot", Gate::Modeling, DotForms, "points"},
    CommandInfo{"triad", Gate::Modeling, TriadForms, "a triangle"},
    CommandInfo{"quad", Gate::Modeling, QuadForms, "a quadrilateral"},
    CommandInfo{"polygon", Gate::Modeling, PolygonForms, "a flat polygon"},
    CommandInfo{"disk", Gate::Modeling, DiskForms, "a disk"},
    CommandInfo{"pipe", Gate::Modeling, PipeForms, "a prism's walls"},
    CommandInfo{"horn", Gate::Modeling, HornForms, "a pyramid's sides"},
    CommandInfo{"cube", Gate::Modeling, CubeForms, "the unit cube"},
    CommandInfo{"sphere", Gate::Modeling, SphereForms, "a sphere"},
    CommandInfo{"cylinder", Gate::Modeling, CylinderForms, "a cylinder or cone"},
    CommandInfo{"torus", Gate::Modeling, TorusForms, "a ring"},
    CommandInfo{"array", Gate::Modeling, ArrayForms, "an array of numbers"},
    CommandInfo{"arrayf", Gate::Modeling, ArrayfForms, "an array from a number file"},
    CommandInfo{"line", Gate::Modeling, LineForms, "a line through the arrays"},
    CommandInfo{"dots", Gate::Modeling, DotsForms, "points at the arrays"},
    CommandInfo{"text", Gate::Modeling, TextForms, "text in 3D"},
    CommandInfo{"hgrad", Gate::Modeling, HgradForms, "ticks along x"},
    CommandInfo{"vgrad", Gate::Modeling, VgradForms, "ticks up y"},
};

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); i++)
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    return true;
}

} // namespace

bool Form::Accepts(int count) const
{
    int fixed = 1 + static_cast<int>(tokens.size());
    return hasTail ? count >= fixed + tailMin : count == fixed;
}

const TokenSpec *Form::TokenAt(int index) const
{
    if (index >= 1 && index <= static_cast<int>(tokens.size()))
        return &tokens[index - 1];
    if (hasTail && index > static_cast<int>(tokens.size()))
        return &tail;
    return nullptr;
}

std::string Form::Written(std::string_view keyword) const
{
    std::string text(keyword);
    for (const TokenSpec &token : tokens)
        text.append(" ").append(token.name);
    if (hasTail)
        text.append(" ").append(tailShown);
    return text;
}

bool CommandInfo::Accepts(int count) const { return FormFor(count) != nullptr; }

const Form *CommandInfo::FormFor(int count) const
{
    for (const Form &form : forms)
        if (form.Accepts(count))
            return &form;
    return nullptr;
}

std::string CommandInfo::FormsLine() const
{
    std::string line;
    for (const Form &form : forms) {
        if (!line.empty())
            line += " | ";
        line += form.Written(keyword);
    }
    return line;
}

std::string CommandInfo::FormsPage() const
{
    std::string page;
    for (const Form &form : forms)
        page += "  " + form.Written(keyword) + "\n      " + std::string(form.purpose) + "\n";
    return page;
}

int CommandInfo::MostTokens() const
{
    int most = 0;
    for (const Form &form : forms) {
        if (form.hasTail)
            return std::numeric_limits<int>::max();
        most = std::max(most, 1 + static_cast<int>(form.tokens.size()));
    }
    return most;
}

std::span<const CommandInfo> Commands() { return Table; }

const CommandInfo *FindCommand(std::string_view keyword)
{
    for (const CommandInfo &command : Table)
        if (command.keyword == keyword)
            return &command;
    return nullptr;
}

std::string_view NearestKeyword(std::string_view word)
{
    if (word.empty())
        return {};
    std::vector<std::string_view> keywords;
    for (const CommandInfo &command : Table)
        keywords.push_back(command.keyword);
    if (std::string_view near = NearestName(word, keywords); !near.empty())
        return near;
    // A beginning of exactly one keyword, as a completion would give it.
    std::string_view only;
    int starts = 0;
    for (const CommandInfo &command : Table)
        if (StartsWithIgnoringCase(command.keyword, word)) {
            only = command.keyword;
            starts++;
        }
    return word.size() >= 2 && starts == 1 ? only : std::string_view();
}

} // namespace tesselin
