#include "metadata/notes/IptcRecord.h"

#include "metadata/file/PhotoMetadata.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvik {
namespace {

std::string Dataset(int record, int dataset, const std::string& value)
{
    std::string d = {'\x1C', static_cast<char>(record), static_cast<char>(dataset),
                     static_cast<char>(value.size() >> 8), static_cast<char>(value.size() & 0xFF)};
    return d + value;
}

// An APP13 section's bytes: length field, signature, one 8BIM IPTC resource with the datasets.
std::string App13(const std::string& datasets)
{
    std::string body = std::string("Photoshop 3.0", 13) + '\0' + "8BIM" + std::string("\x04\x04\0\0", 4);
    const size_t n = datasets.size();
    body += std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                        static_cast<char>(n)};
    body += datasets;
    const size_t len = body.size() + 2;
    return std::string{static_cast<char>(len >> 8), static_cast<char>(len & 0xFF)} + body;
}

std::vector<std::string> Names(const IptcRecord& r)
{
    std::vector<std::string> names;
    for (int i = 0; i < r.Count(); ++i)
        names.push_back(r.EntryAt(i).TagName.Str());
    return names;
}

TEST(IptcTable, HasTheKnownDatasetsInOrder)
{
    const auto table = IptcDatasetTable();
    ASSERT_EQ(table.size(), 49u);
    EXPECT_STREQ(table[0].Name, "SKIP");
    EXPECT_STREQ(table[48].Name, "Subfile");
    EXPECT_EQ(table[48].RecordNo, 8);
    EXPECT_EQ(IptcRecord::DefinitionIndex("keywords"), 11);
    EXPECT_EQ(IptcRecord::DefinitionIndex("IMAGECAPTION"), 43);
    EXPECT_EQ(IptcRecord::DefinitionIndex("Custom_240"), -1);
    EXPECT_TRUE(IsIptcListDataset(20));
    EXPECT_TRUE(IsIptcListDataset(25));
    EXPECT_FALSE(IsIptcListDataset(5));
}

TEST(IptcParse, DropsTheRecordVersionAndKeepsTheObjectName)
{
    // The example block: signature, NUL, resource header, record version, object name.
    std::string block = std::string("Photoshop 3.0", 13) + '\0' +
                        std::string("\x38\x42\x49\x4D\x04\x04\x00\x00\x00\x00\x00\x0F", 12) +
                        std::string("\x1C\x02\x00\x00\x02\x00\x02\x1C\x02\x05\x00\x03", 12) + "abc";
    IptcRecord r;
    r.ParseResource(block);
    ASSERT_EQ(r.Count(), 1);
    const TagEntry e = r.EntryAt(0);
    EXPECT_EQ(e.TagName, "ObjectName");
    EXPECT_EQ(e.DisplayName, "Object name");
    EXPECT_EQ(e.ValueText, "abc");
    EXPECT_EQ(e.RecordNo, 2);
    EXPECT_EQ(e.TagNo, 5);
    EXPECT_EQ(e.ByteCount, 64);
}

TEST(IptcParse, GathersKeywordsIntoOneCommaList)
{
    struct Case {
        std::vector<std::string> keywords;
        std::string expected;
    } cases[] = {
        {{"sea", "sky"}, "sea,sky"},
        {{"sea", "sky", "Sea"}, "sea,sky"},
        {{"blue sea"}, "blue,sea"},
        {{"sea", "SKY", "sky"}, "sea,SKY"},
        {{"\xCC\xEE\xF0\xE5", "\xEC\xEE\xF0\xE5"}, "\xCC\xEE\xF0\xE5"},  // Море, море in Windows-1251
        {{"\"a, b\""}, "\"a, b\""},
    };
    for (const auto& c : cases) {
        std::string datasets;
        for (const auto& k : c.keywords)
            datasets += Dataset(2, 25, k);
        IptcRecord r;
        r.ParseResource(App13(datasets));
        ASSERT_EQ(r.Count(), 1) << c.expected;
        EXPECT_EQ(r.GetValue("Keywords", "?"), c.expected);
    }
}

