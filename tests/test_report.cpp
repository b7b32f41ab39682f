// The report log against the headless window: the line store and its growth,
// clearing, the scroll actions, the paint's page arithmetic and the
// "No space!" path under injected allocation failures.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "report/report.h"

namespace {

const int kPitch = 15;  // the headless font's height

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MyWindow = nullptr;  // whatever an earlier test left, start from nothing
    EraseTextBuffer();
    ReleaseTextBuffer();
    HeadlessReset();
    vspace = 12;
    w = HeadlessCreateWindow(300, 100);
    MyWindow = w;
    InitReport();
    SetScrollInfo(w, SB_VERT, &si, TRUE);  // as the window does once created
  }
  void TearDown() override {
    EraseTextBuffer();
    ReleaseTextBuffer();
    MyWindow = nullptr;
    HeadlessDestroyWindow(w);
    HeadlessReset();
    vspace = 12;
  }

  static std::string Line(int i) { return "line " + std::to_string(i); }
  void Append(int n) {
    for (int i = textlines; n > 0; n--) ReportLine(Line(i++).c_str());
  }
  static std::vector<std::string> Stored() {
    return std::vector<std::string>(textline, textline + textlines);
  }
  // Puts the view at `pos`, with the bar agreeing as far as it can, and
  // forgets the repaints asked so far.
  void Place(int pos) {
    vpos = pos;
    si.nPos = pos;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    w->invalidate_erase = w->invalidate_noerase = 0;
  }

  HWND w = nullptr;
};

TEST_F(ReportTest, GrowsInStepsOf128KeepingEarlierLines) {
  Append(1);
  EXPECT_EQ(allocated_lines, 128);
  Append(127);
  EXPECT_EQ(allocated_lines, 128);
  Append(1);
  EXPECT_EQ(textlines, 129);
  EXPECT_EQ(allocated_lines, 256);
  Append(171);
  EXPECT_EQ(allocated_lines, 384);
  std::vector<std::string> want;
  for (int i = 0; i < 300; i++) want.push_back(Line(i));
  EXPECT_EQ(Stored(), want);
}

TEST_F(ReportTest, ClearingKeepsTheArrayAndResetsTheBar) {
  Append(300);
  const int noerase = w->invalidate_noerase;
  EraseTextBuffer();
  EXPECT_EQ(textlines, 0);
  EXPECT_EQ(allocated_lines, 384);
  EXPECT_EQ(vpos, 0);
  EXPECT_EQ(si.nMax, 0);
  EXPECT_EQ(si.nPage, 100u);
  EXPECT_EQ(si.nPos, 0);
  EXPECT_EQ(w->bar.nMax, 0);
  EXPECT_EQ(w->bar.nPos, 0);
  EXPECT_EQ(w->invalidate_noerase, noerase);
  ReportLine("again");
  EXPECT_EQ(Stored(), std::vector<std::string>{"again"});
  EXPECT_EQ(allocated_lines, 384);

  EraseTextBuffer();
  ReleaseTextBuffer();
  EXPECT_EQ(textline, nullptr);
  EXPECT_EQ(allocated_lines, 0);
  ReportLine("fresh");
  EXPECT_EQ(allocated_lines, 128);
  EXPECT_EQ(Stored(), std::vector<std::string>{"fresh"});
}

