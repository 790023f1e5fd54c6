// LHA coder, headers and archives, checked against our decoder and against the independent
// reader `lha` (lhasa).
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "common/hostfiles.h"
#include "lha/archive.h"
#include "lha/crc16.h"
#include "lha/decoder.h"
#include "lha/encoder.h"
#include "lha/header.h"
#include "lha/huffman.h"
#include "platform/sjis.h"
#include "test_util.h"

namespace archivers::lha {
namespace {

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using namespace archivers::testing;

ByteSource MemorySource(const std::string& data) {
    auto at = std::make_shared<std::size_t>(0);
    return [&data, at](std::uint8_t* buf, std::size_t size) -> std::ptrdiff_t {
        const std::size_t n = std::min(size, data.size() - *at);
        std::memcpy(buf, data.data() + *at, n);
        *at += n;
        return static_cast<std::ptrdiff_t>(n);
    };
}

ByteSink StringSink(std::string* out) {
    return [out](const std::uint8_t* d, std::size_t n) {
        out->append(reinterpret_cast<const char*>(d), n);
        return true;
    };
}

struct DataCase {
    const char* name;
    std::string (*make)();
};

const DataCase kData[] = {
    {"empty", [] { return std::string(); }},
    {"one_byte", [] { return std::string("x"); }},
    {"two_bytes", [] { return std::string("ab"); }},
    {"zeros_300k", [] { return std::string(300000, '\0'); }},  // longest matches only
    {"random_64k", [] { return RandomBytes(65536, 1); }},       // literals only
    {"text_1m", [] { return TextLike(1 << 20, 2); }},
    {"period_70000", [] {  // repeats beyond the -lh5- and -lh6- windows
         const std::string unit = RandomBytes(70000, 3);
         return unit + unit + unit;
     }},
    {"one_symbol_blocks", [] { return std::string(100000, 'a') + RandomBytes(5000, 4) + std::string(100000, 'b'); }},
    {"long_and_short_matches_by_turns", [] {  // the parse switches between lazy and by cost
        std::string data;
        for (std::uint32_t k = 0; k < 12; ++k) {
            const std::string words = TextLike(3000 + 1700 * k, 10 + k);
            data += words + words.substr(k * 37) + RandomBytes(900 + 613 * k, 20 + k) + std::string(k * 50, '=');
        }
        return data;
    }},
};

class CoderRoundTrip : public ::testing::TestWithParam<std::tuple<const char*, DataCase>> {};

TEST_P(CoderRoundTrip, DecodesToTheOriginalWithItsCrc) {
    const MethodTraits* method = FindMethod(std::get<0>(GetParam()));
    ASSERT_NE(method, nullptr);
    const std::string original = std::get<1>(GetParam()).make();
    // Both ways of choosing matches: by cost (the methods' default) and lazily.
    for (const bool optimal : {true, false}) {
        MethodTraits traits = *method;
        traits.optimalParse = optimal;
        std::string packed;
        CodingResult enc;
        if (traits.stored) {
            packed = original;
            enc.ok = true;
            enc.crc = ComputeCrc16(reinterpret_cast<const std::uint8_t*>(original.data()), original.size());
            enc.compressedSize = original.size();
        } else {
            Encoder encoder(traits);
            enc = encoder.Encode(MemorySource(original), StringSink(&packed));
        }
        ASSERT_TRUE(enc.ok);
        EXPECT_EQ(enc.compressedSize, packed.size());
        std::string unpacked;
        std::string error;
        const CodingResult dec =
            DecodeMember(traits, MemorySource(packed), packed.size(), original.size(), StringSink(&unpacked), &error);
        ASSERT_TRUE(dec.ok) << error << (optimal ? " optimal" : " lazy");
        EXPECT_EQ(dec.crc, enc.crc);
        EXPECT_TRUE(unpacked == original) << (optimal ? "optimal" : "lazy");
    }
}

TEST(Coder, OneEncoderPacksSeveralStreamsAsAFreshOneWould) {
    // The same encoder, used again, starts afresh: no history or costs carried over. Anything
    // left over would make an archive's bytes depend on which thread packed which member.
    const std::string a = TextLike(100000, 21);
    const std::string b = RandomBytes(3000, 22) + a.substr(0, 5000);
    const std::string c = TextLike(2000, 23) + a.substr(100, 3000);
    const std::string big = TextLike(600000, 24);  // slides its buffer
    for (const char* method : {"-lh5-", "-lh6-", "-lh7-"}) {
        Encoder reused(*FindMethod(method));
        for (const std::string* data : {&a, &b, &c, &big, &c, &a}) {
            std::string packed;
            ASSERT_TRUE(reused.Encode(MemorySource(*data), StringSink(&packed)).ok);
            std::string fresh;
            ASSERT_TRUE(Encoder(*FindMethod(method)).Encode(MemorySource(*data), StringSink(&fresh)).ok);
            EXPECT_TRUE(packed == fresh) << method << ": stream of " << data->size() << " bytes";
            std::string unpacked;
            std::string error;
            ASSERT_TRUE(DecodeMember(*FindMethod(method), MemorySource(packed), packed.size(), data->size(),
                                     StringSink(&unpacked), &error)
                            .ok)
                << error;
            EXPECT_TRUE(unpacked == *data);
        }
    }
}

TEST(Crc16, KnownValuesAtEveryAlignment) {
    // CRC-16 with the reflected polynomial 0xA001, start 0: "123456789" gives 0xBB3D.
    EXPECT_EQ(ComputeCrc16(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0xBB3D);
    // Every length and start against the bit-by-bit definition, so the four-byte steps and
    // the tail agree.
    const std::string data = RandomBytes(64, 31);
    auto bitwise = [](const std::uint8_t* p, std::size_t n) {
        unsigned crc = 0;
        for (std::size_t i = 0; i < n; ++i) {
            crc ^= p[i];
            for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        }
        return static_cast<std::uint16_t>(crc);
    };
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    for (std::size_t start = 0; start < 4; ++start) {
        for (std::size_t n = 0; start + n <= data.size(); ++n) {
            ASSERT_EQ(ComputeCrc16(bytes + start, n), bitwise(bytes + start, n)) << start << "+" << n;
        }
    }
    // Updates in pieces give the same value as one.
    Crc16 pieces;
    pieces.Update(bytes, 7);
    pieces.Update(bytes + 7, 30);
    pieces.Update(bytes + 37, 27);
    EXPECT_EQ(pieces.Value(), bitwise(bytes, 64));
}

INSTANTIATE_TEST_SUITE_P(AllMethods, CoderRoundTrip,
                         ::testing::Combine(::testing::Values("-lh0-", "-lh5-", "-lh6-", "-lh7-"),
                                            ::testing::ValuesIn(kData)),
                         [](const auto& info) {
                             std::string m = std::get<0>(info.param);
                             return m.substr(1, 3) + "_" + std::get<1>(info.param).name;
                         });

TEST(Coder, WiderWindowsFindFartherRepeats) {
    // A block repeated at 20000 bytes: beyond -lh5-'s 8 KiB window, inside -lh6-'s.
    const std::string unit = RandomBytes(20000, 9);
    const std::string data = unit + unit;
    std::map<std::string, std::size_t> size;
    for (const char* name : {"-lh5-", "-lh6-", "-lh7-"}) {
        std::string packed;
        Encoder(*FindMethod(name)).Encode(MemorySource(data), StringSink(&packed));
        size[name] = packed.size();
    }
    EXPECT_GT(size["-lh5-"], 39000u);
    EXPECT_LT(size["-lh6-"], 21000u);
    EXPECT_LT(size["-lh7-"], 21000u);
}

TEST(Huffman, SkewedCountsStayWithinSixteenBitsAndFormAPrefixCode) {
    // Fibonacci counts give a degenerate tree 30 levels deep without a limit.
    std::uint32_t freq[30];
    freq[0] = freq[1] = 1;
    for (int i = 2; i < 30; ++i) freq[i] = freq[i - 1] + freq[i - 2];
    std::uint8_t len[30];
    BuildCodeLengths(freq, 30, kMaxCodeBits, len);
    double kraft = 0;
    for (int i = 0; i < 30; ++i) {
        EXPECT_GE(len[i], 1);
        EXPECT_LE(len[i], kMaxCodeBits);
        kraft += 1.0 / (1 << len[i]);
    }
    EXPECT_LE(kraft, 1.0);
    HuffmanDecoder dec;
    EXPECT_TRUE(dec.Build(len, 30));
}

TEST(Huffman, OversubscribedLengthsAreRefused) {
    const std::uint8_t len[3] = {1, 1, 1};
    HuffmanDecoder dec;
    EXPECT_FALSE(dec.Build(len, 3));
}

TEST(Header, RoundTripsNamesTimesAttributesAndFolders) {
    Member m;
    m.method = "-lh6-";
    m.compressedSize = 1234;
    m.originalSize = 5678;
    m.mtime = 1700000000;
    m.crc = 0xBEEF;
    m.attributes = kAttrArchive | kAttrReadOnly;
    // 表 (0x95 0x5C) in both the folder and the name: its trail byte is no separator.
    m.path = sj::S("表\\サブ\\表示.txt");
    const std::string h = EncodeHeader(m);
    EXPECT_NE(h[0], 0);
    // Folder extended header: parts separated and ended by 0xFF.
    EXPECT_NE(h.find(std::string("\x02") + sj::S("表") + "\xFF" + sj::S("サブ") + "\xFF"), std::string::npos);

    std::size_t at = 0;
    auto read = [&](std::uint8_t* buf, std::size_t n) {
        if (at + n > h.size()) return false;
        std::memcpy(buf, h.data() + at, n);
        at += n;
        return true;
    };
    Member back;
    std::size_t size = 0;
    std::string error;
    ASSERT_EQ(DecodeHeader(read, &back, &size, &error), HeaderStatus::Ok) << error;
    EXPECT_EQ(size, h.size());
    EXPECT_EQ(back.path, m.path);
    EXPECT_EQ(back.method, m.method);
    EXPECT_EQ(back.compressedSize, m.compressedSize);
    EXPECT_EQ(back.originalSize, m.originalSize);
    EXPECT_EQ(back.mtime, m.mtime);
    EXPECT_EQ(back.crc, m.crc);
    EXPECT_EQ(back.attributes, m.attributes);
}

TEST(Header, DamagedHeaderCrcIsRefused) {
    Member m;
    m.path = "a.txt";
    std::string h = EncodeHeader(m);
    h[10] ^= 0x01;
    std::size_t at = 0;
    auto read = [&](std::uint8_t* buf, std::size_t n) {
        if (at + n > h.size()) return false;
        std::memcpy(buf, h.data() + at, n);
        at += n;
        return true;
    };
    Member back;
    std::string error;
    EXPECT_EQ(DecodeHeader(read, &back, nullptr, &error), HeaderStatus::Error);
    EXPECT_NE(error.find("CRC"), std::string::npos);
}

// The tree every archive test packs: sizes and names the independent reader must handle.
struct Tree {
    TempDir dir;
    fs::path src;
    std::map<std::string, std::string> files;  // relative UTF-8 path -> content

    Tree() : src(dir / "src") {
        files["empty.dat"] = "";
        files["one.dat"] = "1";
        files["random.bin"] = RandomBytes(1 << 20, 5);
        files["text.txt"] = TextLike(10 << 20, 6);
        files["日本語.txt"] = TextLike(5000, 7);
        files["表示.txt"] = "name whose first character ends in 0x5C";
        files["表/深い/ネスト.txt"] = TextLike(3000, 8);
        files["a/b/c/d.txt"] = "deep";
        for (const auto& [name, data] : files) WriteFile(src / name, data);
    }

    std::vector<FoundFile> Scan() const {
        ScanOptions o;
        o.recurse = o.folderEntries = o.storePaths = true;
        std::vector<FoundFile> found;
        std::string error;
        EXPECT_TRUE(CollectFiles(src, {"*.*"}, o, &found, &error)) << error;
        return found;
    }
};

// lhasa writes the stored Shift-JIS names as they are: the host name is those bytes.
fs::path SjisHostPath(const std::string& utf8Rel) { return fs::path(sj::FromUtf8(utf8Rel)); }

class LhasaReads : public ::testing::TestWithParam<const char*> {};

TEST_P(LhasaReads, EveryFileOfTheTree) {
    static Tree tree;  // built once for all methods
    const fs::path archive = tree.dir / (std::string("t") + (GetParam() + 1) + ".lzh");
    PackSettings settings;
    settings.method = FindMethod(GetParam());
    settings.forceMethod = true;  // random data too goes through the method
    std::string error;
    ASSERT_TRUE(UpdateArchive(archive, tree.Scan(), settings, &error)) << error;

    std::string out;
    EXPECT_EQ(RunTool("lha t " + Quote(archive), &out), 0) << out;
    const fs::path dest = tree.dir / (std::string("x") + (GetParam() + 1));
    ASSERT_EQ(RunTool("lha xqw=" + Quote(dest) + " " + Quote(archive), &out), 0) << out;
    for (const auto& [name, data] : tree.files) {
        const fs::path got = dest / SjisHostPath(name);
        ASSERT_TRUE(fs::exists(got)) << name;
        EXPECT_TRUE(ReadFile(got) == data) << name;
    }
    // Our own reader agrees.
    FileHandle f(std::fopen(archive.c_str(), "rb"));
    EXPECT_TRUE(TestArchive(f.get(), 0, 0, &error)) << error;
}

INSTANTIATE_TEST_SUITE_P(AllMethods, LhasaReads, ::testing::Values("-lh0-", "-lh5-", "-lh6-", "-lh7-"),
                         [](const auto& info) { return std::string(info.param).substr(1, 3); });

TEST(Archive, IncompressibleFilesAreStored) {
    TempDir dir;
    WriteFile(dir / "src/r.bin", RandomBytes(100000, 10));
    std::vector<FoundFile> files;
    std::string error;
    ASSERT_TRUE(CollectFiles(dir / "src", {"*.*"}, {}, &files, &error));
    PackSettings s;
    s.method = FindMethod("-lh7-");
    ASSERT_TRUE(UpdateArchive(dir / "a.lzh", files, s, &error)) << error;
    std::vector<Member> members;
    ASSERT_TRUE(ListArchive(dir / "a.lzh", &members, &error));
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].method, "-lh0-");
    EXPECT_EQ(members[0].compressedSize, 100000u);
}

TEST(Archive, UpdateKeepsNewerMembersUnlessTimesAreIgnored) {
    TempDir dir;
    WriteFile(dir / "src/a.txt", "first");
    WriteFile(dir / "src/b.txt", "bbb");
    std::vector<FoundFile> files;
    std::string error;
    ASSERT_TRUE(CollectFiles(dir / "src", {"*.*"}, {}, &files, &error));
    PackSettings s;
    s.method = FindMethod("-lh5-");
    ASSERT_TRUE(UpdateArchive(dir / "a.lzh", files, s, &error)) << error;

    // Same time stamp on disk, different content: an update keeps the member...
    WriteFile(dir / "src/a.txt", "second");
    SetHostFileInfo(dir / "src/a.txt", files[0].mtime, false);
    WriteFile(dir / "src/c.txt", "new");
    files.clear();
    ASSERT_TRUE(CollectFiles(dir / "src", {"*.*"}, {}, &files, &error));
    ASSERT_TRUE(UpdateArchive(dir / "a.lzh", files, s, &error)) << error;
    FileHandle f(std::fopen((dir / "a.lzh").c_str(), "rb"));
    ASSERT_TRUE(ExtractArchive(f.get(), 0, 0, dir / "x1", {}, &error)) << error;
    EXPECT_EQ(ReadFile(dir / "x1/a.txt"), "first");
    EXPECT_EQ(ReadFile(dir / "x1/c.txt"), "new");
    f.reset();

    // ...and with times ignored (-c1) it is replaced.
    s.onlyNewer = false;
    ASSERT_TRUE(UpdateArchive(dir / "a.lzh", files, s, &error)) << error;
    f.reset(std::fopen((dir / "a.lzh").c_str(), "rb"));
    ASSERT_TRUE(ExtractArchive(f.get(), 0, 0, dir / "x2", {}, &error)) << error;
    EXPECT_EQ(ReadFile(dir / "x2/a.txt"), "second");
    std::vector<Member> members;
    ASSERT_TRUE(ListArchive(dir / "a.lzh", &members, &error));
    EXPECT_EQ(members.size(), 3u);
}

TEST(Archive, DamagedDataFailsTheTest) {
    TempDir dir;
    WriteFile(dir / "src/t.txt", TextLike(200000, 11));
    std::vector<FoundFile> files;
    std::string error;
    ASSERT_TRUE(CollectFiles(dir / "src", {"*.*"}, {}, &files, &error));
    PackSettings s;
    s.method = FindMethod("-lh5-");
    ASSERT_TRUE(UpdateArchive(dir / "a.lzh", files, s, &error)) << error;
    std::string bytes = ReadFile(dir / "a.lzh");
    for (std::size_t at : {bytes.size() / 2, bytes.size() - 10}) {
        std::string bad = bytes;
        bad[at] = static_cast<char>(bad[at] ^ 0x40);
        WriteFile(dir / "bad.lzh", bad);
        FileHandle f(std::fopen((dir / "bad.lzh").c_str(), "rb"));
        EXPECT_FALSE(TestArchive(f.get(), 0, 0, &error)) << at;
    }
    // Cut short: the member's data runs past the end.
    WriteFile(dir / "short.lzh", bytes.substr(0, bytes.size() / 2));
    FileHandle f(std::fopen((dir / "short.lzh").c_str(), "rb"));
    EXPECT_FALSE(TestArchive(f.get(), 0, 0, &error));
}

// Many small files, some incompressible ones and a few larger ones, as an installer's files are.
struct ManyFiles {
    TempDir dir;
    std::vector<FoundFile> files;