// Each list is gathered on its own and its entry stands where its first dataset stood.
TEST(IptcParse, ListEntriesStandWhereTheirFirstDatasetStood)
{
    const std::string datasets = Dataset(2, 25, "sea") + Dataset(2, 90, "Rome") + Dataset(2, 20, "x") +
                                 Dataset(2, 25, "sky \"\"") + Dataset(2, 90, "Oslo") + Dataset(2, 25, "SEA") +
                                 Dataset(2, 20, "y");
    IptcRecord r;
    r.ParseResource(App13(datasets));
    EXPECT_EQ(Names(r), (std::vector<std::string>{"Keywords", "City", "SuppCategory", "City"}));
    EXPECT_EQ(r.GetValue("Keywords", ""), "sea,sky,");  // the empty item written last
    EXPECT_EQ(r.GetValue("SuppCategory", ""), "x,y");
}

TEST(IptcParse, NamesUnknownDatasetsAndDropsOtherRecords)
{
    IptcRecord r;
    r.ParseResource(App13(Dataset(2, 240, "x") + Dataset(3, 5, "no") + Dataset(8, 0, "v") + Dataset(8, 10, "ab") +
                          Dataset(8, 25, "dropped") + Dataset(2, 20, "cat")));
    EXPECT_EQ(Names(r), (std::vector<std::string>{"Custom_240", "Subfile", "SuppCategory"}));
    const TagEntry custom = r.EntryAt(0);
    EXPECT_EQ(custom.DisplayName, "Custom_240");
    EXPECT_EQ(custom.ByteCount, 64);
    EXPECT_EQ(custom.RecordNo, 2);
    EXPECT_EQ(custom.TagNo, 240);
    EXPECT_EQ(r.EntryAt(1).RecordNo, 8);
}

TEST(IptcParse, RepeatedPlainDatasetsGiveOneEntryEach)
{
    IptcRecord r;
    r.ParseResource(App13(Dataset(2, 90, "Moscow") + Dataset(2, 90, "Paris")));
    EXPECT_EQ(r.Count(), 2);
    EXPECT_EQ(r.GetValue("city", ""), "Moscow");
    EXPECT_EQ(r.IndexOfName("CITY"), 0);
}

TEST(IptcParse, ToleratesOddAndTruncatedBlocks)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
        std::string firstValue;
    } cases[] = {
        {"empty", "", {}, ""},
        {"no marker", App13(""), {}, ""},
        {"length runs past the end", App13(Dataset(2, 5, "abcdef")).substr(0, App13("").size() + 7),
         {"ObjectName"}, "ab"},
        {"partial dataset of three bytes", App13(Dataset(2, 5, "abc") + std::string("\x1C\x02\x5A\x00", 4)), {"ObjectName"}, "abc"},
        {"no signature: scan from position 13",
         std::string(12, 'z') + Dataset(2, 5, "abc"), {"ObjectName"}, "abc"},
        {"marker before position 13 is ignored", Dataset(2, 5, "abc"), {}, ""},
        {"marker 1C 01 is skipped", App13(std::string("\x1C\x01", 2) + Dataset(2, 90, "x")), {"City"}, "x"},
        {"marker right after another 1C", App13(std::string("\x1C", 1) + Dataset(2, 90, "y")), {"City"}, "y"},
        {"a 1C as the last byte", App13("") + std::string("\x1C", 1), {}, ""},
        {"only a signature", "Photoshop 3.0", {}, ""},
        {"huge declared length", App13(std::string("\x1C\x02\x05\xFF\xFF", 5) + "abc"), {"ObjectName"}, "abc"},
    };
    for (const auto& c : cases) {
        IptcRecord r;
        r.ParseResource(c.bytes);
        EXPECT_EQ(Names(r), c.names) << c.what;
        if (!c.names.empty()) {
            EXPECT_EQ(r.EntryAt(0).ValueText, c.firstValue) << c.what;
        }
    }
}

TEST(IptcParse, ClearsWhatAnEarlierParseLeft)
{
    IptcRecord r;
    r.ParseResource(App13(Dataset(2, 90, "a") + Dataset(2, 95, "b")));
    const int capacity = r.Capacity();
    r.ParseResource(App13(Dataset(2, 5, "c")));
    EXPECT_EQ(Names(r), std::vector<std::string>{"ObjectName"});
    EXPECT_EQ(r.Capacity(), capacity);
    r.Clear();
    EXPECT_EQ(r.Count(), 0);
    EXPECT_EQ(r.Capacity(), capacity);
}

