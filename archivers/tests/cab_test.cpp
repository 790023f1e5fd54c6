// CAB writer and reader, checked against the independent readers cabextract and gcab, and our
// reader against cabinets gcab wrote.
#include <gtest/gtest.h>

#include <map>

#include "cab/cabinet.h"
#include "cab/checksum.h"
#include "common/hostfiles.h"
#include "platform/sjis.h"
#include "test_util.h"

namespace archivers::cab {
namespace {

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using namespace archivers::testing;

struct Tree {
    TempDir dir;
    fs::path src;
    std::map<std::string, std::string> files;  // relative UTF-8 path -> content

    explicit Tree(bool big = true) : src(dir / "src") {
        files["empty.dat"] = "";
        files["one.dat"] = "1";
        files["random.bin"] = RandomBytes(big ? (1 << 20) : 70000, 5);
        files["text.txt"] = TextLike(big ? (10 << 20) : 200000, 6);
        files["日本語.txt"] = TextLike(5000, 7);
        files["sub/install.dat"] = TextLike(40000, 8);
        files["sub/deeper/x.bin"] = RandomBytes(33000, 9);
        for (const auto& [name, data] : files) WriteFile(src / name, data);
    }

    std::vector<FoundFile> Scan() const {
        ScanOptions o;
        o.recurse = o.storePaths = true;
        std::vector<FoundFile> found;
        std::string error;
        EXPECT_TRUE(CollectFiles(src, {"*.*"}, o, &found, &error)) << error;
        return found;
    }
};

TEST(Checksum, TailBytesCountMostSignificantFirst) {
    const std::uint8_t data[7] = {0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC};
    // One word 0x04030201, then the three tail bytes as 0x00AABBCC.
    EXPECT_EQ(Checksum(data, 7, 0), 0x04030201u ^ 0x00AABBCCu);
    EXPECT_EQ(Checksum(data, 6, 0), 0x04030201u ^ 0x0000AABBu);
    EXPECT_EQ(Checksum(data, 5, 0), 0x04030201u ^ 0x000000AAu);
    EXPECT_EQ(Checksum(data, 4, 0x11111111u), 0x04030201u ^ 0x11111111u);
}

struct WriteCase {
    const char* name;
    Compression compression;
    std::uint64_t maxFolderBytes;  // small values force several CAB folders
};

class IndependentReaders : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IndependentReaders, TestAndExtractEveryFile) {
    static Tree tree;
    const WriteCase c = GetParam();
    const fs::path cabinet = tree.dir / (std::string(c.name) + ".cab");
    WriteSettings s;
    s.compression = c.compression;
    s.maxFolderBytes = c.maxFolderBytes;
    std::string error;
    ASSERT_TRUE(WriteCabinet(cabinet, tree.Scan(), s, &error)) << error;

    std::string out;
    EXPECT_EQ(RunTool("cabextract -q -t " + Quote(cabinet), &out), 0) << out;
    EXPECT_EQ(out.find("failed"), std::string::npos) << out;

