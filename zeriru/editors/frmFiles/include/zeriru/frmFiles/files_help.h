// Help topics of the files and folders editor's dialogs; each has its page help/<topic>.html.
#pragma once

namespace zeriru::files_help {

inline constexpr int kFilesDialog = 4100;
inline constexpr int kSelectPage = 4101;
inline constexpr int kFilesPage = 4102;
inline constexpr int kFolderPage = 4103;
inline constexpr int kDeletePage = 4104;
inline constexpr int kCreatePage = 4105;
inline constexpr int kGraphicalPage = 4106;
inline constexpr int kComponentPage = 4107;
inline constexpr int kExtendPage = 4108;
inline constexpr int kFolderSelect = 4110;
inline constexpr int kAddPosition = 4111;
inline constexpr int kKindConversion = 4112;
inline constexpr int kFileCheck = 4113;
inline constexpr int kCorrection = 4114;

inline constexpr int kAll[] = {kFilesDialog, kSelectPage,   kFilesPage,      kFolderPage,     kDeletePage,
                               kCreatePage,  kGraphicalPage, kComponentPage, kExtendPage,     kFolderSelect,
                               kAddPosition, kKindConversion, kFileCheck,    kCorrection};

}  // namespace zeriru::files_help
