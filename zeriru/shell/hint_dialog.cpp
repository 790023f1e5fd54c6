#include "zeriru/hint_dialog.h"

#include "platform/sjis.h"

namespace zeriru {

namespace sjis = platform::sjis;

std::string HintText(int index) {
    static const char* const kTexts[kHintCount] = {
        "プログラム/データなどのサイズが大きい場合は圧縮するタイプのものにしてしまうと、いったん全ファイルを解凍するため膨大な時間がかかる場合があります。\rまた、対象のシステムのドライブに空き容量がない場合は解凍自体ができないためインストールできません。\rCD-Rの容量を超える場合は無理に圧縮せずに、「圧縮しないで指定したフォルダにコピーする」でインストーラを作成しそれらのファイルをCD-Rなどに書き込んで配布することをおすすめします。",
        "カスタム設定にするとアンインストーラの作成先およびファイル名を指定できます。\rアンインストーラをアンインストール時に削除する設定にしている場合でも実際には次回の再起動にファイルの削除およびフォルダの削除が行われます。\rまた、上書き設定をしている場合でもRaredovoのアンインストーラではない場合は上書きされません。",
        "サイレントアンインストールを行うには、前回のインストールについてもRaredovoにて行われている必要があります。",
        "プロジェクト名が既に指定されている場合、プロジェクト名を変更するとバージョンの状態をチェックすることが出来なくなります。",
        "アンインストーラのファイル名を指定する場合、拡張子はEXEである必要があります。今回拡張子EXEがついていなかったため自動で付加しました。",
        "アンインストール時に書き込んだ値は元に戻せません。",
        "旧バージョンの状態をチェックする機能を使用するためには「アプリケーションの設定」の「メインファイル名」を指定する必要があります。",
        "この項目には指定したフォルダ定数を使用することはできません。リストから選択するかサポートしているフォルダ定数をヘルプより参照し指定してください。",
    };
    return index >= 0 && index < kHintCount ? sjis::S(kTexts[index]) : std::string();
}

std::string HintDialogModel::Caption() { return sjis::S("ヒント"); }
std::string HintDialogModel::SuppressCaption() { return sjis::S("次回以降表示しない(&D)"); }

bool HintGate::ShowHintMessage(int index, bool allowSuppress, const std::function<void(HintDialogModel&)>& show) {
    if (!enabled_ || index < 0 || index >= kHintCount || settings_.HintSuppressed(index)) return false;
    HintDialogModel model;
    model.index = index;
    model.text = HintText(index);
    model.allowSuppress = allowSuppress;
    show(model);
    settings_.SetHintSuppressed(index, model.allowSuppress && model.suppress);
    return true;
}

}  // namespace zeriru