    // cabextract turns the Shift-JIS names into UTF-8 when told their encoding.
    const fs::path viaCabextract = tree.dir / (std::string(c.name) + "_cabextract");
    ASSERT_EQ(RunTool("cabextract -q -e CP932 -d " + Quote(viaCabextract) + " " + Quote(cabinet), &out), 0) << out;
    // gcab writes the names' bytes as they are.
    const fs::path viaGcab = tree.dir / (std::string(c.name) + "_gcab");
    fs::create_directories(viaGcab);
    ASSERT_EQ(RunTool("gcab -x -C " + Quote(viaGcab) + " " + Quote(cabinet), &out), 0) << out;
    for (const auto& [name, data] : tree.files) {
        EXPECT_TRUE(ReadFile(viaCabextract / name) == data) << "cabextract " << name;
        EXPECT_TRUE(ReadFile(viaGcab / fs::path(sj::FromUtf8(name))) == data) << "gcab " << name;
    }
    FileHandle f(std::fopen(cabinet.c_str(), "rb"));
    CabinetReader reader;
    ASSERT_TRUE(reader.Open(f.get(), 0, 0, &error)) << error;
    EXPECT_EQ(reader.entries().size(), tree.files.size());
    EXPECT_TRUE(TestCabinet(f.get(), 0, 0, &error)) << error;
}

INSTANTIATE_TEST_SUITE_P(Cabinets, IndependentReaders,
                         ::testing::Values(WriteCase{"mszip_one_folder", Compression::MsZip, 0x7FFF8000},
                                           WriteCase{"mszip_many_folders", Compression::MsZip, 300000},
                                           WriteCase{"stored", Compression::None, 0x7FFF8000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Reader, ReadsWhatGcabWrote) {
    Tree tree(false);
    const fs::path cabinet = tree.dir / "gcab.cab";
    std::string out;
    ASSERT_EQ(RunTool("cd " + Quote(tree.src) + " && gcab -c -z " + Quote(cabinet) +
                          " empty.dat one.dat random.bin text.txt sub/install.dat",
                      &out),
              0)
        << out;
    FileHandle f(std::fopen(cabinet.c_str(), "rb"));
    std::string error;
    const fs::path dest = tree.dir / "x";
    ASSERT_TRUE(ExtractCabinet(f.get(), 0, 0, dest, &error)) << error;
    for (const char* name : {"empty.dat", "one.dat", "random.bin", "text.txt", "sub/install.dat"}) {
        EXPECT_TRUE(ReadFile(dest / name) == tree.files[name]) << name;
    }
}

TEST(Reader, DamageIsFoundByTheBlockChecksum) {
    Tree tree(false);
    const fs::path cabinet = tree.dir / "a.cab";
    std::string error;
    ASSERT_TRUE(WriteCabinet(cabinet, tree.Scan(), {}, &error)) << error;
    std::string bytes = ReadFile(cabinet);
    bytes[bytes.size() - 100] = static_cast<char>(bytes[bytes.size() - 100] ^ 0x10);
    WriteFile(tree.dir / "bad.cab", bytes);
    FileHandle f(std::fopen((tree.dir / "bad.cab").c_str(), "rb"));
    EXPECT_FALSE(TestCabinet(f.get(), 0, 0, &error));
    EXPECT_NE(error.find("checksum"), std::string::npos) << error;
    // The independent reader agrees that the cabinet is damaged.
    EXPECT_NE(RunTool("cabextract -q -t " + Quote(tree.dir / "bad.cab")), 0);

    // Cut short.
    WriteFile(tree.dir / "short.cab", ReadFile(cabinet).substr(0, bytes.size() / 2));
    FileHandle g(std::fopen((tree.dir / "short.cab").c_str(), "rb"));
    EXPECT_FALSE(TestCabinet(g.get(), 0, 0, &error));
}

TEST(Reader, NamesThatLeaveTheFolderAreRefusedBeforeWriting) {
    for (const char* name : {"..\\escape.txt", "sub\\..\\..\\escape.txt", "C:\\escape.txt", "\\escape.txt"}) {
        TempDir dir;
        WriteFile(dir / "src/ok.txt", "fine");
        WriteFile(dir / "src/evil.txt", "evil");
        std::vector<FoundFile> files;
        std::string error;
        ASSERT_TRUE(CollectFiles(dir / "src", {"*.*"}, {}, &files, &error));
        ASSERT_EQ(files.size(), 2u);
        files[0].name = name;  // evil.txt sorts first
        ASSERT_TRUE(WriteCabinet(dir / "a.cab", files, {}, &error)) << error;
        FileHandle f(std::fopen((dir / "a.cab").c_str(), "rb"));
        EXPECT_FALSE(ExtractCabinet(f.get(), 0, 0, dir / "out/inner", &error)) << name;
        EXPECT_FALSE(fs::exists(dir / "out/inner/ok.txt")) << name;
        EXPECT_FALSE(fs::exists(dir / "out/escape.txt")) << name;
        EXPECT_FALSE(fs::exists(dir / "escape.txt")) << name;
    }
}

TEST(Writer, AnyNumberOfThreadsWritesTheSameBytes) {
    static Tree tree;
    for (const std::uint64_t folderBytes : {std::uint64_t{0x7FFF8000}, std::uint64_t{300000}}) {
        std::string first;
        for (const int threads : {1, 2, 8}) {
            WriteSettings s;
            s.threads = threads;
            s.maxFolderBytes = folderBytes;
            const fs::path cabinet = tree.dir / ("t" + std::to_string(folderBytes) + "_" + std::to_string(threads) + ".cab");
            std::string error;
            ASSERT_TRUE(WriteCabinet(cabinet, tree.Scan(), s, &error)) << threads << ": " << error;
            const std::string bytes = ReadFile(cabinet);
            if (threads == 1) {
                first = bytes;
                std::string out;
                EXPECT_EQ(RunTool("cabextract -q -t " + Quote(cabinet), &out), 0) << out;
            } else {
                EXPECT_TRUE(bytes == first) << threads << " threads wrote other bytes than one, folders of "
                                            << folderBytes;
            }
        }
    }
}

TEST(Writer, KeepsTimesAndReadOnlyAttribute) {
    TempDir dir;
    WriteFile(dir / "src/ro.txt", "read only");
    SetHostFileInfo(dir / "src/ro.txt", 1700000000, true);
    std::vector<FoundFile> files;
    std::string error;
    ASSERT_TRUE(CollectFiles(dir / "src", {"*.*"}, {}, &files, &error));
    ASSERT_TRUE(WriteCabinet(dir / "a.cab", files, {}, &error)) << error;
    FileHandle f(std::fopen((dir / "a.cab").c_str(), "rb"));
    CabinetReader reader;
    ASSERT_TRUE(reader.Open(f.get(), 0, 0, &error)) << error;
    ASSERT_EQ(reader.entries().size(), 1u);
    EXPECT_EQ(reader.entries()[0].mtime, 1700000000);  // even seconds survive the DOS time
    EXPECT_EQ(reader.entries()[0].attributes & kFileReadOnly, kFileReadOnly);
}

}  // namespace
}  // namespace archivers::cab