    ManyFiles() {
        for (int i = 0; i < 120; ++i) {
            const std::string name = "f" + std::to_string(1000 + i) + (i % 7 == 0 ? ".bin" : ".txt");
            WriteFile(dir / "src" / name, i % 7 == 0 ? RandomBytes(500 + 37 * i, i) : TextLike(200 + 211 * i, i));
        }
        WriteFile(dir / "src/big.txt", TextLike(1 << 20, 90));
        WriteFile(dir / "src/big.bin", RandomBytes(600000, 91));
        WriteFile(dir / "src/zero.dat", "");
        std::string error;
        ScanOptions o;
        EXPECT_TRUE(CollectFiles(dir / "src", {"*.*"}, o, &files, &error)) << error;
    }
};

TEST(Archive, AnyNumberOfThreadsWritesTheSameBytes) {
    static ManyFiles tree;
    for (const char* method : {"-lh0-", "-lh5-", "-lh7-"}) {
        std::string first;
        for (const int threads : {1, 2, 8}) {
            PackSettings s;
            s.method = FindMethod(method);
            s.threads = threads;
            // Small enough that the larger members wait in temporary files.
            s.memberMemory = 64 << 10;
            const fs::path archive = tree.dir / (std::string(method + 1, 3) + "_" + std::to_string(threads) + ".lzh");
            std::string error;
            ASSERT_TRUE(UpdateArchive(archive, tree.files, s, &error)) << method << " " << threads << ": " << error;
            const std::string bytes = ReadFile(archive);
            if (threads == 1) {
                first = bytes;
                std::string out;
                EXPECT_EQ(RunTool("lha t " + Quote(archive), &out), 0) << out;
                std::vector<Member> members;
                ASSERT_TRUE(ListArchive(archive, &members, &error)) << error;
                ASSERT_EQ(members.size(), tree.files.size());
                for (std::size_t i = 0; i < members.size(); ++i) EXPECT_EQ(members[i].path, tree.files[i].name);
            } else {
                EXPECT_TRUE(bytes == first) << method << ": " << threads << " threads wrote other bytes than one";
            }
        }
    }
    // Nothing of the temporary files stays behind.
    for (const auto& e : fs::directory_iterator(tree.dir.path())) {
        EXPECT_TRUE(e.path().extension() == ".lzh" || e.path().filename() == "src") << e.path();
    }
}

TEST(Archive, AFileThatCannotBeReadFailsThePackWithoutAnArchive) {
    // The failing member lies among others still being compressed on other threads.
    for (const int threads : {1, 8}) {
        TempDir dir;
        for (int i = 0; i < 40; ++i) WriteFile(dir / ("src/f" + std::to_string(100 + i) + ".txt"), TextLike(5000, i));
        std::vector<FoundFile> files;
        std::string error;
        ASSERT_TRUE(CollectFiles(dir / "src", {"*.*"}, {}, &files, &error));
        fs::remove(files[17].host);
        PackSettings s;
        s.method = FindMethod("-lh5-");
        s.threads = threads;
        EXPECT_FALSE(UpdateArchive(dir / "a.lzh", files, s, &error)) << threads;
        EXPECT_NE(error.find(files[17].host.filename().string()), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(dir / "a.lzh")) << threads;
        for (const auto& e : fs::directory_iterator(dir.path())) EXPECT_EQ(e.path().filename(), "src") << e.path();
    }
}

// An archive with one stored member under an arbitrary name, as a hostile archive would be.
std::string HandMadeArchive(const std::string& name, const std::string& data) {
    Member m;
    m.method = "-lh0-";
    m.path = name;
    m.originalSize = m.compressedSize = data.size();
    m.crc = ComputeCrc16(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    return EncodeHeader(m) + data + std::string(1, '\0');
}

TEST(Archive, MemberNamesThatLeaveTheFolderAreRefusedBeforeWriting) {
    const char* const kBad[] = {"..\\escape.txt", "a\\..\\..\\escape.txt", "C:\\escape.txt",
                                "/escape.txt", "a/../../escape.txt"};
    for (const char* name : kBad) {
        TempDir dir;
        // A harmless member first: it must not be written either.
        std::string archive = HandMadeArchive("ok.txt", "fine");
        archive.pop_back();  // drop the end mark
        archive += HandMadeArchive(name, "evil");
        WriteFile(dir / "a.lzh", archive);
        FileHandle f(std::fopen((dir / "a.lzh").c_str(), "rb"));
        std::string error;
        EXPECT_FALSE(ExtractArchive(f.get(), 0, 0, dir / "out/inner", {}, &error)) << name;
        EXPECT_FALSE(fs::exists(dir / "out/inner/ok.txt")) << name;
        EXPECT_FALSE(fs::exists(dir / "out/escape.txt")) << name;
        EXPECT_FALSE(fs::exists(dir / "escape.txt")) << name;
    }
}

}  // namespace
}  // namespace archivers::lha

