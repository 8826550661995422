// The JUnit report's own rules: the program's 8-bit text as XML can hold it,
// and a verification's failure message names each reply that differed.
#include "records/run_report.h"

#include <gtest/gtest.h>

namespace {

using Outcome = autocontrol::ScriptVerdict::Outcome;

TEST(RunReport, TextIsEscapedAndVerificationsNameEveryDifference) {
  app::RunReport report("exec", true, true, [] { return 0.0; });
  report.OnExchange({"X<&\"", "\xE9\x01", "'1'", 3, true, false, engine::Check::Failed, 0.25});
  report.OnExchange({"PX", "(SERIAL Timeout)", "", 4, false, true, engine::Check::None, 10});
  report.OnVerdict({"[CMDVERIFY]", "LSPD,HSPD,ID ", Outcome::Failed, "100|200",
                    "Warning: Serial Timeout!\r\nLSPD = 100\r\nHSPD = 250\r\nID = X\r\n", 2, 1});
  report.Finish();
  const std::string xml = report.JUnitXml();
  for (const char* part : {
           "<testcase name=\"3: X&lt;&amp;&quot;\" classname=\"exec\" time=\"0.250000\">",
           "message=\"X&lt;&amp;&quot;: expected '1', got \xC3\xA9\\x01\"",
           "<error message=\"PX: no reply, (SERIAL Timeout)\" type=\"no reply\"/>",
           "name=\"[CMDVERIFY] LSPD,HSPD,ID (attempt 2)\"",
           "message=\"Warning: Serial Timeout!; HSPD: expected 200, got 250; "
           "ID: expected &quot;&quot;, got X\"",
           "tests=\"3\" failures=\"2\" errors=\"1\" skipped=\"0\"",
       }) {
    EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
  }
  EXPECT_EQ(report.NoReplyCount(), 1);
}

}  // namespace