TEST_F(ReportTest, ScrollActions) {
  struct Row {
    const char* what;
    int lines, page, start;
    unsigned short action;
    int track, want;
    bool repaint;
    int drift = -1;  // where the platform put the bar behind the log's back
  };
  const Row rows[] = {
      {"line down at the limit", 20, 1, 18, SB_LINEDOWN, 0, 18, false},
      {"line down to the limit", 20, 1, 17, SB_LINEDOWN, 0, 18, true},
      {"line up at the top", 20, 1, 0, SB_LINEUP, 0, 0, false},
      {"line up", 20, 1, 5, SB_LINEUP, 0, 4, true},
      {"page down", 20, 12, 5, SB_PAGEDOWN, 0, 17, true},
      {"page down past the limit", 20, 12, 15, SB_PAGEDOWN, 0, 19, true},
      {"page down on an empty log", 0, 1, 0, SB_PAGEDOWN, 0, 0, false},
      {"page up", 20, 12, 15, SB_PAGEUP, 0, 3, true},
      {"page up past the top", 20, 12, 5, SB_PAGEUP, 0, 0, true},
      {"thumb track", 20, 1, 3, SB_THUMBTRACK, 9, 9, true},
      {"thumb position", 20, 1, 3, SB_THUMBPOSITION, 12, 12, true},
      {"top", 20, 1, 7, SB_TOP, 0, 7, false},
      {"unknown code", 20, 1, 7, 99, 0, 7, false},
      {"end scroll puts a drifted bar right", 20, 1, 7, SB_ENDSCROLL, 0, 7, true, 4},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TearDown();
    SetUp();
    w->client_height = r.page * kPitch;
    Append(r.lines);
    PaintReport(w);
    ASSERT_EQ(si.nPage, (unsigned)r.page);
    Place(r.start);
    if (r.drift >= 0) w->bar.nPos = r.drift;
    HeadlessTrackThumb(w, r.track);
    ScrollReport(w, r.action);
    EXPECT_EQ(vpos, r.want);
    EXPECT_EQ(si.nPos, vpos);
    EXPECT_EQ(w->invalidate_erase, r.repaint ? 1 : 0);
    EXPECT_EQ(w->invalidate_noerase, 0);
    if (r.page == 1) {
      EXPECT_EQ(w->bar.nPos, vpos);  // a bar this long can hold every position
    }
  }
}

TEST_F(ReportTest, PaintDrawsRowsFromTheFirstVisibleLine) {
  Append(10);
  Place(2);
  SetTextColor(w, 0xFFFFFF);
  static int previous_font;
  w->selected = &previous_font;
  PaintReport(w);
  EXPECT_EQ(vspace, kPitch);
  EXPECT_EQ(si.nPage, 6u);
  EXPECT_EQ(w->bar.nPage, 6u);
  EXPECT_EQ(w->bar.nMax, 12);
  ASSERT_EQ(w->texts, 7);  // the seventh row, at 95, is cut off by the bottom
  for (int i = 0; i < 7; i++) {
    EXPECT_EQ(w->text[i].x, 5);
    EXPECT_EQ(w->text[i].y, 5 + i * kPitch);
    EXPECT_EQ(w->text[i].color, 0u);
    EXPECT_EQ(w->text[i].text, Line(2 + i));
    EXPECT_EQ(w->text[i].length, (int)Line(2 + i).size());
  }
  EXPECT_EQ(HeadlessFontsAlive(), 0);
  EXPECT_EQ(w->selected, &previous_font);
  EXPECT_EQ(vpos, 2);
}

TEST_F(ReportTest, PaintDrawsLongLinesWholeAndNothingPastTheEnd) {
  PaintReport(w);
  EXPECT_EQ(w->texts, 0);
  EXPECT_EQ(w->bar.nMax, 2);
  ReportLine(std::string(600, 'n').c_str());
  Append(1);
  PaintReport(w);
  ASSERT_EQ(w->texts, 2);
  EXPECT_EQ(w->text[0].length, 600);
  Place(2);
  PaintReport(w);
  EXPECT_EQ(w->texts, 0);
  EXPECT_EQ(w->bar.nMax, 4);
}

TEST_F(ReportTest, PageFollowsPitchAndClientHeight) {
  struct Row {
    int height, leading, client, page;
  };
  const Row rows[] = {
      {15, 0, 100, 6}, {12, 3, 100, 6}, {15, 0, 14, 1}, {15, 0, 30, 2},
      {13, 0, 0, 1},   {0, 0, 100, 1},  {10, -10, 100, 1}, {1, 0, 180, 180},
  };
  Append(200);
  for (const Row& r : rows) {
    w->tm_height = r.height;
    w->tm_external_leading = r.leading;
    w->client_height = r.client;
    PaintReport(w);
    EXPECT_EQ(vspace, r.height + r.leading);
    EXPECT_EQ(si.nPage, (unsigned)r.page) << r.height << "+" << r.leading << " in " << r.client;
    EXPECT_EQ(w->bar.nPage, (unsigned)r.page);
  }
}

