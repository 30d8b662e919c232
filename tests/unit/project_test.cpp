#include "devhost/project.h"

#include <gtest/gtest.h>

namespace KEM::devhost {
namespace {

TEST(Project, DefaultsOfAnEmptyProject) {
  const Project p = ParseProject("{}");
  EXPECT_EQ(p.ticksPerSecond, 254016000000LL);
  EXPECT_TRUE(p.timelines.empty());
  const Project one = ParseProject(R"({"timelines":[{"id":3,"segments":[{"start":5,"end":9}]}]})");
  ASSERT_EQ(one.timelines.size(), 1u);
  const Timeline& t = *one.timelines[0];
  EXPECT_EQ(t.ticksPerFrame, 10584000000LL);
  EXPECT_EQ(t.frameRect.right, 1920);
  EXPECT_EQ(t.frameRect.bottom, 1080);
  EXPECT_EQ(t.CutCount(), 1);
  EXPECT_EQ(t.segments[0].offset, 5);  // offset defaults to start
  EXPECT_EQ(t.hash.size(), 36u);
}

TEST(Project, ErrorsNameTheField) {
  struct Case {
    const char* json;
    const char* field;
  };
  const Case cases[] = {
      {R"({"tick":1})", "field tick: unknown field"},
      {R"({"timelines":[{"id":1,"segs":[]}]})", "field timelines[0].segs: unknown field"},
      {R"({"timelines":[{}]})", "field timelines[0].id: is required"},
      {R"({"timelines":[{"id":1},{"id":1}]})", "field timelines[1].id: duplicate identifier"},
      {R"({"commands":[["a","b","c"]]})", "field commands[0]: must be four strings or null"},
      {R"({"timelines":[{"id":1,"segments":[{"start":0,"end":1,"root":{"props":{"k":1}}}]}]})",
       "field timelines[0].segments[0].root.props.k: must be a string"},
      {R"({"solo":1})", "field solo: must be true or false"},
      {R"([1,2])", "field (top): must be an object"},
  };
  for (const Case& c : cases) {
    try {
      ParseProject(c.json);
      ADD_FAILURE() << "accepted " << c.json;
    } catch (const ProjectError& e) {
      EXPECT_EQ(std::string(e.what()), c.field) << c.json;
    }
  }
  EXPECT_THROW(ParseProject("{"), ProjectError);
  // Found by fuzzing: a number too large for JSON's double escaped as another exception.
  EXPECT_THROW(ParseProject(R"({"ticksPerSecond": 6666e666666})"), ProjectError);
  EXPECT_THROW(ParseProject(R"({"mixer": {"levels": [1e300]}})"), ProjectError);
  EXPECT_THROW(ParseTimeline(R"({"id": 1e999})"), ProjectError);
}

TEST(Project, LoadFileNamesTheFile) {
  try {
    LoadProjectFile("/nonexistent/p.json");
    ADD_FAILURE();
  } catch (const ProjectError& e) {
    EXPECT_EQ(std::string(e.what()), "/nonexistent/p.json: cannot be read");
  }
}

TEST(Project, Utf16RoundTrip) {
  const std::string text = "Intr\xC3\xB6 \xF0\x9F\x8E\xAC";
  const std::u16string u = Utf8ToUtf16(text);
  EXPECT_EQ(u[4], 0x00F6);
  EXPECT_EQ(Utf16ToUtf8(u), text);
}

}  // namespace
}  // namespace KEM::devhost