TEST(IptcEntries, SetAndMerge)
{
    IptcRecord r;
    EXPECT_EQ(r.SetValue("ObjectName", "first"), 0);
    EXPECT_EQ(r.SetValue("objectname", ""), 0);
    EXPECT_EQ(r.GetValue("OBJECTNAME", "-"), "first");
    EXPECT_EQ(r.SetValue("objectname", "second"), 0);
    EXPECT_EQ(r.GetValue("ObjectName", "-"), "second");
    EXPECT_EQ(r.SetValue("NoSuchName", "x"), -1);
    EXPECT_EQ(r.Count(), 1);
    EXPECT_EQ(r.GetValue("NoSuchName", "default"), "default");

    EXPECT_EQ(r.MergeValue("Keywords", "a b"), 1);
    EXPECT_EQ(r.MergeValue("keywords", "B,c"), 1);
    EXPECT_EQ(r.GetValue("Keywords", ""), "a,b,c");
    EXPECT_EQ(r.MergeValue("Custom_1", "y"), -1);
    EXPECT_EQ(r.MergeValue("SuppCategory", ""), 2);
    EXPECT_EQ(r.GetValue("SuppCategory", "-"), "");

    EXPECT_EQ(Names(r), (std::vector<std::string>{"ObjectName", "Keywords", "SuppCategory"}));
    EXPECT_EQ(r.EntryAt(3).TagNo, 0);
    EXPECT_EQ(r.EntryAt(-1).TagNo, 0);
}

TEST(IptcEntries, AppendGrowsByTwentyFive)
{
    IptcRecord r;
    TagEntry e;
    e.TagNo = 90;
    e.TagName = "City";
    EXPECT_EQ(r.Capacity(), 0);
    EXPECT_EQ(r.AppendEntry(TagEntry{}), -1);  // dataset number 0 is never stored
    EXPECT_EQ(r.Capacity(), 0);
    EXPECT_EQ(r.AppendEntry(e), 0);
    EXPECT_EQ(r.Capacity(), 25);
    for (int i = 1; i < 24; ++i)
        r.AppendEntry(e);
    EXPECT_EQ(r.Capacity(), 25);
    EXPECT_EQ(r.AppendEntry(e), 24);  // the 25th
    EXPECT_EQ(r.Capacity(), 50);
    EXPECT_EQ(r.AppendEntry(TagEntry{}), 24);
}

