// The report log in the headless window: scrolling, painting, appends.
#include "report/report.h"
#include "test_util.h"

namespace {

const int kPitch = 15;  // the headless font's height

// A page of 6 rows.
class ReportTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    w = window;
    w->client_height = 100;
    InitReport();
    SetScrollInfo(w, SB_VERT, &si, TRUE);  // as the window does once created
    PaintReport(w);
  }
  static std::string Line(int i) { return "line " + std::to_string(i); }
  void Append(int n) {
    for (int i = textlines; n > 0; n--) ReportPrintf("line %d", i++);
  }
  HWND w = nullptr;
};

TEST_F(ReportTest, ScrollActions) {
  const struct {
    const char* what;
    int lines, page, start;
    unsigned short action;
    int track, want;
    bool repaint;
    int drift = -1;  // where the platform put the bar behind the log's back
  } rows[] = {
      {"line down at the limit", 20, 1, 18, SB_LINEDOWN, 0, 18, false},
      {"line down to the limit", 20, 1, 17, SB_LINEDOWN, 0, 18, true},
      {"line up at the top", 20, 1, 0, SB_LINEUP, 0, 0, false},
      {"line up", 20, 1, 5, SB_LINEUP, 0, 4, true},
      {"page down", 20, 12, 5, SB_PAGEDOWN, 0, 17, true},
      {"page down past the limit", 20, 12, 15, SB_PAGEDOWN, 0, 19, true},
      {"page down on an empty log", 0, 1, 0, SB_PAGEDOWN, 0, 0, false},
      {"page up past the top", 20, 12, 5, SB_PAGEUP, 0, 0, true},
      {"thumb track", 20, 1, 3, SB_THUMBTRACK, 9, 9, true},
      {"thumb position", 20, 1, 3, SB_THUMBPOSITION, 12, 12, true},
      {"unknown code", 20, 1, 7, 99, 0, 7, false},
      {"end scroll puts a drifted bar right", 20, 1, 7, SB_ENDSCROLL, 0, 7, true, 4},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    TearDown();
    SetUp();
    w->client_height = r.page * kPitch;
    Append(r.lines);
    PaintReport(w);
    vpos = si.nPos = r.start;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    w->invalidate_erase = w->invalidate_noerase = 0;
    if (r.drift >= 0) w->bar.nPos = r.drift;
    HeadlessTrackThumb(w, r.track);
    ScrollReport(w, r.action);
    EXPECT_EQ(vpos, r.want);
    EXPECT_EQ(si.nPos, vpos);
    EXPECT_EQ(w->invalidate_erase, r.repaint ? 1 : 0);
  }
}

TEST_F(ReportTest, PaintDrawsRowsFromTheFirstVisibleLine) {
  ReportLine(std::string(600, 'n').c_str());
  Append(9);
  vpos = 1;
  SetTextColor(w, 0xFFFFFF);
  static int previous_font;
  w->selected = &previous_font;
  PaintReport(w);
  ASSERT_EQ(w->texts, 7);  // the seventh row, at 95, is cut off by the bottom
  for (int i = 0; i < 7; i++) {
    EXPECT_EQ(w->text[i].x, 5);
    EXPECT_EQ(w->text[i].y, 5 + i * kPitch);
    EXPECT_EQ(w->text[i].color, 0u);
    EXPECT_EQ(w->text[i].text, Line(1 + i));
  }
  EXPECT_EQ(HeadlessFontsAlive(), 0);
  EXPECT_EQ(w->selected, &previous_font);
  vpos = 0;
  PaintReport(w);
  EXPECT_EQ(w->text[0].length, 600);
  vpos = 10;
  PaintReport(w);
  EXPECT_EQ(w->texts, 0);
}

TEST_F(ReportTest, PageFollowsPitchAndClientHeight) {
  const struct {
    int height, leading, client, page;
    bool metrics_fail = false;
  } rows[] = {
      {15, 0, 100, 6}, {12, 3, 100, 6}, {15, 0, 14, 1}, {15, 0, 30, 2},     {13, 0, 0, 1},
      {0, 0, 100, 1},  {10, -10, 100, 1}, {1, 0, 180, 180}, {20, 0, 100, 5}, {30, 0, 100, 5, true},
  };
  Append(200);
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.height << "+" << r.leading << " in " << r.client);
    w->tm_height = r.height;
    w->tm_external_leading = r.leading;
    w->client_height = r.client;
    w->metrics_fail = r.metrics_fail;  // the pitch of the paint before is kept
    PaintReport(w);
    EXPECT_EQ(si.nPage, (unsigned)r.page);
    EXPECT_EQ(w->bar.nPage, (unsigned)r.page);
    if (r.page > 1) {
      EXPECT_EQ(w->text[1].y, 5 + (r.metrics_fail ? 20 : r.height + r.leading));
    }
  }
}

// After a conversion's report: from the top when it fits, else its last page.
TEST_F(ReportTest, AReportIsSeenWithoutScrolling) {
  const struct {
    int lines, first_shown;
  } rows[] = {{3, 0}, {6, 0}, {7, 1}, {30, 24}, {250, 244}};
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.lines) + " lines");
    TearDown();
    SetUp();
    Append(40);  // an earlier conversion
    PaintReport(w);
    EraseTextBuffer();
    Append(r.lines);
    PaintReport(w);
    EXPECT_EQ(vpos, r.first_shown);
    EXPECT_EQ(w->bar.nPos, vpos);
  }
}

TEST_F(ReportTest, ReportPrintfNeverCutsALine) {
  for (size_t n : {115, 116, 3000}) {
    const std::string name(n, 'f');
    ReportPrintf("Input file: %s", name.c_str());
    EXPECT_EQ(textline[textlines - 1], "Input file: " + name) << n;
  }
}

// Without memory a line is dropped, or "No space!\n" goes over the last line's block.
TEST_F(ReportTest, AppendsWithoutMemory) {
  HeadlessFailAllocations(0, 1);  // no array
  ReportLine("gone");
  EXPECT_EQ(textline, nullptr);
  EXPECT_EQ(w->bar.nMax, 2);
  Append(127);
  HeadlessFailAllocations(0, 1);  // no block for the line
  ReportLine("gone too");
  ReportLine("");
  const int top = vpos;
  HeadlessFailAllocations(0, 2);  // the full array cannot grow, twice
  ReportLine("lost 1");
  ReportLine("lost 2");
  EXPECT_EQ(vpos, top);
  EXPECT_EQ(w->bar.nMax, 130);
  ReportLine("stored");
  Lines want;
  for (int i = 0; i < 127; i++) want.push_back(Line(i));
  want.push_back("No space!\n");
  want.push_back("stored");
  EXPECT_EQ(ReportLog(), want);
  EXPECT_EQ(w->invalidate_noerase, 133) << "every append repaints without erasing";
}

}  // namespace
