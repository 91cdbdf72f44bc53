#include "options/OptionDefaults.h"
#include "options/OptionStore.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Outcome = COptionLoadReport::Outcome;

// Builds file images byte by byte.
struct Image {
    std::string bytes;
    Image& Byte(uint8_t b) {
        bytes += static_cast<char>(b);
        return *this;
    }
    Image& Raw(const std::string& s) {
        bytes += s;
        return *this;
    }
    Image& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            Byte(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Image& Name(const std::string& name) {
        return Byte(static_cast<uint8_t>(name.size())).Raw(name);
    }
    Image& Int(const std::string& name, int32_t v) {
        return Byte(0x23).Name(name).U32(static_cast<uint32_t>(v));
    }
    Image& Text(const std::string& name, const std::string& v) {
        return Byte(0x08).Name(name).Byte(static_cast<uint8_t>(v.size())).Raw(v);
    }
    Image& LongText(const std::string& name, const std::string& v) {
        return Byte(0x0C).Name(name).U32(static_cast<uint32_t>(v.size())).Raw(v);
    }
    Image& Bytes(const std::string& name, const std::string& v) {
        return Byte(0x00).Name(name).Byte(static_cast<uint8_t>(v.size())).Raw(v);
    }
    Image& LongBytes(const std::string& name, const std::string& v) {
        return Byte(0x04).Name(name).U32(static_cast<uint32_t>(v.size())).Raw(v);
    }
};

struct Loaded {
    COptionStore store;
    COptionLoadReport report;
    bool ok = false;
};

Loaded Load(const Image& image) {
    Loaded result;
    CByteBuffer buffer;
    buffer.Append(image.bytes);
    result.ok = result.store.LoadFromImage(buffer, true, &result.report);
    return result;
}

// "name=value" texts of every entry, with the kind, sorted by name.
std::vector<std::string> Describe(const COptionStore& store) {
    std::vector<std::string> lines;
    for (const auto& [name, value] : store.GetEntries()) {
        switch (value->kind) {
        case OptionKind::Int:
            lines.push_back(name + "=int:" + std::to_string(value->integer));
            break;
        case OptionKind::Text:
            lines.push_back(name + "=text:" + value->text);
            break;
        case OptionKind::Bytes:
            lines.push_back(name + "=bytes:" + value->bytes.ToString());
            break;
        }
    }
    return lines;
}

using Lines = std::vector<std::string>;

TEST(OptionFileLoad, RecordFormsAndStops) {
    const std::string long300(300, 'L');
    const struct {
        const char* what;
        Image image;
        Outcome outcome;
        Lines entries;
        int64_t stopOffset;
    } cases[] = {
        {"empty file", Image{}, Outcome::Complete, {}, 0},
        {"integer", Image{}.Int("a", -2), Outcome::Complete, {"a=int:-2"}, 7},
        {"short text", Image{}.Text("t", "hi"), Outcome::Complete, {"t=text:hi"}, 6},
        {"long text",
         Image{}.LongText("t", long300),
         Outcome::Complete,
         {"t=text:" + long300},
         1 + 2 + 4 + 300},
        {"long form for a short text",
         Image{}.LongText("t", "ab"),
         Outcome::Complete,
         {"t=text:ab"},
         9},
        {"short bytes",
         Image{}.Bytes("b", std::string("\0\1", 2)),
         Outcome::Complete,
         {"b=bytes:" + std::string("\0\1", 2)},
         6},
        {"long bytes",
         Image{}.LongBytes("b", long300),
         Outcome::Complete,
         {"b=bytes:" + long300},
         307},
        {"text ends at its first zero byte",
         Image{}.Text("t", std::string("ab\0cd", 5)),
         Outcome::Complete,
         {"t=text:ab"},
         9},
        {"continuation bytes",
         Image{}.Byte(0xA3).Name("c").Byte(0x80).Byte(0x7F).U32(9),
         Outcome::Complete,
         {"c=int:9"},
         9},
        {"reserved bit 4 ignored",
         Image{}.Byte(0x18).Name("t").Byte(1).Raw("x"),
         Outcome::Complete,
         {"t=text:x"},
         5},
        {"kinds 4 and 5 skipped",
         Image{}.Byte(0x20).Name("k5").Byte(0x21).Name("k4").Int("i", 1),
         Outcome::Complete,
         {"i=int:1"},
         15},
        {"name number rejected",
         Image{}.Int("a", 1).Byte(0x48).Byte(1).Byte(0).Byte(0),
         Outcome::Failed,
         {"a=int:1"},
         8},
        {"sub-kind 2 rejected",
         Image{}.Int("a", 1).Byte(0x22).Name("x"),
         Outcome::Failed,
         {"a=int:1"},
         10},
        {"empty name rejected", Image{}.Byte(0x23).Byte(0).U32(1), Outcome::Failed, {}, 2},
        {"cut inside a name",
         Image{}.Int("a", 1).Byte(0x23).Byte(5).Raw("ab"),
         Outcome::CutShort,
         {"a=int:1"},
         8},
        {"cut inside a name number", Image{}.Byte(0x40).Byte(1), Outcome::CutShort, {}, 1},
        {"cut after the flags", Image{}.Int("a", 1).Byte(0x08), Outcome::CutShort, {"a=int:1"}, 8},
        {"cut inside an integer",
         Image{}.Byte(0x23).Name("i").Byte(1).Byte(2),
         Outcome::Failed,
         {},
         3},
        {"cut inside a text length",
         Image{}.Byte(0x0C).Name("t").Byte(1),
         Outcome::CutShort,
         {},
         3},
        {"cut inside a text value",
         Image{}.Int("a", 1).Byte(0x08).Name("t").Byte(5).Raw("ab"),
         Outcome::CutShort,
         {"a=int:1"},
         11},
        {"cut inside a bytes length",
         Image{}.Byte(0x04).Name("b").Byte(1).Byte(0),
         Outcome::CutShort,
         {},
         3},
        {"cut inside a bytes value",
         Image{}.Int("a", 1).Byte(0x00).Name("b").Byte(5).Raw("ab"),
         Outcome::Failed,
         {"a=int:1"},
         11},
        {"cut inside continuation bytes",
         Image{}.Byte(0x83).Name("c").Byte(0x80),
         Outcome::Failed,
         {},
         4},
        {"4 GB length in a short file",
         Image{}.Byte(0x04).Name("b").U32(0xFFFFFFFF).Raw("xyz"),
         Outcome::Failed,
         {},
         7},
        {"4 GB text length in a short file",
         Image{}.Byte(0x0C).Name("t").U32(0xFFFFFFF0),
         Outcome::CutShort,
         {},
         7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Loaded loaded = Load(c.image);
        EXPECT_EQ(loaded.report.outcome, c.outcome);
        EXPECT_EQ(loaded.ok, c.outcome == Outcome::Complete || c.outcome == Outcome::CutShort);
        EXPECT_EQ(Describe(loaded.store), c.entries);
        EXPECT_EQ(loaded.report.stopOffset, c.stopOffset);
    }
}

TEST(OptionFileLoad, ContinuationBytesAreLimitedTo255) {
    Image allowed;
    allowed.Byte(0xA3).Name("c");
    for (int i = 0; i < 254; ++i)
        allowed.Byte(0x80);
    allowed.Byte(0x00).U32(1);
    EXPECT_TRUE(Load(allowed).ok) << "255 continuation bytes";

    Image tooMany;
    tooMany.Byte(0xA3).Name("c");
    for (int i = 0; i < 255; ++i)
        tooMany.Byte(0x80);
    tooMany.Byte(0x00).U32(1);
    const Loaded loaded = Load(tooMany);
    EXPECT_EQ(loaded.report.outcome, Outcome::Failed);
    EXPECT_TRUE(loaded.store.GetEntries().empty());
}

TEST(OptionFileLoad, RecordsKeepTheKindOfEntriesAlreadyThere) {
    COptionStore store;
    RegisterDefaultOptions(store, "eng");
    CByteBuffer image;
    image.Append(Image{}
                     .Text("GOPT.brindex", "5")
                     .Int("GOPT.mdwddata", 7)
                     .Int("new", 1)
                     .Text("new", "text")
                     .bytes);
    ASSERT_TRUE(store.LoadFromImage(image, true));
    EXPECT_EQ(store.GetInt("GOPT.brindex", -1), 10);
    EXPECT_EQ(store.GetString("GOPT.mdwddata"), "1234");
    EXPECT_EQ(store.Find("new")->kind, OptionKind::Int);
    EXPECT_EQ(store.GetString("new"), "1");
}

TEST(OptionFileSave, WritesTheDocumentedBytes) {
    COptionStore store;
    store.SetInt("GOPT.brindex", 10);
    CByteBuffer image;
    ASSERT_TRUE(store.Serialize(image));
    EXPECT_EQ(image.ToString(), Image{}.Int("GOPT.brindex", 10).bytes);
    EXPECT_EQ(image.GetLength(), 18);

    store.Clear();
    store.SetString("GOPT.mdwddata", "1234");
    image.Clear();
    ASSERT_TRUE(store.Serialize(image));
    EXPECT_EQ(image.ToString(), std::string("\x08\x0DGOPT.mdwddata\x04"
                                            "1234"));

    const struct {
        size_t length;
        uint8_t textFlags;
        uint8_t bytesFlags;
    } lengths[] = {{0, 0x08, 0x00}, {255, 0x08, 0x00}, {256, 0x0C, 0x04}, {70000, 0x0C, 0x04}};
    for (const auto& c : lengths) {
        COptionStore sized;
        sized.SetString("t", std::string(c.length, 'x'));
        CByteBuffer bytes;
        bytes.Append(std::string(c.length, 'y'));
        sized.SetBytes("u", bytes);
        image.Clear();
        ASSERT_TRUE(sized.Serialize(image));
        const Image expected = c.length < 256 ? Image{}
                                                    .Text("t", std::string(c.length, 'x'))
                                                    .Bytes("u", std::string(c.length, 'y'))
                                              : Image{}
                                                    .LongText("t", std::string(c.length, 'x'))
                                                    .LongBytes("u", std::string(c.length, 'y'));
        EXPECT_EQ(image.ToString(), expected.bytes) << c.length;
        EXPECT_EQ(image.ByteAt(0), c.textFlags);
    }
}

TEST(OptionFileSave, LongNamesAreCutAndEmptyNamesRefused) {
    COptionStore store;
    const std::string name300(300, 'n');
    store.SetInt(name300, 4);
    CByteBuffer image;
    ASSERT_TRUE(store.Serialize(image));
    COptionStore loaded;
    ASSERT_TRUE(loaded.LoadFromImage(image, false));
    EXPECT_EQ(loaded.GetInt(name300.substr(0, 255), -1), 4);
    EXPECT_EQ(loaded.Find(name300), nullptr);

    store.SetInt("", 1);
    image.Clear();
    EXPECT_FALSE(store.Serialize(image));
    EXPECT_EQ(image.GetLength(), 0) << "nothing written";
}

} // namespace
} // namespace brivox
