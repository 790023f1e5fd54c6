// The archive component of the editor's main window: packs a folder into an LHA or CAB
// archive and turns the archive into a self-extractor through the archiver libraries, which it
// loads by name on first use and keeps loaded.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

// What the component needs of the editor around it. (The editor's user-interface seam will
// carry these; until it exists this is the whole contract.)
class ArchiveHost {
public:
    virtual ~ArchiveHost() = default;
    // The editor's folder as a Windows path in Shift-JIS, ending in "\": Response.txt goes there.
    virtual std::string EditorFolder() const = 0;
    // Host path of a Windows path in Shift-JIS. Default: the suite's drive map; a path that
    // cannot be mapped gives an empty path (which exists nowhere).
    virtual std::filesystem::path HostPath(std::string_view windowsPath) const;
    // Host folder that holds libunlha32.so and libcab32.so. Default: the suite's library folder
    // beside the program (<folder of the executable>/../lib/zuzoruve when installed, else
    // <folder of the executable>/../lib).
    virtual std::filesystem::path LibraryFolder() const;
    // Window handed to the libraries as their owner; the build passes none.
    virtual void* OwnerWindow() const { return nullptr; }
};

struct TLhaOptions {
    enum TCompressType { ctLh0, ctLh1, ctLh5, ctLh6, ctLh7 };
    enum TCompressOption : unsigned { coIncludeHidden = 1, coOverWrite = 2, coIncludeDir = 4, coRecurse = 8 };
    enum TSfxType { stDosSfx, stWinSfx, stWinSfxM, stWinSfx32, stWinSfx32M };

    TCompressType CompressType = ctLh5;
    unsigned CompressOptions = coIncludeHidden | coOverWrite;
    TSfxType SfxType = stWinSfx32M;
    bool SfxDialog = false;
    bool ShortFileName = false;
    bool AdjustArcTime = false;
};

struct TCabOptions {
    enum TCompressType { ctMsZip, ctLzx, ctQuantum, ctNoCompress };
    enum TCompressOption : unsigned { coIncludeDir = 1, coRecurse = 2 };

    TCompressType CompressType = ctLzx;
    unsigned CompressOptions = 0;
    bool MultiVolume = false;
    bool ShortFileName = false;

    // LZX window bits, clamped to 15-21 (1-7 for Quantum).
    void SetCompressLevel(int level);
    int CompressLevel() const { return level_; }

private:
    int level_ = 21;
};

enum class ArchiveKind { None, Lha, Cab };

class TArchiveControl {
public:
    // Results of Pack and MakeSfx.
    static constexpr int kOk = 0;
    static constexpr int kBusy = 1;
    static constexpr int kFailed = 2;
    static constexpr int kNoKind = 3;
    // What a library call returns when the library cannot be loaded or lacks its entry.
    static constexpr int kLibraryMissing = 0x8000;
    // More masks than this go through the response file.
    static constexpr std::size_t kMaxMasksOnCommandLine = 240;

    explicit TArchiveControl(const ArchiveHost& host);
    ~TArchiveControl();
    TArchiveControl(const TArchiveControl&) = delete;
    TArchiveControl& operator=(const TArchiveControl&) = delete;

    TLhaOptions LhaOptions;
    TCabOptions CabOptions;
    // No progress window from the libraries.
    bool SilentMode = false;

    // Selects the archive (Windows path, Shift-JIS) and its kind: by extension when the file
    // does not exist (".lzh", ".cab"), by asking each library when it does.
    void SetArchiveFile(const std::string& path);
    const std::string& ArchiveFile() const { return archive_; }
    ArchiveKind Kind() const { return kind_; }

    // Packs the masks' files of folder into the archive.
    int Pack(const std::string& folder, const std::vector<std::string>& masks);
    // Makes <archive name>.exe in folder.
    int MakeSfx(const std::string& folder);

    // The library calls: 0 success, kLibraryMissing when the library or its entry is missing.
    int Unlha(const std::string& commandLine, char* output = nullptr, std::uint32_t outputSize = 0);
    int Cab(const std::string& commandLine, char* output = nullptr, std::uint32_t outputSize = 0);
    bool UnlhaGetRunning();
    bool CabGetRunning();

    // The command lines Pack and MakeSfx send (also for tests and logs).
    std::string PackCommandLine(const std::string& folder, const std::vector<std::string>& masks);
    std::string SfxCommandLine(const std::string& folder) const;

private:
    struct Library;
    Library& Lha();
    Library& CabLib();
    std::string MaskElements(const std::vector<std::string>& masks);

    const ArchiveHost& host_;
    std::string archive_;
    ArchiveKind kind_ = ArchiveKind::None;
    Library* lha_ = nullptr;
    Library* cab_ = nullptr;
};

}  // namespace zeriru
