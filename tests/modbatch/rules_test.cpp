// Rules files: the pattern matcher, the parser's refusals and which
// section a picture takes each setting from.

#include "modbatch/rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixmill/command_line.h"

namespace {

using modbatch::MatchPattern;
using modbatch::ParseRules;
using modbatch::PictureRules;
using modbatch::RuleBook;
using modbatch::RuleFault;
using modbatch::RulesFile;
using Words = std::vector<std::string>;

struct MatchCase {
  const char* pattern;
  const char* path;
  bool matches;
};

TEST(RulePatterns, MatchWholePathsWithoutRegardToCase) {
  const MatchCase cases[] = {
      {"*.tga", "wall.tga", true},        {"*.tga", "WALL.TGA", true},
      {"*.TGA", "wall.tga", true},        {"*.tga", "fences/wall.tga", false},
      {"fences/*", "fences/a.pcx", true}, {"fences/*", "Fences/b.tga", true},
      {"fences/*", "fences/x/a.pcx", false}, {"sky?.pcx", "sky1.pcx", true},
      {"sky?.pcx", "sky.pcx", false},     {"sky?.pcx", "sky12.pcx", false},
      {"?", "/", false},                  {"**/glass*.png", "glass.png", true},
      {"**/glass*.png", "a/b/Glass2.PNG", true}, {"**/glass*.png", "a/b/myglass.png", false},
      {"**", "a/b/c.tga", true},          {"a/**/c.tga", "a/c.tga", true},
      {"a/**/c.tga", "a/x/y/c.tga", true}, {"a/**/c.tga", "b/x/c.tga", false},
      {"*a*b*", "xaybz", true},           {"*a*b*", "xbya", false},
      {"wall", "wall.tga", false},        {"*", "", true},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(MatchPattern(c.pattern, c.path), c.matches) << c.pattern << " against " << c.path;
  }
}

// The switch check pixmill itself makes, so that the refusals read as
// pixmill's own.
bool PixmillTakes(const Words& switches, std::string& why) {
  return commandLineSwitchesAccepted(switches, why);
}

RulesFile Parse(const std::string& text, std::vector<RuleFault>& faults,
                const std::string& folder = "") {
  return ParseRules(text, "mod/modbatch.ini", folder, PixmillTakes, faults);
}

struct FaultCase {
  const char* name;
  const char* text;
  int line;
  const char* message;
};

class RuleRefusals : public testing::TestWithParam<FaultCase> {};

TEST_P(RuleRefusals, NameFileAndLine) {
  std::vector<RuleFault> faults;
  Parse(GetParam().text, faults);
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].Text(), "mod/modbatch.ini:" + std::to_string(GetParam().line) + ": " +
                                  GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RuleRefusals,
    testing::Values(
        FaultCase{"unclosed_header", "; fences\n[*.tga\npixmill = -4\n", 2,
                  "a section header ends with ']'"},
        FaultCase{"no_equals", "[*.tga]\npixmill -4\n", 2,
                  "expected '[section]' or 'key = value', not 'pixmill -4'"},
        FaultCase{"unknown_key", "[*.tga]\npixmil = -4\n", 2, "unknown key 'pixmil'"},
        FaultCase{"key_outside", "skip = yes\n[*.tga]\n", 1, "'skip' outside any section"},
        FaultCase{"empty_key", "[*.tga]\n = yes\n", 2, "a value without a key"},
        FaultCase{"bad_skip", "[*.tga]\nskip = maybe\n", 2, "skip is yes or no, not 'maybe'"},
        FaultCase{"twice", "[*.tga]\nskip = yes\n\nSKIP = no\n", 4,
                  "'skip' is given twice in [*.tga] (first on line 2)"},
        FaultCase{"unknown_switch", "[*.tga]\npixmill = -transp -bogus\n", 2,
                  "pixmill refuses '-transp -bogus': Can't figure out what -bogus is for!"},
        FaultCase{"switch_needs_srb", "[*.tga]\npixmill = -width 2\n", 2,
                  "pixmill refuses '-width 2': Must specify -srb to use -width"},
        FaultCase{"switch_without_number", "[*.tga]\npixmill = -srb -height\n", 2,
                  "pixmill refuses '-srb -height': There must be a number following height"},
        FaultCase{"hist_without_4", "[*.tga]\npixmill = -hist\n", 2,
                  "pixmill refuses '-hist': Must specify 4-bit output to use Heckbert or "
                  "histogram quantization."},
        FaultCase{"name_among_switches", "[*.tga]\npixmill = -transp out.mip\n", 2,
                  "pixmill refuses '-transp out.mip': 'out.mip' is a name, not a switch"},
        FaultCase{"output_path", "[*.tga]\noutput = ../x.mip\n", 2,
                  "output '../x.mip' is not a plain file name"},
        FaultCase{"pattern_leaves", "[../*.tga]\n", 1,
                  "pattern '../*.tga' has an empty, '.' or '..' component"},
        FaultCase{"pattern_absolute", "[/etc/*]\n", 1,
                  "pattern '/etc/*' is not relative to the rules file's folder"},
        FaultCase{"empty_section", "[ ]\n", 1, "an empty pattern"},
        FaultCase{"pack_two_names", "[pack a.dat b.dat]\nmembers = *\n", 1,
                  "a pack section names one archive: [pack NAME.dat]"},
        FaultCase{"pack_no_members", "[pack a.dat]\norder = *.mip\n", 1,
                  "[pack a.dat] needs a 'members' key"},
        FaultCase{"pack_path", "[pack sub/a.dat]\nmembers = *\n", 1,
                  "archive 'sub/a.dat' is not a plain file name"},
        FaultCase{"pack_twice", "[pack a.dat]\nmembers = *\n[pack A.DAT]\nmembers = *\n", 3,
                  "archive A.DAT is packed on line 1 already"},
        FaultCase{"pack_key_in_picture", "[*.tga]\nmembers = *\n", 2,
                  "'members' belongs in a [pack NAME.dat] section"},
        FaultCase{"picture_key_in_pack", "[pack a.dat]\nmembers = *\nskip = yes\n", 3,
                  "'skip' has no meaning in a pack section"},
        FaultCase{"empty_members", "[pack a.dat]\nmembers = ; none\n", 2,
                  "'members' lists no pattern"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST(RuleRefusals, EveryFaultOfAFileIsReported) {
  std::vector<RuleFault> faults;
  Parse("[*.tga]\nfoo = 1\n[*.pcx\nbar = 2\n[*.png]\nskip = often\n", faults);
  ASSERT_EQ(faults.size(), 3u);
  EXPECT_EQ(faults[0].line, 2);
  EXPECT_EQ(faults[1].line, 3);  // the keys under the refused header say nothing more
  EXPECT_EQ(faults[2].line, 6);
}

TEST(RulesParser, ReadsCommentsSpacesAndLineEnds) {
  std::vector<RuleFault> faults;
  const RulesFile file = Parse(
      "\xEF\xBB\xBF; a mod\r\n# walls\r\n  [ walls\\*.TGA ]  \r\n"
      "  Pixmill =  -transp   -tile ; fences\r\nOUTPUT=Fence\r\n"
      "[pack Alpha.dat]\nmembers = *.mip  sky/*.srb\norder = wall.mip\n",
      faults, "tex");
  ASSERT_TRUE(faults.empty()) << faults[0].Text();
  ASSERT_EQ(file.sections.size(), 2u);
  EXPECT_EQ(file.folder, "tex");
  EXPECT_EQ(file.sections[0].pattern, "walls/*.TGA");
  EXPECT_EQ(file.sections[0].line, 3);
  EXPECT_EQ(file.sections[0].pixmill.value, (Words{"-transp", "-tile"}));
  EXPECT_EQ(file.sections[0].pixmill.line, 4);
  EXPECT_EQ(file.sections[0].output.value, "Fence");
  EXPECT_TRUE(file.sections[1].pack);
  EXPECT_EQ(file.sections[1].archive, "Alpha.dat");
  EXPECT_EQ(file.sections[1].members.value, (Words{"*.mip", "sky/*.srb"}));
  EXPECT_EQ(file.sections[1].order.value, (Words{"wall.mip"}));
}

// A mod of three rules files: the root, tex/ and tex/fences/.
RuleBook Book() {
  RuleBook book;
  std::vector<RuleFault> faults;
  // Added deepest first: the book orders them itself.
  book.Add(ParseRules("[*.tga]\npixmill = -transp\n[glass?.tga]\nskip = no\n", "f/modbatch.ini",
                      "tex/fences", PixmillTakes, faults));
  book.Add(ParseRules("[**/*.tga]\npixmill = -tile\noutput = t\n[**/glass*]\nskip = yes\n"
                      "[**/glass*]\npixmill = -transl\n",
                      "t/modbatch.ini", "tex", PixmillTakes, faults));
  book.Add(ParseRules("[**]\npixmill = -4\n", "modbatch.ini", "", PixmillTakes, faults));
  EXPECT_TRUE(faults.empty());
  return book;
}

TEST(RulePrecedence, DeeperFileThenLaterSectionThenCommandLine) {
  const RuleBook book = Book();
  const Words defaults{"-noblend"};
  struct Case {
    const char* path;
    Words switches;
    const char* switchesFile;
    int switchesLine;
    bool skip;
    const char* output;
  };
  const Case cases[] = {
      // Only the root file speaks for a PCX anywhere.
      {"tex/fences/a.pcx", {"-4"}, "modbatch.ini", 2, false, ""},
      // tex/ overrides the root; its output name comes along.
      {"tex/wall.tga", {"-tile"}, "t/modbatch.ini", 2, false, "t"},
      // tex/fences/ overrides tex/ for switches but not for the output.
      {"tex/fences/post.TGA", {"-transp"}, "f/modbatch.ini", 2, false, "t"},
      // The later of two matching sections of one file wins; the deeper
      // file unskips.
      {"tex/glass1.tga", {"-transl"}, "t/modbatch.ini", 7, true, "t"},
      {"tex/fences/glass1.tga", {"-transp"}, "f/modbatch.ini", 2, false, "t"},
      {"tex/fences/glass12.tga", {"-transp"}, "f/modbatch.ini", 2, true, "t"},
  };
  for (const Case& c : cases) {
    const PictureRules rules = book.ForPicture(c.path, defaults);
    EXPECT_EQ(rules.switches, c.switches) << c.path;
    EXPECT_EQ(rules.switchesFrom.file, c.switchesFile) << c.path;
    EXPECT_EQ(rules.switchesFrom.line, c.switchesLine) << c.path;
    EXPECT_EQ(rules.skip, c.skip) << c.path;
    EXPECT_EQ(rules.output, c.output) << c.path;
  }
  // Outside every section the command line's switches hold.
  RuleBook empty;
  const PictureRules rules = empty.ForPicture("a.tga", defaults);
  EXPECT_EQ(rules.switches, defaults);
  EXPECT_TRUE(rules.switchesFrom.file.empty());
}

TEST(RulePrecedence, AFolderNamedLikeAnotherIsNotInside) {
  std::string relative;
  EXPECT_TRUE(modbatch::RelativeTo("tex", "tex/a.tga", relative));
  EXPECT_EQ(relative, "a.tga");
  EXPECT_FALSE(modbatch::RelativeTo("tex", "texture/a.tga", relative));
  EXPECT_FALSE(modbatch::RelativeTo("tex", "Tex/a.tga", relative));
}

}  // namespace
