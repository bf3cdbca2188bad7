// Structured analytic blocks and their objects: the block layout, the tag walk, the defaults of
// short values and the normalised body kept for each object.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "moraine/overlay/analytic_block.h"
#include "moraine/overlay/analytic_names.h"
#include "moraine/overlay/metadata_object.h"

namespace moraine {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(const std::string& hex) {
  Bytes bytes;
  std::istringstream words(hex);
  for (std::string word; words >> word;) bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  return bytes;
}

// "GAD", total length, source 352 x 288, name length and name, object count, then `objects`.
Bytes Block(const std::string& name, std::uint16_t count, const std::string& objects) {
  std::ostringstream hex;
  const std::size_t total = 12 + name.size() + Hex(objects).size();
  hex << std::hex << "47 41 44 " << (total >> 8) << ' ' << (total & 0xFF) << " 01 60 01 20 " << name.size();
  for (const char c : name) hex << ' ' << +static_cast<std::uint8_t>(c);
  hex << ' ' << (count >> 8) << ' ' << (count & 0xFF) << ' ' << objects;
  return Hex(hex.str());
}

using ObjectList = std::vector<std::pair<std::int32_t, Bytes>>;  // type and body of each kept object

ObjectList Objects(const AnalyticBlock& block) {
  ObjectList objects;
  for (const RawObject& object : block.objects) objects.emplace_back(object.object_type, object.body);
  return objects;
}

TEST(AnalyticBlock, HeaderFieldsAndRejectedPayloads) {
  const struct { Bytes payload; std::string name; std::uint16_t width, height; std::size_t objects; } cases[] = {
      {Hex("47 41 44 00 0C 01 60 01 20 00 00 00"), "", 352, 288, 0},
      {Hex("47 41 44 00 0D 01 60 01 20 00 00 00"), "", 0, 0, 0},    // total length 13
      {Hex("47 41 45 00 0C 01 60 01 20 00 00 00"), "", 0, 0, 0},    // wrong magic
      {Hex("47 41 44 00 0C 01 60 01 20 03 00 00"), "", 352, 288, 0},  // name ends past the payload
      {Hex("47 41 44"), "", 0, 0, 0},
      // The count follows all five name bytes; the text stops at the zero.
      {Block(std::string("mo\0on", 5), 1, "01 00 03 09 01 05"), "mo", 352, 288, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.payload));
    const AnalyticBlock block = ParseAnalyticBlock(c.payload.data(), c.payload.size());
    EXPECT_EQ(block.name, c.name);
    EXPECT_EQ(block.source_width, c.width);
    EXPECT_EQ(block.source_height, c.height);
    EXPECT_EQ(block.objects.size(), c.objects);
  }
  EXPECT_TRUE(ParseAnalyticBlock(nullptr, 12).name.empty());
}

TEST(AnalyticBlock, MotionObjectGivesHeaderAndOutline) {
  const std::string body = "01 04 00 07 01 02 08 04 00 0A 00 14 08 04 00 64 00 14 08 04 00 64 00 50";
  const Bytes payload = Block("motion", 1, "01 00 18 " + body);
  const AnalyticBlock block = ParseAnalyticBlock(payload.data(), payload.size());
  ASSERT_EQ(Objects(block), (ObjectList{{kDrawingObjectType, Hex(body)}}));
  const MetaDataDrawingObject object(block.objects[0].body);
  EXPECT_EQ(object.GetObjectHeader().object_number, 7);
  EXPECT_EQ(object.GetObjectHeader().kind, 1);
  EXPECT_EQ(object.GetObjectHeader().state, 2);
  EXPECT_EQ(object.GetOutline(), (std::vector<Point>{{10, 20}, {100, 20}, {100, 80}}));
}