namespace archivers::lha {
namespace {

TEST(Archive, ExtractingAgainReplacesReadOnlyFiles) {
    // A self-extractor run twice meets the read-only files of its first run.
    testing::TempDir dir;
    testing::WriteFile(dir.path() / "src/ro.txt", "v1");
    SetHostFileInfo(dir.path() / "src/ro.txt", 1700000000, true);
    std::vector<FoundFile> files;
    std::string error;
    ASSERT_TRUE(CollectFiles(dir.path() / "src", {"*.*"}, {}, &files, &error));
    PackSettings s;
    s.method = FindMethod("-lh5-");
    ASSERT_TRUE(UpdateArchive(dir.path() / "a.lzh", files, s, &error)) << error;
    for (int run = 0; run < 2; ++run) {
        FileHandle f(std::fopen((dir.path() / "a.lzh").c_str(), "rb"));
        ASSERT_TRUE(ExtractArchive(f.get(), 0, 0, dir.path() / "x", {}, &error)) << run << ": " << error;
    }
    EXPECT_EQ(testing::ReadFile(dir.path() / "x/ro.txt"), "v1");
    EXPECT_EQ(std::filesystem::status(dir.path() / "x/ro.txt").permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::none);
}

}  // namespace
}  // namespace archivers::lha
