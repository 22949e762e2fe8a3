// The command line: help, version, usage errors and missing inputs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "millview/run.h"
#include "millview_test_support.h"
#include "rt_version.h"
#include "support/temp_dir.h"

namespace {

struct Case {
  std::vector<std::string> arguments;
  int status;
  std::string out;  ///< expected in standard output
  std::string err;  ///< expected in standard error
};

TEST(MillviewCommandLine, AnswersHelpVersionAndUsageErrors) {
  testing_support::TempDir dir;
  const Case cases[] = {
      {{"--help"}, 0, "Usage: millview [OPTION]... FILE|FOLDER...", ""},
      {{"x.mip", "--help"}, 0, "Examples:", ""},
      {{"--version"}, 0, std::string("millview ") + RT_VERSION, ""},
      {{"--frobnicate", "x.mip"}, 2, "", "millview: unknown option '--frobnicate'"},
      {{"-j", "zero", "x.mip"}, 2, "", "option '-j' needs a whole number"},
      {{"-o"}, 2, "", "option '-o' needs a value"},
      {{}, 2, "", "millview: no input files or folders given"},
      {{"missing.mip", "-q"}, 2, "", "millview: cannot find 'missing.mip'"},
      // The runtime library's own switches are no switches of millview's.
      {{"-kpOPTIONS.INI", "x.mip"}, 2, "", "millview: unknown option '-kpOPTIONS.INI'"},
      {{"--", "-keF.mip"}, 2, "", "millview: cannot find '-keF.mip'"},
  };
  for (const Case& c : cases) {
    const auto run = millview_test::RunMillview(c.arguments, dir.path().string());
    const std::string what = c.arguments.empty() ? "(none)" : c.arguments[0];
    EXPECT_EQ(run.exit_status, c.status) << what;
    EXPECT_NE(run.standard_output.find(c.out), std::string::npos) << what << ": " << run.standard_output;
    EXPECT_NE(run.standard_error.find(c.err), std::string::npos) << what << ": " << run.standard_error;
    if (c.status == 2) {
      EXPECT_EQ(run.standard_output, "") << what;
    }
  }
}

TEST(MillviewCommandLine, TakesOptionsAndNamesInAnyOrder) {
  millview::Options options;
  std::string error;
  ASSERT_EQ(millview::ParseCommandLine({"a.mip", "-o", "out", "--sheet", "-j", "3", "--html", "--", "-q"},
                                       options, error),
            cli::Request::kRun);
  EXPECT_EQ(options.inputs, (std::vector<std::string>{"a.mip", "-q"}));
  EXPECT_EQ(options.outputRoot, "out");
  EXPECT_EQ(options.jobs, 3u);
  EXPECT_TRUE(options.sheet && options.html);
  EXPECT_FALSE(options.quiet);
  millview::Options other;
  EXPECT_EQ(millview::ParseCommandLine({"-o", "", "a.mip"}, other, error), cli::Request::kUsageError);
  EXPECT_EQ(error, "option '-o' needs a folder name");
}

}  // namespace