TEST(AnalyticBlock, ObjectWalkKeepsOnlyTypedObjectsWithEntries) {
  const struct { const char* what; std::uint16_t count; std::string objects; ObjectList expected; } cases[] = {
      {"other type skipped, walk goes on", 2, "03 00 03 09 01 05 02 00 03 03 01 08", {{2, Hex("03 01 08")}}},
      {"only empty entries", 2, "01 00 04 09 00 08 00 01 00 03 09 01 05", {{1, Hex("09 01 05")}}},
      {"body cut by payload end", 1, "01 00 0A 09 01 05", {{1, Hex("09 01 05")}}},
      {"length word cut", 1, "01 00", {}},
      // A 16-bit offset would wrap back to offset 14 and find an object inside the first body.
      {"lengths past 16 bits", 0xFFFF, "05 FF FF 00 00 01 00 03 09 01 05", {}},
  };
  for (const auto& c : cases) {
    const Bytes payload = Block("", c.count, c.objects);
    EXPECT_EQ(Objects(ParseAnalyticBlock(payload.data(), payload.size())), c.expected) << c.what;
  }
}

TEST(AnalyticBlock, TagWalkDropsEmptyValuesAndStopsAtAShortTail) {
  const struct { const char* what; std::string body; TagMap expected; } cases[] = {
      {"empty entry skipped", "01 01 07 09 00 09 01 05", {{1, {{7}}}, {9, {{5}}}}},
      {"two-byte tail", "09 01 05 08 04", {{9, {{5}}}}},
      {"value cut by body end", "09 01 05 08 04 00 0A", {{8, {{0, 10}}}, {9, {{5}}}}},
      {"repeats in order", "08 01 02 08 01 01", {{8, {{2}, {1}}}}},
      {"two bytes only", "09 01", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTagBody(Hex(c.body)), c.expected) << c.what;
}

std::ostream& operator<<(std::ostream& out, RgbColour c) { return out << +c.red << ',' << +c.green << ',' << +c.blue; }
std::ostream& operator<<(std::ostream& out, Point p) { return out << p.x << ',' << p.y; }

// One accessor's result as text, chosen by tag.
std::string Read(const MetaDataDrawingObject& object, std::uint8_t tag) {
  std::ostringstream out;
  const ObjectHeader h = object.GetObjectHeader();
  const LineStyle line = object.GetLineStyle();
  const AreaStyle area = tag == kFillStyleTag ? object.GetFillStyle() : object.GetSecondaryStyle();
  const TracePoint trace = object.GetTracePoint();
  switch (tag) {
    case kObjectHeaderTag: out << h.object_number << ' ' << +h.kind << ' ' << +h.state; break;
    case kLineStyleTag: out << +line.width << ' ' << line.colour << ' ' << +line.option; break;
    case kFillStyleTag:
    case kSecondaryStyleTag: out << +area.option << ' ' << area.colour; break;
    case kTracePointTag: out << trace.point << ' ' << +trace.add_to_trace; break;
    case kMarkerItemTag:
      for (const MarkerItem& m : object.GetMarkers()) {
        out << +m.marker_code << '@' << m.point << ' ' << +m.layout_code_a << '/' << +m.layout_code_b << ';';
      }
      break;
    case kLabelItemTag:
      for (const LabelItem& l : object.GetLabels()) {
        out << '\'' << l.text << "'@" << l.point << ' ' << l.colour << ' ' << +l.option << ' ' << +l.layout_code_a << '/'
            << +l.layout_code_b << ';';
      }
      break;
    case kVertexTag: for (const Point& p : object.GetOutline()) out << p << ';'; break;
    case kIndicatorCodeTag: for (const int code : object.GetIndicators()) out << code << ';'; break;
  }
  return out.str();
}

TEST(MetaDataDrawingObject, ShortValuesAndMissingTagsGiveDefaults) {
  const struct { std::uint8_t tag; std::string body; std::string expected; } cases[] = {
      {1, "", "0 2 1"}, {1, "01 01 07", "0 0 0"}, {1, "01 02 00 07", "7 0 0"}, {1, "01 03 00 07 01", "7 1 0"},
      {1, "01 04 00 07 01 02 01 04 00 08 01 01", "8 1 1"},
      {2, "", "0 0,0,0 0"}, {2, "02 03 03 0A 0B", "3 0,0,0 0"}, {2, "02 04 03 0A 0B 0C", "3 10,11,12 0"},
      {2, "02 05 03 0A 0B 0C 01", "3 10,11,12 1"},
      {3, "", "0 0,0,0"}, {3, "03 03 05 0A 0B", "5 0,0,0"}, {3, "03 04 05 0A 0B 0C", "5 10,11,12"},
      {4, "04 04 01 0A 0B 0C 04 01 02", "2 0,0,0"},  // the short last value counts
      {5, "", "0,0 0"}, {5, "05 03 00 0A 00", "0,0 0"}, {5, "05 04 00 0A 00 14", "10,20 0"},
      {5, "05 05 00 0A 00 14 01", "10,20 1"},
      {6, "06 01 09 06 04 09 00 0A 00", "9@0,0 0/0;9@0,0 0/0;"}, {6, "06 05 09 00 0A 00 14", "9@10,20 0/0;"},
      {6, "06 06 09 00 0A 00 14 0E", "9@10,20 2/3;"},
      {7, "07 03 00 0A 00", "''@0,0 0,0,0 0 0/0;"}, {7, "07 06 00 0A 00 14 01 02", "''@10,20 0,0,0 0 0/0;"},
      {7, "07 07 00 0A 00 14 01 02 03", "''@10,20 1,2,3 0 0/0;"},
      {7, "07 08 00 0A 00 14 01 02 03 04", "''@10,20 1,2,3 4 0/0;"},
      {7, "07 0A 00 0A 00 14 01 02 03 04 09 00", "''@10,20 1,2,3 4 1/2;"},
      {7, "07 0D 00 0A 00 14 01 02 03 04 09 05 61 62 63", "''@10,20 1,2,3 4 1/2;"},  // text past the value
      {7, "07 0D 00 0A 00 14 01 02 03 04 09 03 61 00 63", std::string("'a\0c'@10,20 1,2,3 4 1/2;", 24)},
      {8, "08 03 00 0A 00 08 04 00 0A 00 14", "0,0;10,20;"},
      {9, "09 01 00 09 01 03 09 02 04 05", "3;4;"},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(MetaDataDrawingObject(Hex(c.body)), c.tag), c.expected) << c.body;
}

TEST(MetaDataInfoObject, PixelateWordsReadAsFarAsTheValueGoes) {
  const struct { std::string body; std::vector<std::uint16_t> words; } cases[] = {
      {"", {0, 0, 0, 0}}, {"03 01 08", {0, 0, 0, 0}}, {"03 05 00 08 00 01 00", {8, 1, 0, 0}},
      {"03 08 01 08 00 01 00 01 01 03", {264, 1, 1, 259}},
      {"03 08 00 08 00 01 00 01 00 03 03 02 00 05", {5, 0, 0, 0}},  // the last value counts
  };
  for (const auto& c : cases) {
    const PixelateParameters p = MetaDataInfoObject(Hex(c.body)).GetPixelateParameters();
    EXPECT_EQ((std::vector<std::uint16_t>{p.level, p.selector_one, p.selector_two, p.algorithm}), c.words) << c.body;
  }
}

TEST(MetaDataObject, SerializeNormalisesTheBody) {
  const Bytes body = Hex("08 04 00 0A 00 14 09 00 01 04 00 07 01 02 08 02 00 64");
  const Bytes normalised = Hex("01 04 00 07 01 02 08 04 00 0A 00 14 08 02 00 64");
  EXPECT_EQ(MetaDataDrawingObject(body).Serialize(), normalised);
  EXPECT_EQ(MetaDataInfoObject(body).Serialize(), normalised);
  // A value longer than a length byte can say is cut so that the body still reads back.
  const Bytes serialised = SerializeTagMap({{7, {Bytes(300, 0x41)}}, {9, {{5}}}});
  EXPECT_EQ(ParseTagBody(serialised), (TagMap{{7, {Bytes(255, 0x41)}}, {9, {{5}}}}));
}

TEST(AnalyticNames, TraceNamesAreExactMatches) {
  const std::pair<std::string, std::string> cases[] = {
      {"motion", "Stirwatch"}, {"perimeter", "Fencewatch"}, {"loitering", "Lingerwatch"}, {"fire", "Flamewatch"},
      {"Fire", "Fire"},        {"Stirwatch", "Stirwatch"},  {"fire ", "fire "},           {"", ""},
  };
  for (const auto& [name, trace_name] : cases) EXPECT_EQ(ToTraceName(name), trace_name) << name;
}

}  // namespace
}  // namespace moraine