TEST(CommaList, ReadsAndWritesItems)
{
    struct Case {
        std::string text;
        std::vector<std::string> items;
    } reads[] = {
        {"", {}},
        {"a,b", {"a", "b"}},
        {"  a , b  ", {"a", "b"}},
        {"a b\tc", {"a", "b", "c"}},
        {"\"a b\",c", {"a b", "c"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"a,", {"a", ""}},
        {"a, ", {"a"}},
        {"\"\"", {""}},
        {"\"open", {"open"}},
        {"\"a\"b", {"a", "b"}},
        {",,a", {"", "", "a"}},
    };
    for (const auto& c : reads)
        EXPECT_EQ(ReadCommaList(c.text), c.items) << c.text;

    struct Write {
        std::vector<std::string> items;
        std::string text;
    } writes[] = {
        {{}, ""},
        {{""}, "\"\""},
        {{"a", "b"}, "a,b"},
        {{"a b", "c,d", "e\"f", std::string("g\x01", 2)}, "\"a b\",\"c,d\",\"e\"\"f\",\"g\x01\""},
        {{"a", ""}, "a,"},
    };
    for (const auto& w : writes) {
        EXPECT_EQ(WriteCommaList(w.items), w.text);
        EXPECT_EQ(ReadCommaList(w.text), w.items) << w.text;
    }
}

TEST(CommaList, MergeAddsOnlyNewItemsTrimmed)
{
    EXPECT_EQ(IptcRecord::MergeList("", "sea"), "sea");
    EXPECT_EQ(IptcRecord::MergeList("sea", "SEA,sky"), "sea,sky");
    EXPECT_EQ(IptcRecord::MergeList("sea", "\" sky \""), "sea,sky");
    EXPECT_EQ(IptcRecord::MergeList("sea", "sky,sky"), "sea,sky");
    EXPECT_EQ(IptcRecord::MergeList("", "\"\""), "\"\"");
    EXPECT_EQ(IptcRecord::MergeList("", ""), "");
    EXPECT_EQ(IptcRecord::MergeList("\"old one\"", "new"), "\"old one\",new");
    // Windows-1251 letters fold too, the last capital (Я) and Ё (outside the run) among them.
    EXPECT_EQ(IptcRecord::MergeList("\xFF\xF5\xF2\xE0", "\xDF\xD5\xD2\xC0,\xC0"), "\xFF\xF5\xF2\xE0,\xC0");
    EXPECT_EQ(IptcRecord::MergeList("\xB8\xE6", "\xA8\xC6"), "\xB8\xE6");
}

TEST(IptcReadFromFile, ReadsTheFilesDatasets)
{
    test::TempDir dir;
    const std::string app13 = App13(Dataset(2, 5, "title") + Dataset(2, 25, "a") + Dataset(2, 25, "b"));
    std::string file = std::string("\xFF\xD8\xFF\xED", 4) + app13 + std::string("\xFF\xD9", 2);
    const auto path = dir / "photo.jpg";
    test::WriteFile(path, file);

    PhotoMetadata reader;
    reader.ReadMetadata(path.string());
    ASSERT_NE(reader.IptcSection, nullptr);
    IptcRecord record;
    record.ParseResource(reader.IptcSection->Data);
    EXPECT_EQ(Names(record), (std::vector<std::string>{"ObjectName", "Keywords"}));
    EXPECT_EQ(record.GetValue("Keywords", ""), "a,b");

    reader.ReadMetadata((dir / "missing.jpg").string());
    EXPECT_EQ(reader.IptcSection, nullptr);
}

}  // namespace
}  // namespace morvik

namespace morvik {
namespace {

TEST(IptcCameraSamples, ReadsThePhotoshopBlockOfBlueSquare)
{
    MORVIK_REQUIRE_CAMERA_SAMPLES();
    PhotoMetadata reader;
    reader.ReadMetadata((test::CameraSamplesDir() / "BlueSquare.jpg").string());
    ASSERT_NE(reader.IptcSection, nullptr);
    IptcRecord iptc;
    iptc.ParseResource(reader.IptcSection->Data);
    EXPECT_EQ(Names(iptc), (std::vector<std::string>{"ImageCaption", "ObjectName", "Keywords"}));
    EXPECT_EQ(iptc.GetValue("objectname", ""), "Blue Square Test File - .jpg");
    EXPECT_EQ(iptc.GetValue("Keywords", ""), "XMP,Blue,Square,test,file,Photoshop,.jpg");
    // The other samples carry no APP13.
    reader.ReadMetadata((test::CameraSamplesDir() / "Canon_40D.jpg").string());
    EXPECT_EQ(reader.IptcSection, nullptr);
}

}  // namespace
}  // namespace morvik

namespace morvik {
namespace {

// Cut and scrambled blocks never fail the reader and never give an entry without a name.
TEST(IptcParse, SurvivesEveryCutAndRandomBytes)
{
    std::string block = App13(Dataset(2, 5, "title") + Dataset(2, 25, "a b") + Dataset(2, 240, "x") +
                              Dataset(8, 10, "zz") + Dataset(2, 20, "\"q"));
    IptcRecord r;
    for (size_t n = 0; n <= block.size(); ++n) {
        r.ParseResource(std::string_view(block).substr(0, n));
        for (int i = 0; i < r.Count(); ++i)
            ASSERT_FALSE(r.EntryAt(i).TagName.empty());
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = block;
        for (int k = 0; k < 6; ++k) {
            seed = seed * 1103515245 + 12345;
            bytes[(seed >> 8) % bytes.size()] = static_cast<char>(seed >> 24);
        }
        r.ParseResource(bytes);
        ASSERT_LE(r.Count(), r.Capacity());
    }
}

}  // namespace
}  // namespace morvik
