#include "texts.h"

#include "platform/sjis.h"

#include <map>

namespace installer {

namespace sj = platform::sjis;

namespace {

// The module's own Japanese texts (UTF-8 here), the same as its language file's: what the
// user reads when INSTALL.DAT lacks a text or could not be read at all.
const std::map<int, const char*>& BuiltInTexts() {
    static const std::map<int, const char*> texts = {
    {0, "%s セットアップ"},
    {5, "はい(&Y)"},
    {6, "いいえ(&N)"},
    {11, "同意する(&A)"},
    {12, "同意しない(&D)"},
    {13, "中止(&S)"},
    {14, "再試行(&R)"},
    {100, "%s のセットアップへようこそ"},
    {103, "%s のバージョン %s がすでにインストールされています。"},
    {104, "このコンピュータにはより新しいバージョンの %s がインストールされているため、セットアップを続けられません。"},
    {105, "インストールされている %s を更新します。"},
    {106, "このコンピュータにはより新しいバージョンの %s (%s) がインストールされています。インストールを続けますか？"},
    {200, "使用許諾契約"},
    {201, "次の使用許諾契約をよくお読みください。"},
    {202, "契約のすべての条項に同意する場合は「同意する」を選んでください。同意しない場合、%s はインストールされません。"},
    {203, "お読みください"},
    {204, "インストールの前に次の説明をお読みください。"},
    {301, "%s をインストールするフォルダを指定してください。"},
    {302, "インストール先フォルダ(&F):"},
    {307, "フォルダ名が正しくありません。"},
    {351, "ショートカットを作成するプログラム グループを指定してください。"},
    {352, "プログラム グループ(&G):"},
    {354, "デスクトップにショートカットを作成する(&D)"},
    {355, "クイック起動にショートカットを作成する(&Q)"},
    {356, "スタートアップにショートカットを作成する(&S)"},
    {357, "「送る」にショートカットを作成する(&T)"},
    {358, "すべてのユーザーを対象にする(&A)"},
    {451, "%s をインストールする準備ができました。"},
    {453, "インストール先: %s"},
    {454, "プログラム グループ: %s"},
    {501, "%s をインストールしています。しばらくお待ちください。"},
    {502, "ファイルをコピーしています: %s"},
    {503, "フォルダを作成しています: %s"},
    {504, "ショートカットを作成しています: %s"},
    {505, "レジストリに書き込んでいます: %s"},
    {506, "INIファイルを更新しています: %s"},
    {507, "プログラムを実行しています: %s"},
    {508, "アンインストール情報を作成しています。"},
    {509, "ファイルを削除しています: %s"},
    {512, "ファイルを登録しています: %s"},
    {601, "%s のインストールが完了しました。"},
    {701, "インストールは中止されました。%s はインストールされていません。"},
    {702, "ファイル %s をコピーできませんでした。"},
    {704, "フォルダ %s を作成できませんでした。"},
    {705, "お使いのオペレーティング システムでは、このプログラムをインストールできません。"},
    {706, "インストールには管理者の権限が必要です。管理者としてログオンしてからやり直してください。"},
    {707, "セットアップ情報ファイル %s を読み込めませんでした。"},
    {708, "ファイル %s はほかのプログラムが使用しています。プログラムを終了してから「再試行」をクリックしてください。"},
    {709, "インストール先にはより新しいファイルがあります。#13%s#13上書きしますか？"},
    {710, "レジストリに書き込めませんでした: %s"},
    {711, "INIファイルを更新できませんでした: %s"},
    {712, "プログラム %s を実行できませんでした。"},
    {713, "ショートカット %s を作成できませんでした。"},
    {714, "セットアップはすでに実行されています。"},
    {715, "インストール ファイルが壊れているか、足りません。"},
    {716, "読み取り専用のファイル %s を上書きしますか？"},
    {717, "インストール中にエラーが発生しました。#13%s"},
    {718, "インストール情報ファイル %s が壊れています。"},
    {719, "インストールする項目がありません。"},
    {720, "前回中断されたインストールを元に戻しています。"},
    {721, "このプログラムのインストールには %s MB 以上のメモリが必要です。"},
    {722, "インストール情報ファイルの次の項目は、使ってよいフォルダの外を指しています。"},
    {723, "プログラム %s は終了コード %s で終了しました。"},
    {724, "変更を元に戻しています。"},
    {725, "インストールには管理者またはパワー ユーザーの権限が必要です。管理者またはパワー ユーザーとしてログオンしてからやり直してください。"},
    {726, "以前の処理が完了していないため、インストールを続けられません。処理を完了するか、コンピュータを再起動してからやり直してください。#13%s"},
    {727, "ファイル %s は自己登録するファイルですが、このコンピュータには登録するプログラム (REGSVR32.EXE) がないため、登録せずにインストールしました。"},
    {728, "より新しいファイルがあるため、上書きしませんでした: %s"},
    {730, "%s がインストールされているため、インストールを続けられません。"},
    {731, "%s がインストールされていないため、インストールを続けられません。"},
    {732, "%s をアンインストールしています。"},
    {733, "%s のアンインストールが完了しませんでした。"},
    {800, "%s のアンインストール"},
    {801, "%s とそのすべてのコンポーネントをコンピュータから削除しますか？"},
    {802, "%s を削除しています。しばらくお待ちください。"},
    {803, "ファイルを削除しています: %s"},
    {804, "ショートカットを削除しています: %s"},
    {805, "レジストリの値を削除しています: %s"},
    {806, "%s はコンピュータから削除されました。"},
    {807, "一部の項目を削除できませんでした。手動で削除してください。#13%s"},
    {808, "共有ファイル %s はほかのプログラムも使用している可能性があります。削除しますか？"},
    {809, "システム ファイル %s を削除しますか？"},
    {810, "保存されている設定内容も削除しますか？"},
    {811, "アンインストール情報が見つからないため、アンインストールを続けられません。"},
    {813, "アンインストールは中止されました。"},
    {814, "アンインストールには管理者の権限が必要です。管理者としてログオンしてからやり直してください。"},
    {815, "アンインストールには管理者またはパワー ユーザーの権限が必要です。管理者またはパワー ユーザーとしてログオンしてからやり直してください。"},
    {816, "%s を削除できませんでした。"},
    {817, "前回中断された処理を元に戻しています。"},
    {818, "ファイルの登録を解除しています: %s"},
    {819, "元のファイルを戻しています: %s"},
    {820, "%s がインストールされているため、アンインストールを続けられません。"},
    {1200, "セットアップ ログ: %s"},
    };
    return texts;
}

}  // namespace

std::string BuiltInText(int id) {
    const auto& texts = BuiltInTexts();
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : sj::S(it->second);
}

LanguageTexts::LanguageTexts(const zeriru::TIniDocument& data) {
    const std::string code = std::to_string(data.ReadInteger("Control_Info", "LocalID", 1041));
    std::string name = "ResourceString_" + code;
    if (!data.SectionExists(name)) name = data.ReadString("Project", "InstallerModuleKey") + name;
    for (const auto& [key, value] : data.ReadSectionValues(name)) section_.WriteString("T", key, value);
}

std::string LanguageTexts::Text(int id, std::initializer_list<std::string_view> args) const {
    const std::string key = std::to_string(id);
    auto arg = args.begin();
    const std::string text = section_.ValueExists("T", key) ? section_.ReadString("T", key) : BuiltInText(id);
    if (text.empty()) {
        std::string joined;
        for (; arg != args.end(); ++arg) joined += (joined.empty() ? "" : " ") + std::string(*arg);
        return joined;
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); i = sj::NextChar(text, i)) {
        const std::size_t len = sj::CharLength(text, i);
        if (len == 1 && text.compare(i, 2, "%s") == 0 && arg != args.end()) {
            out += *arg++;
            ++i;  // the "s"; NextChar steps over the "%"
        } else if (len == 1 && text.compare(i, 3, "#13") == 0) {
            out += '\n';
            i += 2;
        } else {
            out.append(text, i, len);
        }
    }
    return out;
}

std::string LanguageTexts::Caption(int id) const {
    const std::string text = Text(id);
    std::string out;
    for (std::size_t i = 0; i < text.size(); i = sj::NextChar(text, i)) {
        const std::size_t len = sj::CharLength(text, i);
        if (len == 1 && text[i] == '&') continue;
        out.append(text, i, len);
    }
    // "はい(Y)" stays readable without its mark; "(&Y)" became "(Y)".
    return out;
}

}  // namespace installer