TEST_F(ReportTest, FailedMetricsKeepThePreviousPitch) {
  Append(10);
  w->tm_height = 20;
  PaintReport(w);
  w->tm_height = 30;
  w->metrics_fail = 1;
  PaintReport(w);
  EXPECT_EQ(vspace, 20);
  EXPECT_EQ(si.nPage, 5u);
  ASSERT_GE(w->texts, 2);
  EXPECT_EQ(w->text[1].y, 25);
}

// A line that finds no memory, for the array or for itself, is dropped
// without a word; the next one is stored as usual.
TEST_F(ReportTest, ALineWithoutMemoryIsDropped) {
  HeadlessFailAllocations(0, 1);  // no array
  ReportLine("gone");
  EXPECT_EQ(textline, nullptr);
  EXPECT_EQ(w->bar.nMax, 2);
  Append(5);
  HeadlessFailAllocations(0, 1);  // no block for the line
  ReportLine("gone too");
  EXPECT_EQ(w->bar.nMax, 7);
  EXPECT_EQ(w->invalidate_noerase, 7);
  ReportLine("kept");
  std::vector<std::string> want = {Line(0), Line(1), Line(2), Line(3), Line(4), "kept"};
  EXPECT_EQ(Stored(), want);
}

// Every append that finds the array full tries to grow it; each failure puts
// "No space!\n" over the last line, which every block is large enough for,
// even that of an empty line.
TEST_F(ReportTest, NoRoomToGrowMarksTheLastLine) {
  Append(127);
  ReportLine("");
  const int top = vpos;
  HeadlessFailAllocations(0, 2);
  ReportLine("lost 1");
  ReportLine("lost 2");
  EXPECT_EQ(textlines, 128);
  EXPECT_EQ(allocated_lines, 128);
  EXPECT_STREQ(textline[127], "No space!\n");
  EXPECT_EQ(textline[126], Line(126));
  EXPECT_EQ(vpos, top);
  EXPECT_EQ(w->bar.nMax, 130);
  ReportLine("stored");
  EXPECT_EQ(textlines, 129);
  EXPECT_EQ(allocated_lines, 256);
  EXPECT_STREQ(textline[128], "stored");
  EXPECT_EQ(w->invalidate_noerase, 131);
}

// A conversion clears the log and appends its report; the paint that follows
// must show it without scrolling: from the top when it fits the window, its
// last page otherwise, with the thumb where the view is.
TEST_F(ReportTest, AReportIsSeenWithoutScrolling) {
  struct Row {
    int lines, first_shown;
  };
  const Row rows[] = {{3, 0}, {6, 0}, {7, 1}, {30, 24}, {250, 244}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.lines) + " lines");
    TearDown();
    SetUp();
    PaintReport(w);  // the window is shown: a page of 6 rows
    Append(40);      // an earlier conversion
    PaintReport(w);
    EraseTextBuffer();
    for (int i = 0; i < r.lines; i++) ReportPrintf("line %d", i);
    PaintReport(w);
    EXPECT_EQ(vpos, r.first_shown);
    EXPECT_EQ(w->bar.nPos, vpos);
    ASSERT_GT(w->texts, 0);
    EXPECT_EQ(w->text[0].text, Line(r.first_shown));
  }
}

TEST_F(ReportTest, ReportPrintfNeverCutsALine) {
  for (size_t n : {0, 100, 114, 115, 116, 500, 3000}) {
    const std::string name(n, 'f');
    ReportPrintf("Input file: %s", name.c_str());
    EXPECT_EQ(textline[textlines - 1], "Input file: " + name) << n;
  }
  ReportPrintf("%d frames, peak %d", 1200, -32768);
  EXPECT_STREQ(textline[textlines - 1], "1200 frames, peak -32768");
}

}  // namespace
