#include "zeriru/editors/relation_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/editors/item_rules.h"
#include "zeriru/editors/record_kinds.h"

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

constexpr const char* kDetailPage = "tsDetail";

int Clamped(int value, int count) { return value >= 0 && value < count ? value : 0; }

}  // namespace

std::string RelationRowText(std::string_view record, int column) {
    if (column == 0) return RelationApplicationItemCodec().Text(record, relation_item::kName);
    if (column == 1) return RelationApplicationItemCodec().Text(record, relation_item::kKey);
    return {};
}

std::string RelationDialogModel::Caption() { return sjis::S("関連するアプリケーションのチェックルール"); }

std::string RelationDialogModel::InstallActionText(int action) {
    static const char* const kTexts[kRelationInstallActionCount] = {
        "処理なし", "インストールされていればインストール処理を中止する",
        "インストールされていなければインストール処理を中止する", "インストールされていればアンインストール処理を行う",
        "インストールされていればサイレントアンインストール処理を行う"};
    return action >= 0 && action < kRelationInstallActionCount ? sjis::S(kTexts[action]) : std::string();
}

std::string RelationDialogModel::UninstallActionText(int action) {
    static const char* const kTexts[kRelationUninstallActionCount] = {
        "処理なし", "アンインストールされていなければアンインストールを中止する",
        "アンインストールされていなければアンインストール処理を行う",
        "アンインストールされていなければサイレントアンインストール処理を行う"};
    return action >= 0 && action < kRelationUninstallActionCount ? sjis::S(kTexts[action]) : std::string();
}

std::string RelationDialogModel::StopOptionText() { return sjis::S("条件に一致した場合、ルールの処理を中止する"); }

RelationDialogModel::RelationDialogModel(const OsTarget& projectOs) : os(projectOs) {}

RelationDialogModel::RelationDialogModel(std::string_view record) {
    using namespace relation_item;
    const RecordCodec& codec = RelationApplicationItemCodec();
    enabled = codec.Bool(record, kEnabled);
    name = codec.Text(record, kName);
    key = codec.Text(record, kKey);
    installAction = Clamped(codec.Int(record, kInstallAction), kRelationInstallActionCount);
    uninstallAction = Clamped(codec.Int(record, kUninstallAction), kRelationUninstallActionCount);
    stopOnMatch = (codec.Int(record, kOptions) & 1) != 0;
    os = OsTarget::Read(codec.Stored(record, kOsMask), codec.Stored(record, kServicePacks));
}

CheckOutcome RelationDialogModel::Ok() const {
    CheckOutcome r = CheckRequired(name, sjis::S("アプリケーション名を入力してください"), "edtName");
    if (!r)
        r = CheckRequired(key, sjis::S("キーを入力してください。\rRaredovoで作成したアプリケーションの場合はプロジェクト名を入力します。"),
                          "edtKey");
    if (r) r->page = kDetailPage;
    return r;
}

std::string RelationDialogModel::Record(std::string_view old) const {
    using namespace relation_item;
    const RecordCodec& codec = RelationApplicationItemCodec();
    const int otherOptions = codec.Int(old, kOptions) & ~1;
    return codec.Update(old, {{kEnabled, FieldBool(enabled)},
                              {kName, name},
                              {kKey, key},
                              {kInstallAction, FieldInt(installAction)},
                              {kUninstallAction, FieldInt(uninstallAction)},
                              {kOptions, FieldInt(otherOptions | (stopOnMatch ? 1 : 0))},
                              {kOsMask, os.MaskText()},
                              {kServicePacks, os.ServicePackText()}});
}

}  // namespace zeriru
